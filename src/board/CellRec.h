#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>

namespace tivra {

// Booleans on the board are stored the old way: 0 is False, -1 is True.
constexpr std::int16_t kFalse = 0;
constexpr std::int16_t kTrue = -1;

// Side 0 is the receiving grid (left), side 1 the source grid (right).
constexpr int kReceiving = 0;
constexpr int kSource = 1;

// The cell table has room for this many cells on each side of a grid.
constexpr int kMaxDivisions = 12;

struct CellRec {
    std::int16_t X = 0; // left pixel in the client area
    std::int16_t Y = 0; // top pixel in the client area
    std::int16_t Full = kFalse;
    std::int16_t PieceCol = 0; // home column of the piece held, -1 when empty (receiving side)
    std::int16_t PieceRow = 0;
};

// Board(side, col, row): 2 x 12 x 12 cells. Every index is range-checked.
class BoardTable {
public:
    CellRec& operator()(int side, int col, int row) { return cells_.at(index(side, col, row)); }
    const CellRec& operator()(int side, int col, int row) const {
        return cells_.at(index(side, col, row));
    }

private:
    static std::size_t index(int side, int col, int row) {
        if (side < 0 || side > 1 || col < 0 || col >= kMaxDivisions || row < 0 ||
            row >= kMaxDivisions)
            throw std::out_of_range("cell index outside the board table");
        return static_cast<std::size_t>((side * kMaxDivisions + col) * kMaxDivisions + row);
    }

    std::array<CellRec, 2 * kMaxDivisions * kMaxDivisions> cells_{};
};

} // namespace tivra
