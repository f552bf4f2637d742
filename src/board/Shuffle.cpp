#include "Puzzle.h"

#include <cmath>
#include <stdexcept>
#include <utility>

namespace tivra {

namespace {

// Int(Rnd * n): the product in single precision, then its whole part.
int randomIndex(const RandomSource& rnd, int n) {
    const float product = rnd() * static_cast<float>(n);
    const int index = static_cast<int>(std::floor(product));
    if (index < 0 || index >= n)
        throw std::out_of_range("random source outside [0, 1)");
    return index;
}

} // namespace

// 101 exchanges of a random slot with slot (0, 0), pixels and identities
// together, each one shown, so the player watches the picture fall apart.
void Puzzle::ShuffleBoard(const RandomSource& rnd) {
    for (int pass = 0; pass <= 100; ++pass) {
        const int r = randomIndex(rnd, gridSize_);
        const int c = randomIndex(rnd, gridSize_);
        CellRec& slot = Board(kSource, c, r);
        CellRec& corner = Board(kSource, 0, 0);
        exchange(slot, corner);
        std::swap(slot.PieceCol, corner.PieceCol);
        std::swap(slot.PieceRow, corner.PieceRow);
        refresh();
    }
}

} // namespace tivra
