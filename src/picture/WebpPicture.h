#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace tivra {

// WebP pictures, read with libwebp, which scales while it decodes: a large
// one costs the board's size in memory, not its own. Animations are left to
// Qt's reader, which shows their first frame.

// True when the data starts as a WebP file does.
bool looksLikeWebp(const QByteArray& start);

struct WebpPicture {
    QImage image;          // at the size asked for; with alpha if the picture has it
    QSize size;            // the picture's own size
    QString error;         // why there is no image
    bool animated = false; // not decoded here
};

// Decodes a still WebP at `target`, its own size or smaller.
WebpPicture decodeWebp(const QByteArray& data, QSize (*targetFor)(QSize own, QSize maxDecoded),
                       QSize maxDecoded);

} // namespace tivra
