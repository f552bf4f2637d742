#include "BoardPainter.h"

#include "DevicePixels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tivra {

BoardPainter::BoardPainter(Puzzle& puzzle, BoardSurfaces& surfaces)
    : puzzle_(puzzle), surfaces_(surfaces) {
    puzzle_.setView(this);
}

int BoardPainter::cellWidthOnDevice() const {
    return onDevice(puzzle_.CellWidth, ratio_);
}

int BoardPainter::cellHeightOnDevice() const {
    return onDevice(puzzle_.CellHeight, ratio_);
}

// The picture's size on the device, in proportion to the cells rather than
// to the ratio: each piece then holds the same part of the picture on every
// screen, however the cells' device sizes round (at ratios 1 and 2 this is
// simply the ratio).
QSize BoardPainter::pictureOnDevice() const {
    auto along = [this](int board, int cell) {
        if (cell <= 0)
            return onDevice(board, ratio_);
        return static_cast<int>(
            std::lround(static_cast<double>(board) * onDevice(cell, ratio_) / cell));
    };
    return {along(puzzle_.BoardWidth, puzzle_.CellWidth),
            along(puzzle_.BoardHeight, puzzle_.CellHeight)};
}

QPoint BoardPainter::gridOnDevice(int side) const {
    const CellRec& first = puzzle_.Board(side, 0, 0);
    return {onDevice(first.X, ratio_), onDevice(first.Y, ratio_)};
}

QRect BoardPainter::cellRect(const CellRec& cell) const {
    if (ratio_ == 1.0)
        return QRect(cell.X, cell.Y, puzzle_.CellWidth, puzzle_.CellHeight);
    // The cell's grid, column and row, from its place in the layout.
    const int side = cell.X >= puzzle_.sourceLeft() ? kSource : kReceiving;
    const CellRec& first = puzzle_.Board(side, 0, 0);
    const int col = puzzle_.CellWidth > 0 ? (cell.X - first.X) / puzzle_.CellWidth : 0;
    const int row = puzzle_.CellHeight > 0 ? (cell.Y - first.Y) / puzzle_.CellHeight : 0;
    return cellOnDevice(QPoint(first.X, first.Y), col, row,
                        QSize(puzzle_.CellWidth, puzzle_.CellHeight), ratio_);
}

std::optional<QPoint> BoardPainter::cellDrawnAt(QPointF at, int side) const {
    // The pointer reports device pixels divided by the ratio; the margin
    // takes back what that division rounded away.
    constexpr double kRoundedAway = 1e-3;
    const QPoint grid = gridOnDevice(side);
    const int x = static_cast<int>(std::floor(at.x() * ratio_ + kRoundedAway)) - grid.x();
    const int y = static_cast<int>(std::floor(at.y() * ratio_ + kRoundedAway)) - grid.y();
    const int w = cellWidthOnDevice();
    const int h = cellHeightOnDevice();
    const int n = puzzle_.gridSize();
    if (x < 0 || y < 0 || w <= 0 || h <= 0 || x / w >= n || y / h >= n)
        return std::nullopt;
    const int line = lineOnDevice(ratio_);
    if (x % w < line || y % h < line)
        return std::nullopt;
    return QPoint(x / w, y / h);
}

namespace {

// A box outline through both corners, as one set of lines.
Lattice box(int x1, int y1, int x2, int y2, QRgb colour) {
    return {std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1), std::abs(y2 - y1), 1, colour};
}

} // namespace

// The lines of a box outline through the cell's corners, as thick as an
// outline.
void BoardPainter::addBox(std::vector<Lattice>& outlines, const QRect& cell, QRgb colour) const {
    const int line = lineOnDevice(ratio_);
    for (int dy = 0; dy < line; ++dy)
        for (int dx = 0; dx < line; ++dx)
            outlines.push_back(box(cell.x() + dx, cell.y() + dy, cell.x() + cell.width() + dx,
                                   cell.y() + cell.height() + dy, colour));
}

// Every cell of both grids outlined in black. The cells of a grid tile it
// edge to edge, so each grid is one set of lines.
void BoardPainter::addGrids(std::vector<Lattice>& outlines) const {
    const int n = puzzle_.gridSize();
    const int line = lineOnDevice(ratio_);
    const int w = cellWidthOnDevice();
    const int h = cellHeightOnDevice();
    if (n <= 0)
        return;
    for (int side : {kReceiving, kSource}) {
        const QPoint grid = gridOnDevice(side);
        for (int dy = 0; dy < line; ++dy)
            for (int dx = 0; dx < line; ++dx) {
                const int left = grid.x() + dx;
                const int top = grid.y() + dy;
                if (w >= 0 && h >= 0) {
                    outlines.push_back({left, top, w, h, n, kOutlineColour});
                    continue;
                }
                // Cells of no proper size do not tile: a box for each.
                for (int row = 0; row < n; ++row)
                    for (int col = 0; col < n; ++col)
                        outlines.push_back(box(left + col * w, top + row * h, left + (col + 1) * w,
                                               top + (row + 1) * h, kOutlineColour));
            }
    }
}

void BoardPainter::drawOutlines() {
    outlines_.clear();
    addGrids(outlines_);
    surfaces_.window.drawOutlines(outlines_);
}

void BoardPainter::DrawGrid() {
    drawOutlines();
    Refresh();
}

// The grids again with the cursor boxes over them. The window sees the grids
// it has just drawn and draws only the boxes.
void BoardPainter::DrawCursor() {
    DrawGrid();
    outlines_.clear();
    addGrids(outlines_);
    addBox(outlines_, cellRect(puzzle_.Board(kReceiving, puzzle_.CursorCol, puzzle_.CursorRow)),
           kCursorColour);
    if (sourceCursor_)
        addBox(outlines_, cellRect(puzzle_.Board(kSource, sourceCursor_->x(), sourceCursor_->y())),
               kSourceCursorColour);
    surfaces_.window.drawOutlines(outlines_);
}

// Through the scratch surface, which always holds a whole cell.
void BoardPainter::ExchangeCells(const CellRec& a, const CellRec& b) {
    const QRect from = cellRect(a);
    const QRect to = cellRect(b);
    const int w = from.width();
    const int h = from.height();
    Surface& scratch = surfaces_.Picture3;
    if (scratch.ScaleWidth() < w || scratch.ScaleHeight() < h)
        scratch.resize(scratch.size().expandedTo(QSize(w, h)));
    Surface& window = surfaces_.window;
    BitBlt(scratch, 0, 0, w, h, window, from.x(), from.y());
    BitBlt(window, from.x(), from.y(), w, h, window, to.x(), to.y());
    BitBlt(window, to.x(), to.y(), w, h, scratch, 0, 0);
}

void BoardPainter::PlayMoveSound() {
    if (moveSound_)
        moveSound_();
}

void BoardPainter::Refresh() {
    surfaces_.window.Refresh();
}

namespace {

// The whole picture onto `area` of a surface: drawn at that size where the
// picture can, stretched from its pixels otherwise.
void drawPicture(Surface& dest, const QRect& area, const LoadedPicture& picture) {
    if (!picture.drawScaled) {
        StretchBlt(dest, area.x(), area.y(), area.width(), area.height(), picture.image, 0, 0,
                   picture.image.width(), picture.image.height());
        return;
    }
    if (dest.rect().contains(area)) {
        QImage& pixels = dest.pixelsFor(area);
        picture.drawScaled(pixels, area.translated(-dest.storedArea().topLeft()));
        dest.markDrawn(area);
        return;
    }
    // Partly off the surface: drawn whole, and the part on it kept.
    QImage whole(area.size(), QImage::Format_RGB32);
    picture.drawScaled(whole, whole.rect());
    StretchBlt(dest, area.x(), area.y(), area.width(), area.height(), whole, 0, 0, whole.width(),
               whole.height());
}

} // namespace

void BoardPainter::stretchPicture() {
    const QPoint grid = gridOnDevice(kSource);
    drawPicture(surfaces_.window, QRect(grid, pictureOnDevice()), surfaces_.Picture1);
}

// The reference picture holds the source grid as just stretched: the same
// stretch from the picture gives the same pixels, so it is made only once the
// player first asks to see it.
void BoardPainter::takeSnapshot() {
    surfaces_.Picture2.Cls();
    const QRect area(QPoint(0, 0), pictureOnDevice());
    surfaces_.Picture2.drawLater([picture = surfaces_.Picture1, area](Surface& reference) {
        drawPicture(reference, area, picture);
    });
}

void BoardPainter::PlacePicture() {
    stretchPicture();
    takeSnapshot();
    Refresh();
}

bool BoardPainter::computeLayout(int divisions) {
    const LoadedPicture& picture = surfaces_.Picture1;
    const QSize client = client_.isValid() ? client_ : surfaces_.window.size();
    return puzzle_.ComputeLayout(client.width(), client.height(), picture.ScaleWidth(),
                                 picture.ScaleHeight(), divisions);
}

// The part of the window the board draws on: both grids' outlines and the
// stretched picture.
void BoardPainter::reserveBoard() {
    const int n = puzzle_.gridSize();
    const QPoint receiving = gridOnDevice(kReceiving);
    const QPoint source = gridOnDevice(kSource);
    const int right =
        std::max(source.x() + std::max(n * cellWidthOnDevice(), pictureOnDevice().width()),
                 receiving.x() + n * cellWidthOnDevice());
    const int bottom = source.y() + std::max(n * cellHeightOnDevice(), pictureOnDevice().height());
    const QPoint corner(std::min(receiving.x(), source.x()), std::min(receiving.y(), source.y()));
    surfaces_.window.reserve(
        QRect(corner, QPoint(right + lineOnDevice(ratio_) - 1, bottom + lineOnDevice(ratio_) - 1)));
}

bool BoardPainter::LayOutNewBoard(int divisions) {
    const bool playable = computeLayout(divisions);
    puzzle_.InitCells();
    reserveBoard();
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
    const int w = cellWidthOnDevice();
    const int h = cellHeightOnDevice();
    Surface homes(kWindowBackground,
                  QSize(n * w + lineOnDevice(ratio_), n * h + lineOnDevice(ratio_)));
    const QPoint source = gridOnDevice(kSource);
    BitBlt(homes, 0, 0, homes.ScaleWidth(), homes.ScaleHeight(), window, source.x(), source.y());

    for (int row = 0; row < n; ++row) {
        for (int col = 0; col < n; ++col) {
            for (int side : {kReceiving, kSource}) {
                const CellRec& cell = puzzle_.Board(side, col, row);
                const QRect place = cellRect(cell);
                if (cell.Full == kTrue)
                    BitBlt(window, place.x(), place.y(), w, h, homes, cell.PieceCol * w,
                           cell.PieceRow * h);
                else
                    window.fillRect(place, window.background());
            }
        }
    }
    DrawCursor();
    Refresh();
    return playable;
}

} // namespace tivra
