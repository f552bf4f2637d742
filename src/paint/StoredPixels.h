#pragma once

#include "Lattice.h"

#include <QImage>
#include <QRect>
#include <vector>

namespace tivra {

// The pixels a surface keeps, apart from what the surface does with them.
//
// Kept whole, they are one image of the surface's size. Kept in part, as
// for a surface that is mostly its background (the window around the board,
// the reference overlay), they are only the box drawn on since the last
// clear, and beyond it the background and the board's outlines, described
// as lines rather than pixels: the receiving grid, outlined but empty, then
// costs no memory until a piece comes to it.
class StoredPixels {
public:
    enum class Keep { Whole, DrawnPart };

    StoredPixels(QRgb background, Keep keep) : background_(background), keep_(keep) {}

    // All background at this size, and no outlines.
    void clear(QSize size);

    // The stored pixels, which lie at area() on the surface.
    const QImage& pixels() const { return image_; }
    QRect area() const { return area_; }
    QRgb background() const { return background_; }

    // Any pixel of the surface, stored or not.
    QRgb pixel(int x, int y) const;
    // The pixels of `area` (inside the surface) onto the top-left of `into`.
    void render(QImage& into, const QRect& area) const;

    // Where the drawing to come will be: once drawing first goes beyond the
    // stored pixels, they grow to take in all of this at once rather than
    // piece by piece. A clear forgets it.
    void reserve(const QRect& room) { room_ = room; }
    // The stored pixels, grown to take in `area` (inside the surface), for
    // the caller to draw on; they lie at area().
    QImage& pixelsFor(const QRect& area);

    // The outlines shown now, every one of them, in the order they are drawn
    // (a later one over an earlier one). They are drawn on the stored
    // pixels, and beyond them they take the place of those given last time.
    // Outlines given last time and not covered by these stay on the surface
    // as pixels. Returns where the surface's pixels changed (until the next
    // outlines).
    const std::vector<QRect>& outline(const std::vector<Lattice>& outlines);

private:
    QRect whole() const { return QRect(QPoint(0, 0), size_); }
    void grow(const QRect& area);

    QSize size_;
    QRgb background_;
    Keep keep_;
    QImage image_;
    QRect area_;
    QRect room_;
    // The outlines given last, and whether the stored pixels still hold them
    // as drawn: nothing else has been drawn on those pixels since.
    std::vector<Lattice> outlines_;
    bool outlinesIntact_ = false;
    std::vector<QRect> changed_; // kept from one redraw to the next: none allocates
};

} // namespace tivra
