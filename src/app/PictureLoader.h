#pragma once

#include "paint/BoardSurfaces.h"

#include <QSize>
#include <QString>
#include <optional>

// Reads a picture file for the board. The picture's own pixel size is read
// first; pixels are decoded no larger than maxDecoded (the largest board the
// screen can show), so a huge photo loads quickly and in little memory.
// Returns nothing, with a reason, for anything that is not a whole picture.
struct PictureLoadResult {
    std::optional<tivra::LoadedPicture> picture;
    QString reason;
};

PictureLoadResult loadPicture(const QString& path, QSize maxDecoded);

// The picture built into the program.
tivra::LoadedPicture defaultPicture();

// True when the data is a JPEG stream whose image data ends without its
// end-of-image marker, as a cut-off download does.
bool isTruncatedJpeg(const QByteArray& data);
