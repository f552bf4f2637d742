#pragma once

#include "LoadedPicture.h"

#include <QByteArray>
#include <QFile>
#include <QSize>
#include <QString>
#include <optional>

namespace tivra {

// Reads a picture for the board: whatever Qt reads, and HEIC and AVIF through
// libheif. The picture's own pixel size is read first;
// pixels are decoded no larger than maxDecoded (the largest board the screen
// can show), so a huge photo loads quickly and in little memory. A photo
// with an orientation tag comes out upright, with its upright size.
// Anything that is not a whole, undamaged picture gives no picture and a
// reason.
struct PictureLoadResult {
    std::optional<tivra::LoadedPicture> picture;
    QString reason;
};

PictureLoadResult loadPicture(const QString& path, QSize maxDecoded);
// The same for a file already open; formatHint is its name's ending.
PictureLoadResult loadOpenPicture(QFile& file, const QByteArray& formatHint, QSize maxDecoded);
// The same for a picture already in memory; formatHint is the file's ending.
PictureLoadResult loadPictureData(const QByteArray& data, const QByteArray& formatHint,
                                  QSize maxDecoded);

} // namespace tivra
