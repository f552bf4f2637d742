#include "Surface.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tivra {

Surface::Surface(QRgb background, QSize size, Storage storage)
    : storage_(storage), background_(background) {
    resize(size);
}

void Surface::resize(QSize size) {
    size_ = size.expandedTo(QSize(0, 0));
    image_ = QImage();
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
    if (storage_ == Storage::Whole) {
        if (image_.size() != size_)
            image_ = QImage(size_, QImage::Format_RGB32);
        image_.fill(background_);
    } else {
        image_ = QImage();
    }
    markDrawn(QRect(QPoint(0, 0), size_));
}

QRgb Surface::pixel(int x, int y) const {
    drawPending();
    return image_.valid(x, y) ? image_.pixel(x, y) : background_;
}

QImage& Surface::pixelsFor(const QRect& area) {
    drawPending();
    const QRect clipped = area.intersected(QRect(QPoint(0, 0), size_));
    if (!clipped.isEmpty() && !image_.rect().contains(clipped))
        grow(QSize(clipped.right() + 1, clipped.bottom() + 1));
    return image_;
}

void Surface::reserve(QSize size) {
    drawPending();
    const QSize wanted = size.boundedTo(size_);
    if (!wanted.isEmpty() && image_.size().expandedTo(wanted) != image_.size())
        grow(wanted);
}

// Grows the stored part to reach `size`; what is new is background.
void Surface::grow(QSize size) {
    QImage larger = QImage(image_.size().expandedTo(size), QImage::Format_RGB32);
    larger.fill(background_);
    for (int y = 0; y < image_.height(); ++y)
        std::memcpy(larger.scanLine(y), image_.constScanLine(y),
                    static_cast<std::size_t>(image_.width()) * sizeof(QRgb));
    image_ = std::move(larger);
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
    const QRect clipped = area.intersected(QRect(QPoint(0, 0), size_));
    if (clipped.isEmpty())
        return;
    fillClipped(pixelsFor(clipped), clipped, colour);
    markDrawn(clipped);
}

void Surface::BoxOutline(int x1, int y1, int x2, int y2, QRgb colour) {
    if (x1 > x2)
        std::swap(x1, x2);
    if (y1 > y2)
        std::swap(y1, y2);
    const QRect bounds = QRect(QPoint(0, 0), size_);
    QImage& pixels = pixelsFor(QRect(QPoint(x1, y1), QPoint(x2, y2)));
    for (const QRect& edge :
         {QRect(QPoint(x1, y1), QPoint(x2, y1)), QRect(QPoint(x1, y2), QPoint(x2, y2)),
          QRect(QPoint(x1, y1), QPoint(x1, y2)), QRect(QPoint(x2, y1), QPoint(x2, y2))}) {
        const QRect clipped = edge.intersected(bounds);
        if (!clipped.isEmpty())
            fillClipped(pixels, clipped, colour);
    }
    markDrawn(QRect(QPoint(x1, y1), QPoint(x2, y2)));
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
    const QRect grid(QPoint(left, top), QPoint(left + count * cellWidth, top + count * cellHeight));
    const QRect clipped = grid.intersected(QRect(QPoint(0, 0), size_));
    if (clipped.isEmpty())
        return;
    // Outlines are mostly redrawn over themselves: only the pixels that
    // change count as drawn, so a refresh shows just those.
    QImage& pixels = pixelsFor(clipped);
    uchar* bits = pixels.bits();
    const qsizetype stride = pixels.bytesPerLine();
    QRect changed;
    auto put = [&](QRgb* line, int x, int y) {
        if (line[x] != colour) {
            line[x] = colour;
            changed |= QRect(x, y, 1, 1);
        }
    };
    for (int k = 0; k <= count; ++k) {
        const int y = top + k * cellHeight;
        if (y < clipped.top() || y > clipped.bottom())
            continue;
        auto* line = reinterpret_cast<QRgb*>(bits + y * stride);
        QRgb* const begin = line + clipped.left();
        QRgb* const end = line + clipped.right() + 1;
        const auto differs = [colour](QRgb pixel) { return pixel != colour; };
        QRgb* const first = std::find_if(begin, end, differs);
        if (first == end)
            continue;
        const auto last = std::find_if(std::make_reverse_iterator(end),
                                       std::make_reverse_iterator(first), differs);
        std::fill(first, last.base(), colour);
        changed |= QRect(QPoint(static_cast<int>(first - line), y),
                         QPoint(static_cast<int>(last.base() - line) - 1, y));
    }
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(bits + y * stride);
        for (int k = 0, x = left; k <= count; ++k, x += cellWidth)
            if (x >= clipped.left() && x <= clipped.right())
                put(line, x, y);
    }
    if (!changed.isEmpty())
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
    drawn_ += area.intersected(QRect(QPoint(0, 0), size_));
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

// The source's stored pixels are copied; a source that keeps only its drawn
// part is read as far as it is stored.
void BitBlt(Surface& dest, int x, int y, int w, int h, const Surface& src, int sx, int sy) {
    if (!clipCopy(dest.size(), src.image().size(), x, y, w, h, sx, sy))
        return;
    QImage& to = dest.pixelsFor(QRect(x, y, w, h));
    const QImage& from = src.image();
    const std::size_t bytes = static_cast<std::size_t>(w) * sizeof(QRgb);
    // Within one image a downward copy must start from the bottom row.
    const bool upwards = &dest == &src && y > sy;
    for (int i = 0; i < h; ++i) {
        const int row = upwards ? h - 1 - i : i;
        const auto* in = reinterpret_cast<const QRgb*>(from.constScanLine(sy + row)) + sx;
        auto* out = reinterpret_cast<QRgb*>(to.scanLine(y + row)) + x;
        std::memmove(out, in, bytes);
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
    const QRect target = QRect(x, y, w, h).intersected(QRect(QPoint(0, 0), dest.size()));
    if (target.isEmpty())
        return;
    QImage& to = dest.pixelsFor(target);
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
        auto* out = reinterpret_cast<QRgb*>(to.scanLine(row)) + target.left();
        for (int c : columns)
            *out++ = in[c] | 0xFF000000u;
    }
    dest.markDrawn(target);
}

} // namespace tivra
