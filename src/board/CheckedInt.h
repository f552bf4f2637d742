#pragma once

#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace tivra {

// The board keeps every length and index in signed 16 bits. A value that does
// not fit is a fault in the caller's numbers, so it throws instead of wrapping.
inline std::int16_t toInt16(long long value) {
    if (value < INT16_MIN || value > INT16_MAX)
        throw std::overflow_error("16-bit overflow on the board");
    return static_cast<std::int16_t>(value);
}

// Nearest integer, ties to the even neighbour (110.5 -> 110, 111.5 -> 112).
// Written out so that it does not depend on the FPU's current rounding mode.
inline double roundHalfEven(double value) {
    const double below = std::floor(value);
    const double fraction = value - below;
    if (fraction > 0.5)
        return below + 1.0;
    if (fraction < 0.5)
        return below;
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

// Rounded conversion of a fractional value to a board integer.
inline std::int16_t roundToInt16(double value) {
    if (!std::isfinite(value))
        throw std::overflow_error("non-finite value on the board");
    const double rounded = roundHalfEven(value);
    if (rounded < INT16_MIN || rounded > INT16_MAX)
        throw std::overflow_error("16-bit overflow on the board");
    return static_cast<std::int16_t>(rounded);
}

// Checked 16-bit arithmetic on board values.
inline std::int16_t add16(long long a, long long b) {
    return toInt16(a + b);
}
inline std::int16_t sub16(long long a, long long b) {
    return toInt16(a - b);
}
inline std::int16_t mul16(long long a, long long b) {
    return toInt16(a * b);
}

} // namespace tivra
