#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace tivra {

// HEIF pictures (HEIC from phones, AVIF), read with libheif.

// Loads libheif and its codecs now rather than with the first HEIF picture;
// true when they are there.
bool preloadHeif();

// True when the data starts as a HEIF file that libheif can read.
bool looksLikeHeif(const QByteArray& start);

struct HeifPicture {
    QImage image;  // upright, at most the size asked for
    QSize upright; // the picture's own upright size
    QString error; // why there is no image
};

// The file's primary picture, turned as the file says, decoded and scaled to
// no more than maxDecoded. A picture of more than maxPixels is refused
// before it is decoded.
HeifPicture decodeHeif(const QByteArray& data, QSize maxDecoded, qint64 maxPixels);

} // namespace tivra
