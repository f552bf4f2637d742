#include "StoredPixels.h"

#include <algorithm>
#include <cstring>

namespace tivra {

void StoredPixels::clear(QSize size) {
    size_ = size.expandedTo(QSize(0, 0));
    room_ = QRect();
    outlines_.clear();
    outlinesIntact_ = false;
    if (keep_ == Keep::Whole) {
        if (image_.size() != size_)
            image_ = QImage(size_, QImage::Format_RGB32);
        image_.fill(background_);
        area_ = whole();
    } else {
        image_ = QImage();
        area_ = QRect();
    }
}

QRgb StoredPixels::pixel(int x, int y) const {
    if (area_.contains(x, y))
        return image_.pixel(x - area_.left(), y - area_.top());
    QRgb colour = background_;
    for (const Lattice& lattice : outlines_)
        if (lattice.contains(x, y))
            colour = lattice.colour;
    return colour;
}

void StoredPixels::render(QImage& into, const QRect& area) const {
    if (!area_.contains(area)) {
        into.fill(background_);
        for (const Lattice& lattice : outlines_)
            lattice.paint(into, area.topLeft(), area);
    }
    const QRect part = area.intersected(area_);
    for (int y = part.top(); y <= part.bottom(); ++y)
        std::memcpy(reinterpret_cast<QRgb*>(into.scanLine(y - area.top())) +
                        (part.left() - area.left()),
                    reinterpret_cast<const QRgb*>(image_.constScanLine(y - area_.top())) +
                        (part.left() - area_.left()),
                    static_cast<std::size_t>(part.width()) * sizeof(QRgb));
}

QImage& StoredPixels::pixelsFor(const QRect& area) {
    const QRect clipped = area.intersected(whole());
    if (!clipped.isEmpty() && !area_.contains(clipped))
        grow(clipped);
    // The caller may draw over the outlines.
    outlinesIntact_ = false;
    return image_;
}

// Stores the pixels of `area` too, and of the whole room once the stored
// part has to grow at all. The grown pixels show what was there: the
// outlines on them stay as drawn.
void StoredPixels::grow(const QRect& area) {
    QRect next = area_.isEmpty() ? area : (area_ | area | room_);
    next &= whole();
    QImage larger(next.size(), QImage::Format_RGB32);
    render(larger, next);
    image_ = std::move(larger);
    area_ = next;
}

const std::vector<QRect>& StoredPixels::outline(const std::vector<Lattice>& outlines) {
    const QRect surface = whole();
    auto unstored = [&](const Lattice& lattice) {
        const QRect bounds = lattice.bounds().intersected(surface);
        return !bounds.isEmpty() && !area_.contains(bounds);
    };
    // An outline that is not given again stays drawn where no new one
    // covers it: its pixels are stored.
    for (const Lattice& old : outlines_)
        if (unstored(old) && std::none_of(outlines.begin(), outlines.end(),
                                          [&](const Lattice& now) { return now.covers(old); }))
            grow(old.bounds().intersected(surface));

    // Beyond the stored pixels, only the outlines after those given the same
    // as last time change what shows: those that went and those that came.
    const auto [oldEnd, newEnd] =
        std::mismatch(outlines_.begin(), outlines_.end(), outlines.begin(), outlines.end());
    const std::size_t same = static_cast<std::size_t>(oldEnd - outlines_.begin());
    std::vector<QRect>& changed = changed_;
    changed.clear();
    for (auto gone = oldEnd; gone != outlines_.end(); ++gone)
        if (unstored(*gone))
            changed.push_back(gone->bounds().intersected(surface));
    for (auto came = newEnd; came != outlines.end(); ++came)
        if (unstored(*came))
            changed.push_back(came->bounds().intersected(surface));

    // On the stored pixels every outline is drawn, but for those still
    // there from last time when these only add to them (a cursor drawn
    // after the grid).
    const bool adding = oldEnd == outlines_.end();
    const std::size_t first = outlinesIntact_ && adding ? same : 0;
    for (std::size_t i = first; i < outlines.size(); ++i) {
        const QRect onStored = outlines[i].bounds().intersected(area_);
        if (const QRect drawn =
                onStored.isEmpty() ? QRect() : outlines[i].paint(image_, area_.topLeft(), onStored);
            !drawn.isEmpty())
            changed.push_back(drawn);
    }
    outlines_.assign(outlines.begin(), outlines.end()); // in the room of the last ones
    outlinesIntact_ = true;
    return changed;
}

} // namespace tivra
