#include "Surface.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tivra {

Surface::Surface(QRgb background, QSize size, Storage storage)
    : pixels_(background, storage == Storage::Whole ? StoredPixels::Keep::Whole
                                                    : StoredPixels::Keep::DrawnPart) {
    resize(size);
}

void Surface::resize(QSize size) {
    size_ = size.expandedTo(QSize(0, 0));
    Cls();
}

void Surface::drawPending() const {
    if (!pending_)
        return;
    const auto draw = std::move(pending_);
    pending_ = nullptr;
    draw(const_cast<Surface&>(*this));
}

void Surface::Cls() {
    pending_ = nullptr;
    pixels_.clear(size_);
    markDrawn(rect());
}

QImage Surface::image() const {
    drawPending();
    if (pixels_.area() == rect())
        return pixels_.pixels();
    QImage pixels(size_, QImage::Format_RGB32);
    pixels_.render(pixels, rect());
    return pixels;
}

void Surface::render(QImage& into, const QRect& area) const {
    drawPending();
    pixels_.render(into, area);
}

QRgb Surface::pixel(int x, int y) const {
    drawPending();
    return pixels_.pixel(x, y);
}

QImage& Surface::pixelsFor(const QRect& area) {
    drawPending();
    return pixels_.pixelsFor(area);
}

namespace {

// Fills a rectangle already clipped to the image, straight into its rows.
void fillClipped(QImage& image, const QRect& area, QRgb colour) {
    uchar* bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(bits + y * stride);
        std::fill(line + area.left(), line + area.right() + 1, colour);
    }
}

} // namespace

void Surface::fillRect(const QRect& area, QRgb colour) {
    const QRect clipped = area.intersected(rect());
    if (clipped.isEmpty())
        return;
    QImage& pixels = pixelsFor(clipped);
    fillClipped(pixels, clipped.translated(-pixels_.area().topLeft()), colour);
    markDrawn(clipped);
}

void Surface::BoxOutline(int x1, int y1, int x2, int y2, QRgb colour) {
    if (x1 > x2)
        std::swap(x1, x2);
    if (y1 > y2)
        std::swap(y1, y2);
    drawLattice({x1, y1, x2 - x1, y2 - y1, 1, colour});
}

void Surface::GridOutline(int left, int top, int cellWidth, int cellHeight, int count,
                          QRgb colour) {
    if (count <= 0)
        return;
    if (cellWidth < 0 || cellHeight < 0) {
        for (int row = 0; row < count; ++row)
            for (int col = 0; col < count; ++col) {
                const int x = left + col * cellWidth;
                const int y = top + row * cellHeight;
                BoxOutline(x, y, x + cellWidth, y + cellHeight, colour);
            }
        return;
    }
    drawLattice({left, top, cellWidth, cellHeight, count, colour});
}

// Onto the stored pixels, which take in the whole of it.
void Surface::drawLattice(const Lattice& lattice) {
    const QRect bounds = lattice.bounds().intersected(rect());
    if (bounds.isEmpty())
        return;
    QImage& pixels = pixelsFor(bounds);
    const QRect changed = lattice.paint(pixels, pixels_.area().topLeft(), bounds);
    if (!changed.isEmpty())
        markDrawn(changed);
}

void Surface::drawOutlines(const std::vector<Lattice>& outlines) {
    drawPending();
    for (const QRect& changed : pixels_.outline(outlines))
        markDrawn(changed);
}

void Surface::setVisible(bool visible) {
    if (visible == visible_)
        return;
    visible_ = visible;
    if (observer_)
        observer_->surfaceVisibilityChanged(visible);
}

void Surface::markDrawn(const QRect& area) {
    // A few separate rectangles (the two cells of a move) are sent to the
    // screen as they are; many are merged into the box around them.
    constexpr int kMostRectangles = 16;
    drawn_ += area.intersected(rect());
    if (drawn_.rectCount() > kMostRectangles)
        drawn_ = drawn_.boundingRect();
    if (!drawnReported_ && !drawn_.isEmpty() && observer_) {
        drawnReported_ = true;
        observer_->surfaceDrawn();
    }
}

QRegion Surface::takeDrawnArea() {
    const QRegion area = drawn_;
    drawn_ = QRegion();
    drawnReported_ = false;
    return area;
}

void Surface::Refresh() {
    const QRegion area = takeDrawnArea();
    if (observer_ && !area.isEmpty())
        observer_->surfaceRefreshed(area);
}

namespace {

// Clips a w x h copy from (sx, sy) in a source of srcSize to (x, y) in a
// destination of destSize; false when nothing is left to copy.
bool clipCopy(QSize destSize, QSize srcSize, int& x, int& y, int& w, int& h, int& sx, int& sy) {
    if (w <= 0 || h <= 0)
        return false;
    const int left = std::max({0, -x, -sx});
    const int top = std::max({0, -y, -sy});
    x += left, sx += left, w -= left;
    y += top, sy += top, h -= top;
    w = std::min({w, destSize.width() - x, srcSize.width() - sx});
    h = std::min({h, destSize.height() - y, srcSize.height() - sy});
    return w > 0 && h > 0;
}

} // namespace

void BitBlt(Surface& dest, int x, int y, int w, int h, const Surface& src, int sx, int sy) {
    if (!clipCopy(dest.size(), src.size(), x, y, w, h, sx, sy))
        return;
    QImage& to = dest.pixelsFor(QRect(x, y, w, h));
    const QPoint toOrigin = dest.storedArea().topLeft();
    // Pixels the source does not store are drawn for the copy.
    const QRect from(sx, sy, w, h);
    const bool stored = src.storedArea().contains(from);
    QImage drawn;
    if (!stored) {
        drawn = QImage(w, h, QImage::Format_RGB32);
        src.render(drawn, from);
    }
    const QImage& in = stored ? src.storedPixels() : drawn;
    const QPoint inOrigin = stored ? src.storedArea().topLeft() : from.topLeft();
    const std::size_t bytes = static_cast<std::size_t>(w) * sizeof(QRgb);
    // Within one image a downward copy must start from the bottom row.
    const bool upwards = &dest == &src && stored && y > sy;
    for (int i = 0; i < h; ++i) {
        const int row = upwards ? h - 1 - i : i;
        const auto* inLine =
            reinterpret_cast<const QRgb*>(in.constScanLine(sy + row - inOrigin.y())) +
            (sx - inOrigin.x());
        auto* outLine =
            reinterpret_cast<QRgb*>(to.scanLine(y + row - toOrigin.y())) + (x - toOrigin.x());
        std::memmove(outLine, inLine, bytes);
    }
    dest.markDrawn(QRect(x, y, w, h));
}

void StretchBlt(Surface& dest, int x, int y, int w, int h, const QImage& src, int sx, int sy,
                int sw, int sh) {
    if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0 || src.isNull())
        return;
    const QImage source =
        src.format() == QImage::Format_RGB32 || src.format() == QImage::Format_ARGB32
            ? src
            : src.convertToFormat(QImage::Format_RGB32);
    const QRect target = QRect(x, y, w, h).intersected(dest.rect());
    if (target.isEmpty())
        return;
    QImage& to = dest.pixelsFor(target);
    const QPoint origin = dest.storedArea().topLeft();
    // Each destination pixel takes the source pixel under its centre.
    auto sourceIndex = [](int i, int length, int sourceLength, int sourceStart, int limit) {
        const long long s = sourceStart + (2LL * i + 1) * sourceLength / (2LL * length);
        return static_cast<int>(std::clamp<long long>(s, 0, limit - 1));
    };
    std::vector<int> columns(static_cast<std::size_t>(target.width()));
    for (int i = 0; i < target.width(); ++i)
        columns[static_cast<std::size_t>(i)] =
            sourceIndex(target.left() - x + i, w, sw, sx, source.width());
    for (int row = target.top(); row <= target.bottom(); ++row) {
        const int sourceRow = sourceIndex(row - y, h, sh, sy, source.height());
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(sourceRow));
        auto* out =
            reinterpret_cast<QRgb*>(to.scanLine(row - origin.y())) + (target.left() - origin.x());
        for (int c : columns)
            *out++ = in[c] | 0xFF000000u;
    }
    dest.markDrawn(target);
}

} // namespace tivra
