#pragma once

#include "Colours.h"
#include "Surface.h"

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

// The four drawing surfaces of the main window.
struct BoardSurfaces {
    // The main window's client area. Only the part the board covers is
    // stored: the rest is background, and memory is short at start-up.
    Surface window{kWindowBackground, {}, Surface::Storage::DrawnPartOnly};
    LoadedPicture Picture1; // the current picture, hidden
    Surface Picture2{kFaceColour, {}, Surface::Storage::DrawnPartOnly}; // the reference overlay
    Surface Picture3{kFaceColour};                                      // scratch for one cell
};

} // namespace tivra
