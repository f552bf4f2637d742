#pragma once

#include <cstdint>

namespace Module1 {

// The grid size the next layout uses: written by the Options window the moment
// its arrows move, read by the main window at New Game and picture loads.
extern std::int16_t Divisions;

// The largest grid the Options window offers: a picture must stay playable
// at it, whatever the player chooses next.
constexpr int kLargestGrid = 10;

} // namespace Module1
