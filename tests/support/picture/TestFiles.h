#pragma once

#include <QByteArray>
#include <QImage>

namespace tivra::testing {

// The picture as a file of that format would hold it.
QByteArray encoded(const QImage& image, const char* format);
// Bytes from a seeded generator: the same for the same seed.
QByteArray randomBytes(int count, unsigned seed);

} // namespace tivra::testing
