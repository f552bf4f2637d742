#include "Lattice.h"

#include <algorithm>
#include <iterator>

namespace tivra {

namespace {

bool onLine(int at, int start, int step, int count) {
    if (at < start || at > start + count * step)
        return false;
    return step == 0 ? at == start : (at - start) % step == 0;
}

} // namespace

bool Lattice::onColumnLine(int x) const {
    return onLine(x, left, cellWidth, count);
}

bool Lattice::onRowLine(int y) const {
    return onLine(y, top, cellHeight, count);
}

bool Lattice::covers(const Lattice& other) const {
    if (!bounds().contains(other.bounds()))
        return false;
    for (int k = 0; k <= other.count; ++k)
        if (!onColumnLine(other.left + k * other.cellWidth) ||
            !onRowLine(other.top + k * other.cellHeight))
            return false;
    return true;
}

QRect Lattice::paint(QImage& image, QPoint origin, const QRect& clip) const {
    const QRect area = clip.intersected(bounds());
    if (area.isEmpty())
        return {};
    // Outlines are mostly drawn over themselves: only the pixels that change
    // are written and reported.
    QRect changed;
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    auto line = [&](int y) { return reinterpret_cast<QRgb*>(bits + (y - origin.y()) * stride); };
    const auto differs = [this](QRgb pixel) { return pixel != colour; };
    for (int k = 0; k <= count; ++k) {
        const int y = top + k * cellHeight;
        if (y < area.top() || y > area.bottom())
            continue;
        QRgb* const begin = line(y) + (area.left() - origin.x());
        QRgb* const end = begin + area.width();
        QRgb* const first = std::find_if(begin, end, differs);
        if (first == end)
            continue;
        const auto last = std::find_if(std::make_reverse_iterator(end),
                                       std::make_reverse_iterator(first), differs);
        std::fill(first, last.base(), colour);
        const int x = area.left() + static_cast<int>(first - begin);
        changed |= QRect(QPoint(x, y), QPoint(x + static_cast<int>(last.base() - first) - 1, y));
        if (cellHeight == 0)
            break;
    }
    for (int y = area.top(); y <= area.bottom(); ++y) {
        QRgb* const pixels = line(y);
        for (int k = 0, x = left; k <= count; ++k, x += cellWidth) {
            if (x >= area.left() && x <= area.right() && pixels[x - origin.x()] != colour) {
                pixels[x - origin.x()] = colour;
                changed |= QRect(x, y, 1, 1);
            }
            if (cellWidth == 0)
                break;
        }
    }
    return changed;
}

} // namespace tivra
