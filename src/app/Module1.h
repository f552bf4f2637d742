#pragma once

#include <cstdint>

namespace Module1 {

// The grid size the next layout uses: written by the Options window the moment
// its arrows move, read by the main window at New Game and picture loads.
extern std::int16_t Divisions;

} // namespace Module1
