#include "CheckedInt.h"
#include "Puzzle.h"

#include <algorithm>

namespace tivra {

namespace {

// Intermediate lengths are held wider than 16 bits: a panorama's unclamped
// board width can exceed 32767 before the width fit brings it back down.
long long roundWide(double value) {
    if (!std::isfinite(value))
        throw std::overflow_error("non-finite value in the layout");
    return static_cast<long long>(roundHalfEven(value));
}

// a * b / c with the quotient kept in single precision before rounding.
long long scaledSingle(long long a, long long b, long long c) {
    const float quotient = static_cast<float>(static_cast<double>(a) * static_cast<double>(b) /
                                              static_cast<double>(c));
    return roundWide(quotient);
}

// The widest a grid may be across a client: the two grids side by side, with
// a margin left and right and one between them (the half in single precision).
long long widestGrid(int clientWidth) {
    return roundWide(static_cast<float>((clientWidth - 3 * kMargin) / 2.0));
}

} // namespace

bool Puzzle::ComputeLayout(int scaleWidth, int scaleHeight, int pictureWidth, int pictureHeight,
                           int divisions) {
    if (divisions < 1 || divisions > kMaxDivisions)
        throw std::out_of_range("grid size outside the board table");
    if (pictureWidth < 1 || pictureHeight < 1)
        throw std::invalid_argument("picture without pixels");
    const std::int16_t width = toInt16(scaleWidth);
    const std::int16_t height = toInt16(scaleHeight);

    long long boardHeight = sub16(height, 2 * kMargin);
    long long boardWidth = scaledSingle(boardHeight, pictureWidth, pictureHeight);
    long long cellHeight = roundWide(static_cast<double>(boardHeight) / divisions);
    long long cellWidth = roundWide(static_cast<double>(boardWidth) / divisions);

    const long long fitWidth = widestGrid(width);
    if (boardWidth > fitWidth) {
        boardWidth = fitWidth;
        boardHeight = scaledSingle(boardWidth, pictureHeight, pictureWidth);
        cellHeight = roundWide(static_cast<double>(boardHeight) / divisions);
        cellWidth = roundWide(static_cast<double>(boardWidth) / divisions);
    }

    BoardHeight = toInt16(boardHeight);
    BoardWidth = toInt16(boardWidth);
    CellHeight = toInt16(cellHeight);
    CellWidth = toInt16(cellWidth);
    gridSize_ = static_cast<std::int16_t>(divisions);
    scaleWidth_ = width;
    scaleHeight_ = height;
    // The hit test is strict: a cell needs a pixel inside its outline.
    return CellWidth >= kSmallestCell && CellHeight >= kSmallestCell;
}

std::optional<ClientSize> smallestPlayableClient(int pictureWidth, int pictureHeight, int divisions,
                                                 ClientSize from, ClientSize limit) {
    Puzzle trial;
    ClientSize size = from;
    while (size.width <= limit.width && size.height <= limit.height) {
        if (trial.ComputeLayout(size.width, size.height, pictureWidth, pictureHeight, divisions))
            return size;
        // A board as wide as the two grids may be across is held back by the
        // width; any other by the height.
        if (trial.BoardWidth >= widestGrid(size.width))
            ++size.width;
        else
            ++size.height;
    }
    return std::nullopt;
}

ClientSize largestBoard(ClientSize client) {
    return {static_cast<int>(std::max<long long>(1, widestGrid(client.width))),
            std::max(1, client.height - 2 * kMargin)};
}

std::int16_t Puzzle::sourceLeft() const {
    return sub16(sub16(scaleWidth_, kMargin), BoardWidth);
}

std::int16_t Puzzle::cellX(int side, int col) const {
    const std::int16_t offset = mul16(col, CellWidth);
    return side == kReceiving ? add16(kMargin, offset) : add16(offset, sourceLeft());
}

std::int16_t Puzzle::cellY(int row) const {
    return add16(kMargin, mul16(row, CellHeight));
}

void Puzzle::InitCells() {
    for (int row = 0; row < gridSize_; ++row) {
        for (int col = 0; col < gridSize_; ++col) {
            CellRec& cell = Board(kReceiving, col, row);
            cell.X = cellX(kReceiving, col);
            cell.Y = cellY(row);
            cell.Full = kFalse;
            cell.PieceCol = -1;
            cell.PieceRow = -1;

            CellRec& slot = Board(kSource, col, row);
            slot.X = cellX(kSource, col);
            slot.Y = cellY(row);
            slot.Full = kTrue;
            slot.PieceCol = static_cast<std::int16_t>(col);
            slot.PieceRow = static_cast<std::int16_t>(row);
        }
    }
}

void Puzzle::PlaceCells() {
    for (int row = 0; row < gridSize_; ++row) {
        for (int col = 0; col < gridSize_; ++col) {
            for (int side : {kReceiving, kSource}) {
                CellRec& cell = Board(side, col, row);
                cell.X = cellX(side, col);
                cell.Y = cellY(row);
            }
        }
    }
}

} // namespace tivra
