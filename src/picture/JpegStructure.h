#pragma once

#include <QtGlobal>
#include <optional>

class QIODevice;

// Where a JPEG's own picture ends: its markers and scan data walked from the
// start up to the end-of-image marker. Whatever a file holds after it (the
// video of a phone's motion photo, a second picture, padding) is not part of
// the picture. None when the data ends first, as a cut-off file does, or the
// picture would run past `limit` bytes.
std::optional<qint64> jpegPictureEnd(QIODevice& device, qint64 limit);

// True when the data starts as a JPEG does.
bool looksLikeJpeg(const QByteArray& start);
