#pragma once

#include "BoardSurfaces.h"
#include "board/Puzzle.h"

#include <QPoint>
#include <QPointF>
#include <functional>
#include <optional>
#include <vector>

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
    // The client area in the layout's pixels and the screen's device pixels
    // to one of them; the surfaces are sized in device pixels. Without it the
    // window surface's size is the client's and the ratio 1.
    void setClient(QSize logical, double ratio) {
        client_ = logical;
        ratio_ = ratio;
    }

    void ExchangeCells(const CellRec& a, const CellRec& b) override;
    void DrawCursor() override;
    void PlayMoveSound() override;
    void Refresh() override;

    // The cell of a grid drawn under a point of the client area, given in
    // the layout's pixels as finely as the pointer reports it: the cell
    // whose inside holds that device pixel. None on an outline or off the
    // grid.
    std::optional<QPoint> cellDrawnAt(QPointF at, int side) const;

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
    void addGrids(std::vector<Lattice>& outlines) const;
    void drawOutlines();
    void reserveBoard();
    void stretchPicture();
    void takeSnapshot();
    // Where the board lies in device pixels. At ratio 1 these are the
    // layout's own. Otherwise every cell of a grid is the same whole number
    // of device pixels, each grid's origin rounded once, so that two cells
    // always exchange exactly; outlines are a whole number of device pixels
    // thick.
    int cellWidthOnDevice() const;
    int cellHeightOnDevice() const;
    QPoint gridOnDevice(int side) const;
    QSize pictureOnDevice() const;
    QRect cellRect(const CellRec& cell) const;
    void addBox(std::vector<Lattice>& outlines, const QRect& cell, QRgb colour) const;

    Puzzle& puzzle_;
    BoardSurfaces& surfaces_;
    std::function<void()> moveSound_;
    std::optional<QPoint> sourceCursor_;
    QSize client_;
    double ratio_ = 1.0;
    std::vector<Lattice> outlines_; // given to the window at each redraw
};

} // namespace tivra
