#pragma once

#include <QImage>
#include <QSize>
#include <cstddef>
#include <functional>

namespace tivra {

// Decodes a JPEG into 32-bit pixels, reduced while it decodes by a half, a
// quarter or an eighth where the result still covers `atLeast` (libjpeg's
// fast reductions), a band of rows at a time so that a large picture is
// never held whole. `use` gets each band, the row of the picture it starts
// at, and the picture's decoded size; a band repeats the last `overlap` rows
// of the one before it. False when the data is not a whole, undamaged JPEG
// or memory runs out.
using JpegBand = std::function<void(const QImage& band, int top, QSize whole)>;
bool decodeJpegInBands(const unsigned char* data, std::size_t size, QSize atLeast, int bandRows,
                       int overlap, const JpegBand& use);

} // namespace tivra
