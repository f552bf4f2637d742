#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <algorithm>
#include <cmath>

namespace tivra {

// The board is laid out in the layout's pixels; its surfaces hold the
// screen's own, `ratio` of them to one layout pixel. These are the rules
// between the two, for the painter, the views and the tests alike.

// A length of the layout on the device: a cell's width, a grid's origin,
// a frame. Rounded to the nearest device pixel.
inline int onDevice(int length, double ratio) {
    return ratio == 1.0 ? length : static_cast<int>(std::lround(length * ratio));
}

// A surface that shows an area of the layout: every layout pixel of it
// whole, so rounded up.
inline QSize surfaceOnDevice(QSize logical, double ratio) {
    return {static_cast<int>(std::ceil(logical.width() * ratio)),
            static_cast<int>(std::ceil(logical.height() * ratio))};
}

// An outline's thickness on the device: a line as thick as a layout pixel,
// never less than one device pixel.
inline int lineOnDevice(double ratio) {
    return ratio == 1.0 ? 1 : std::max(1, static_cast<int>(std::lround(ratio)));
}

// The device rectangle of cell (col, row) of a grid whose first cell lies at
// `origin` in the layout: every cell of a grid the same whole number of
// device pixels, the grid's origin rounded once, so that two cells always
// exchange exactly.
inline QRect cellOnDevice(QPoint origin, int col, int row, QSize cell, double ratio) {
    const int w = onDevice(cell.width(), ratio);
    const int h = onDevice(cell.height(), ratio);
    return {onDevice(origin.x(), ratio) + col * w, onDevice(origin.y(), ratio) + row * h, w, h};
}

// The device pixels that cover an area of the layout, taken outward.
inline QRect areaOnDevice(const QRect& logical, double ratio) {
    if (ratio == 1.0)
        return logical;
    return QRect(QPoint(static_cast<int>(std::floor(logical.left() * ratio)),
                        static_cast<int>(std::floor(logical.top() * ratio))),
                 QPoint(static_cast<int>(std::ceil((logical.right() + 1) * ratio)) - 1,
                        static_cast<int>(std::ceil((logical.bottom() + 1) * ratio)) - 1));
}

// The layout's pixels that cover an area of the device, taken outward.
inline QRect areaInLayout(const QRect& device, double ratio) {
    if (ratio == 1.0)
        return device;
    return QRect(QPoint(static_cast<int>(std::floor(device.left() / ratio)),
                        static_cast<int>(std::floor(device.top() / ratio))),
                 QPoint(static_cast<int>(std::ceil((device.right() + 1) / ratio)) - 1,
                        static_cast<int>(std::ceil((device.bottom() + 1) / ratio)) - 1));
}

} // namespace tivra
