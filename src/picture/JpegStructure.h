#pragma once

#include <QList>
#include <QPair>
#include <QtGlobal>
#include <optional>

class QIODevice;

namespace tivra {

// What a walk over a JPEG's markers finds, without decoding anything.
struct JpegLayout {
    // Where its own picture ends: whatever a file holds after it (the video
    // of a phone's motion photo, a second picture, padding) is not part of
    // the picture.
    qint64 end = 0;
    int scans = 0;
    bool progressive = false;
    int width = 0;
    int height = 0;
    // The DCT coefficients the whole picture holds, each component at its
    // own sampling: what a progressive decode keeps in memory, two bytes each.
    qint64 coefficients = 0;
    // Segments no decoder needs (comments, and application data other than
    // the Exif orientation, the colour profile and Adobe's colour transform),
    // which are left out of what is read: offset and length of each.
    QList<QPair<qint64, qint64>> unneeded;
};

// Walks a JPEG's markers and scan data from the start up to the end-of-image
// marker. None when the data ends first, as a cut-off file does, or the
// picture would run past `limit` bytes.
std::optional<JpegLayout> jpegLayout(QIODevice& device, qint64 limit);

// True when the data starts as a JPEG does.
bool looksLikeJpeg(const QByteArray& start);

} // namespace tivra
