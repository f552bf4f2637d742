#pragma once

#include <QImage>
#include <QSize>
#include <cstddef>

// Decodes a JPEG into 32-bit pixels, reduced while it decodes by a half, a
// quarter or an eighth where the result still covers `atLeast` (libjpeg's
// fast reductions). A null image when the data is not a whole, undamaged
// JPEG or memory runs out.
QImage decodeJpeg(const unsigned char* data, std::size_t size, QSize atLeast);
