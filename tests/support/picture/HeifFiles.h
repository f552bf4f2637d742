#pragma once

#include <QByteArray>
#include <QImage>

namespace tivra::testing {

// A HEIC (HEVC) or AVIF (AV1) file of the picture, made with libheif's own
// encoders from 8-bit RGB.
enum class HeifCodec { Hevc, Av1 };
QByteArray heifFile(const QImage& picture, HeifCodec codec);
// The picture as the one tile of a grid image, as cameras store large
// photos: the grid's data says it is gridSize, its size property says
// declared. A file that lies has them differ.
QByteArray heifGridFile(const QImage& tile, HeifCodec codec, QSize gridSize, QSize declared);

} // namespace tivra::testing
