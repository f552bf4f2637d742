#include "BoardPainter.h"

#include <algorithm>

namespace tivra {

BoardPainter::BoardPainter(Puzzle& puzzle, BoardSurfaces& surfaces)
    : puzzle_(puzzle), surfaces_(surfaces) {
    puzzle_.setView(this);
}

QRect BoardPainter::cellRect(const CellRec& cell) const {
    return QRect(cell.X, cell.Y, puzzle_.CellWidth, puzzle_.CellHeight);
}

// Every cell of both grids outlined in black. The cells of a grid tile it
// edge to edge, so each grid is drawn as one set of lines.
void BoardPainter::drawOutlines() {
    const int n = puzzle_.gridSize();
    for (int side : {kReceiving, kSource}) {
        const CellRec& first = puzzle_.Board(side, 0, 0);
        surfaces_.window.GridOutline(first.X, first.Y, puzzle_.CellWidth, puzzle_.CellHeight, n,
                                     kOutlineColour);
    }
}

void BoardPainter::DrawGrid() {
    drawOutlines();
    Refresh();
}

void BoardPainter::DrawCursor() {
    DrawGrid();
    const CellRec& cell = puzzle_.Board(kReceiving, puzzle_.CursorCol, puzzle_.CursorRow);
    surfaces_.window.BoxOutline(cell.X, cell.Y, cell.X + puzzle_.CellWidth,
                                cell.Y + puzzle_.CellHeight, kCursorColour);
    if (sourceCursor_) {
        const CellRec& slot = puzzle_.Board(kSource, sourceCursor_->x(), sourceCursor_->y());
        surfaces_.window.BoxOutline(slot.X, slot.Y, slot.X + puzzle_.CellWidth,
                                    slot.Y + puzzle_.CellHeight, kSourceCursorColour);
    }
}

// Through the scratch surface, which always holds a whole cell.
void BoardPainter::ExchangeCells(const CellRec& a, const CellRec& b) {
    const int w = puzzle_.CellWidth;
    const int h = puzzle_.CellHeight;
    Surface& scratch = surfaces_.Picture3;
    if (scratch.ScaleWidth() < w || scratch.ScaleHeight() < h)
        scratch.resize(scratch.size().expandedTo(QSize(w, h)));
    Surface& window = surfaces_.window;
    BitBlt(scratch, 0, 0, w, h, window, a.X, a.Y);
    BitBlt(window, a.X, a.Y, w, h, window, b.X, b.Y);
    BitBlt(window, b.X, b.Y, w, h, scratch, 0, 0);
}

void BoardPainter::PlayMoveSound() {
    if (moveSound_)
        moveSound_();
}

void BoardPainter::Refresh() {
    surfaces_.window.Refresh();
}

void BoardPainter::stretchPicture() {
    const LoadedPicture& picture = surfaces_.Picture1;
    StretchBlt(surfaces_.window, puzzle_.sourceLeft(), 50, puzzle_.BoardWidth, puzzle_.BoardHeight,
               picture.image, 0, 0, picture.image.width(), picture.image.height());
}

// The reference picture holds the source grid as just stretched: the same
// stretch from the picture gives the same pixels, so it is made only once the
// player first asks to see it.
void BoardPainter::takeSnapshot() {
    surfaces_.Picture2.Cls();
    const QImage picture = surfaces_.Picture1.image;
    const int w = puzzle_.BoardWidth;
    const int h = puzzle_.BoardHeight;
    surfaces_.Picture2.drawLater([picture, w, h](Surface& reference) {
        StretchBlt(reference, 0, 0, w, h, picture, 0, 0, picture.width(), picture.height());
    });
}

void BoardPainter::PlacePicture() {
    stretchPicture();
    takeSnapshot();
    Refresh();
}

bool BoardPainter::computeLayout(int divisions) {
    const LoadedPicture& picture = surfaces_.Picture1;
    const QSize client = surfaces_.window.size();
    return puzzle_.ComputeLayout(client.width(), client.height(), picture.ScaleWidth(),
                                 picture.ScaleHeight(), divisions);
}

// The part of the window the board draws on: both grids' outlines and the
// stretched picture.
void BoardPainter::reserveBoard() {
    const int n = puzzle_.gridSize();
    const int right =
        std::max(puzzle_.sourceLeft() + std::max(n * puzzle_.CellWidth, int(puzzle_.BoardWidth)),
                 50 + n * puzzle_.CellWidth);
    const int bottom = 50 + std::max(n * puzzle_.CellHeight, int(puzzle_.BoardHeight));
    surfaces_.window.reserve(QSize(right + 1, bottom + 1));
}

bool BoardPainter::LayOutNewBoard(int divisions) {
    const bool playable = computeLayout(divisions);
    reserveBoard();
    puzzle_.InitCells();
    puzzle_.CursorCol = 0;
    puzzle_.CursorRow = 0;
    DrawGrid();
    PlacePicture();
    return playable;
}

bool BoardPainter::SetupBoard(int divisions) {
    surfaces_.window.Cls();
    return LayOutNewBoard(divisions);
}

void BoardPainter::ShowSolution() {
    puzzle_.CursorCol = 0;
    puzzle_.CursorRow = 0;
    surfaces_.window.Cls();
    reserveBoard();
    DrawGrid();
    PlacePicture();
}

bool BoardPainter::RelayoutGame() {
    const bool playable = computeLayout(puzzle_.gridSize());
    puzzle_.PlaceCells();

    // Paint the untouched board once, as New Game does before its shuffle, and
    // keep its source grid: every piece is cut from it.
    Surface& window = surfaces_.window;
    window.Cls();
    reserveBoard();
    drawOutlines();
    stretchPicture();
    takeSnapshot();
    drawOutlines();
    const int n = puzzle_.gridSize();
    const int w = puzzle_.CellWidth;
    const int h = puzzle_.CellHeight;
    Surface homes(kWindowBackground, QSize(n * w + 1, n * h + 1));
    BitBlt(homes, 0, 0, homes.ScaleWidth(), homes.ScaleHeight(), window, puzzle_.sourceLeft(), 50);

    for (int row = 0; row < n; ++row) {
        for (int col = 0; col < n; ++col) {
            for (int side : {kReceiving, kSource}) {
                const CellRec& cell = puzzle_.Board(side, col, row);
                if (cell.Full == kTrue)
                    BitBlt(window, cell.X, cell.Y, w, h, homes, cell.PieceCol * w,
                           cell.PieceRow * h);
                else
                    window.fillRect(cellRect(cell), window.background());
            }
        }
    }
    DrawCursor();
    Refresh();
    return playable;
}

} // namespace tivra
