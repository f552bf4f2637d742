#pragma once

#include "StoredPixels.h"

#include <QImage>
#include <QRect>
#include <QRegion>
#include <functional>
#include <vector>

namespace tivra {

// Told when a surface's pixels change, so that a window can show them.
class SurfaceObserver {
public:
    virtual ~SurfaceObserver() = default;
    // Refresh: show this area on the screen now.
    virtual void surfaceRefreshed(const QRegion& area) = 0;
    // The first drawing since the last refresh: show it at the next repaint.
    virtual void surfaceDrawn() = 0;
    virtual void surfaceVisibilityChanged(bool visible) = 0;
};

// A persistent in-memory image with a background colour. Every pixel the game
// shows lives in one of these; a window only copies from it.
//
// A surface that is mostly background (the window around the board, the
// reference overlay) can store only the pixels drawn on since its last Cls,
// and the board's outlines beyond them as lines (see StoredPixels).
class Surface {
public:
    enum class Storage { Whole, DrawnPartOnly };

    explicit Surface(QRgb background, QSize size = {}, Storage storage = Storage::Whole);

    void resize(QSize size); // the new surface is all background
    // Device pixels to one pixel of the layout: the surface's pixels are the
    // screen's own, and its size is in them.
    double ratio() const { return ratio_; }
    void setRatio(double ratio) { ratio_ = ratio; }
    QSize size() const { return size_; }
    QRect rect() const { return QRect(QPoint(0, 0), size_); }
    int ScaleWidth() const { return size_.width(); }
    int ScaleHeight() const { return size_.height(); }
    // Every pixel of the surface, stored or not.
    QImage image() const;
    // The pixels of `area` (inside the surface) onto the top-left of `into`.
    void render(QImage& into, const QRect& area) const;
    QRgb pixel(int x, int y) const;
    QRgb background() const { return pixels_.background(); }
    // The stored pixels, which lie at storedArea() on the surface.
    const QImage& storedPixels() const {
        drawPending();
        return pixels_.pixels();
    }
    QRect storedArea() const {
        drawPending();
        return pixels_.area();
    }

    void Cls();
    // Where the drawing to come will be (see StoredPixels::reserve). A Cls
    // forgets it.
    void reserve(const QRect& room) { pixels_.reserve(room); }
    // Drawing put off until the pixels are first wanted: the reference
    // picture is drawn at every new board but seldom shown. A Cls or a
    // resize forgets it.
    void drawLater(std::function<void(Surface&)> draw) { pending_ = std::move(draw); }
    // One-pixel outline through both corners, not filled.
    void BoxOutline(int x1, int y1, int x2, int y2, QRgb colour);
    void fillRect(const QRect& area, QRgb colour);
    // The outlines of count x count boxes of one size tiling a grid from
    // (left, top): the same pixels as one BoxOutline per box.
    void GridOutline(int left, int top, int cellWidth, int cellHeight, int count, QRgb colour);
    // Those two store the pixels they draw, as every drawing does. The
    // board's outlines instead are given whole at each redraw, drawn in
    // turn: where nothing is stored they take the place of those given last
    // time, so that they cost no memory there (see StoredPixels::outline).
    void drawOutlines(const std::vector<Lattice>& outlines);

    bool Visible() const { return visible_; }
    void setVisible(bool visible);

    // Tells the observer which area changed since the last refresh.
    void Refresh();
    // The area drawn since the last refresh or take, and forget it.
    QRegion takeDrawnArea();
    void setObserver(SurfaceObserver* observer) { observer_ = observer; }

    // For the block transfers: stored pixels that cover `area` (clipped to
    // the surface), lying at storedArea(), and the note of what they wrote.
    QImage& pixelsFor(const QRect& area);
    void markDrawn(const QRect& area);

private:
    void drawPending() const;
    void drawLattice(const Lattice& lattice);

    QSize size_;
    double ratio_ = 1.0;
    mutable std::function<void(Surface&)> pending_;
    StoredPixels pixels_;
    QRegion drawn_;
    bool drawnReported_ = false;
    bool visible_ = false;
    SurfaceObserver* observer_ = nullptr;
};

// Block transfers, pixels copied unchanged; both rectangles are clipped to
// their images. The source may be the destination itself.
void BitBlt(Surface& dest, int x, int y, int w, int h, const Surface& src, int sx, int sy);
// Nearest-neighbour scaling of an sw x sh rectangle of src onto w x h of dest.
void StretchBlt(Surface& dest, int x, int y, int w, int h, const QImage& src, int sx, int sy,
                int sw, int sh);

} // namespace tivra
