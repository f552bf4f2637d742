#include "Lattice.h"

#include <algorithm>
#include <iterator>
#include <utility>

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

namespace {

// The lines k = first .. last, of those from `start` a `step` apart, that lie
// within [low, high], itself within the lattice.
std::pair<int, int> linesWithin(int start, int step, int low, int high) {
    if (step == 0)
        return {0, 0};
    return {(low - start + step - 1) / step, (high - start) / step};
}

} // namespace

QRect Lattice::paint(QImage& image, QPoint origin, const QRect& clip) const {
    const QRect area = clip.intersected(bounds());
    if (area.isEmpty())
        return {};
    // Outlines are mostly drawn over themselves: only the pixels that change
    // are written and reported.
    const QRgb ink = colour;
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    // The pixel at (x, y) of the surface.
    auto at = [&](int x, int y) {
        return reinterpret_cast<QRgb*>(bits + (y - origin.y()) * stride) + (x - origin.x());
    };
    const auto differs = [ink](QRgb pixel) { return pixel != ink; };
    int changedLeft = area.right() + 1, changedRight = area.left() - 1;
    int changedTop = area.bottom() + 1, changedBottom = area.top() - 1;
    auto note = [&](int fromX, int toX, int y) {
        changedLeft = std::min(changedLeft, fromX);
        changedRight = std::max(changedRight, toX);
        changedTop = std::min(changedTop, y);
        changedBottom = std::max(changedBottom, y);
    };
    const auto [firstRow, lastRow] = linesWithin(top, cellHeight, area.top(), area.bottom());
    for (int k = firstRow; k <= lastRow; ++k) {
        const int y = top + k * cellHeight;
        QRgb* const begin = at(area.left(), y);
        QRgb* const end = begin + area.width();
        QRgb* const first = std::find_if(begin, end, differs);
        if (first == end)
            continue;
        const auto last = std::find_if(std::make_reverse_iterator(end),
                                       std::make_reverse_iterator(first), differs);
        std::fill(first, last.base(), ink);
        note(area.left() + static_cast<int>(first - begin),
             area.left() + static_cast<int>(last.base() - begin) - 1, y);
    }
    const auto [firstColumn, lastColumn] = linesWithin(left, cellWidth, area.left(), area.right());
    const int firstX = left + firstColumn * cellWidth;
    const int columns = lastColumn - firstColumn + 1;
    const int step = cellWidth;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        QRgb* pixel = at(firstX, y);
        for (int c = 0; c < columns; ++c, pixel += step) {
            if (*pixel != ink) {
                *pixel = ink;
                note(firstX + c * step, firstX + c * step, y);
            }
        }
    }
    if (changedLeft > changedRight)
        return {};
    return QRect(QPoint(changedLeft, changedTop), QPoint(changedRight, changedBottom));
}

} // namespace tivra
