#pragma once

#include <QColor>
#include <cstdint>

namespace tivra {

// The game's colours are written the old way, red in the low byte and blue in
// the high byte (&H0080FF is orange).
constexpr QRgb fromBgr(std::uint32_t bgr) {
    return qRgb(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

constexpr QRgb kWindowBackground = fromBgr(0x0080FF); // orange
constexpr QRgb kOutlineColour = fromBgr(0x000000);    // black
constexpr QRgb kCursorColour = fromBgr(0xFF0000);     // blue
// The keyboard's cursor on the source grid: nothing like blue, black or orange.
constexpr QRgb kSourceCursorColour = fromBgr(0x00FF00); // green
constexpr QRgb kFaceColour = qRgb(240, 240, 240);       // the 3-D face grey of picture boxes

} // namespace tivra
