#pragma once

#include <QImage>
#include <QRect>

namespace tivra {

// The lines of count x count boxes, each cellWidth x cellHeight, tiling a
// grid from (left, top): a box outline is the lattice of one box. The board's
// outlines are given to its surface as lattices, which cost no memory where
// the surface stores no pixels.
struct Lattice {
    int left = 0;
    int top = 0;
    int cellWidth = 0; // not negative
    int cellHeight = 0;
    int count = 1;
    QRgb colour = 0;

    QRect bounds() const {
        return QRect(QPoint(left, top), QPoint(left + count * cellWidth, top + count * cellHeight));
    }
    bool onColumnLine(int x) const;
    bool onRowLine(int y) const;
    bool contains(int x, int y) const {
        return bounds().contains(x, y) && (onColumnLine(x) || onRowLine(y));
    }
    // Every pixel of `other` is one of this lattice's.
    bool covers(const Lattice& other) const;
    // Draws the part inside `clip` on an image whose top-left pixel is `origin`
    // and returns the box around the pixels that changed.
    QRect paint(QImage& image, QPoint origin, const QRect& clip) const;

    bool operator==(const Lattice&) const = default;
};

} // namespace tivra
