#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>

namespace tivra::testing {

// A HEIC (HEVC) or AVIF (AV1) file of the picture, made with libheif's own
// encoders from 8-bit RGB.
enum class HeifCodec { Hevc, Av1 };
QByteArray heifFile(const QImage& picture, HeifCodec codec);
// An AVIF image sequence (an animation), made with libavif: its frames are
// the pictures given, one tick each.
QByteArray avifSequence(const QList<QImage>& frames);
// The picture as the one tile of a grid image, as cameras store large
// photos: the grid's data says it is gridSize, its size property says
// declared. A file that lies has them differ.
QByteArray heifGridFile(const QImage& tile, HeifCodec codec, QSize gridSize, QSize declared);

} // namespace tivra::testing
