#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <functional>

namespace tivra {

// The current picture. Its pixel size is the picture's own and is what the
// layout reads; a large photo may be held decoded at a smaller size.
struct LoadedPicture {
    QImage image;
    QSize pixelSize;
    // A picture may instead draw itself onto an area of an image at that
    // area's size: the built-in one, drawn sharp at whatever size the board
    // has.
    std::function<void(QImage& dest, const QRect& area)> drawScaled = {};

    int ScaleWidth() const { return pixelSize.width(); }
    int ScaleHeight() const { return pixelSize.height(); }
};

} // namespace tivra
