#pragma once

#include <QByteArray>
#include <QImage>

namespace tivra::testing {

// A HEIC (HEVC) or AVIF (AV1) file of the picture, made with libheif's own
// encoders from 8-bit RGB.
enum class HeifCodec { Hevc, Av1 };
QByteArray heifFile(const QImage& picture, HeifCodec codec);

} // namespace tivra::testing
