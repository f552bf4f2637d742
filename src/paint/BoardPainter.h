#pragma once

#include "BoardSurfaces.h"
#include "board/Puzzle.h"

#include <QPoint>
#include <functional>
#include <optional>

namespace tivra {

// Draws the board of a Puzzle on the main window's surface: outlines, cursor,
// the picture on the source grid, the reference snapshot and the exchange of
// two cells' pixels. Once painted, a piece's pixels only ever move.
class BoardPainter : public BoardView {
public:
    BoardPainter(Puzzle& puzzle, BoardSurfaces& surfaces);

    void setMoveSound(std::function<void()> play) { moveSound_ = std::move(play); }
    // A second cursor box on the source grid (col, row), drawn with the blue
    // one while the arrow keys move it; none when empty.
    void setSourceCursor(std::optional<QPoint> cell) { sourceCursor_ = cell; }

    void ExchangeCells(const CellRec& a, const CellRec& b) override;
    void DrawCursor() override;
    void PlayMoveSound() override;
    void Refresh() override;

    void DrawGrid();
    void PlacePicture();
    // A fresh layout and board for the current picture at this grid size;
    // false when the layout cannot be played.
    bool SetupBoard(int divisions);
    // The same on a window that is new and still empty.
    bool LayOutNewBoard(int divisions);
    void ShowSolution();
    // The window changed size during a game: lay the grids out again at the
    // game's grid size and repaint every piece in the cell it is in.
    bool RelayoutGame();

private:
    // The layout for the window's client size and the current picture.
    bool computeLayout(int divisions);
    void drawOutlines();
    void reserveBoard();
    void stretchPicture();
    void takeSnapshot();
    QRect cellRect(const CellRec& cell) const;

    Puzzle& puzzle_;
    BoardSurfaces& surfaces_;
    std::function<void()> moveSound_;
    std::optional<QPoint> sourceCursor_;
};

} // namespace tivra
