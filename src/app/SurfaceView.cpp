#include "SurfaceView.h"

#include "InputCodes.h"
#include "paint/DevicePixels.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <qdrawutil.h>

SurfaceView::SurfaceView(tivra::Surface& surface, QWidget* parent)
    : QWidget(parent), surface_(surface) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    surface_.setObserver(this);
}

SurfaceView::~SurfaceView() {
    surface_.setObserver(nullptr);
}

void SurfaceView::setSunkenFrame(int width) {
    frame_ = width;
    update();
}

// An area of the surface's device pixels, in the widget's own.
QRect SurfaceView::onWidget(const QRect& area) const {
    return tivra::areaInLayout(area, surface_.ratio()).translated(frame_, frame_);
}

void SurfaceView::surfaceRefreshed(const QRegion& area) {
    if (!isVisible())
        return;
    if (painting_) {
        // Drawn just before this paint: what it does not cover waits for the next.
        for (const QRect& part : area)
            if (const QRegion rest = QRegion(onWidget(part)) - painting_->region(); !rest.isEmpty())
                update(rest);
        return;
    }
    // One plain rectangle at a time: Qt's path for a complex region is slower
    // than a few simple repaints.
    for (const QRect& part : area)
        repaint(onWidget(part));
}

void SurfaceView::surfaceDrawn() {
    // Drawing that no refresh follows is shown at the next ordinary repaint.
    QMetaObject::invokeMethod(
        this,
        [this] {
            for (const QRect& part : surface_.takeDrawnArea())
                update(onWidget(part));
        },
        Qt::QueuedConnection);
}

void SurfaceView::surfaceVisibilityChanged(bool visible) {
    setVisible(visible);
    if (visible)
        raise();
}

// The surface holds device pixels: the painter is turned back to device
// pixels, so that each of the surface's lands on one of the screen's,
// unscaled (at ratio 1 they are the widget's own).
void SurfaceView::paintEvent(QPaintEvent* event) {
    painting_ = event;
    emit aboutToPaint();
    painting_ = nullptr;
    QPainter painter(this);
    const QRect inside = rect().adjusted(frame_, frame_, -frame_, -frame_);
    if (frame_ > 0 && !inside.contains(event->rect()))
        qDrawWinPanel(&painter, rect(), QPalette(QColor(surface_.background())), true);
    const double ratio = surface_.ratio();
    if (devicePixelRatioF() != ratio) {
        // Moved to a screen of another ratio: the board is drawn again for it.
        QMetaObject::invokeMethod(this, &SurfaceView::ratioChanged, Qt::QueuedConnection);
    }
    const QRect area = event->rect().intersected(inside);
    painter.setClipRect(area);
    painter.scale(1.0 / ratio, 1.0 / ratio);
    const int offset = tivra::onDevice(frame_, ratio);
    const QPoint origin(offset, offset);
    const QRect wanted = tivra::areaOnDevice(area, ratio).translated(-origin);
    const QRect storedArea = surface_.storedArea();
    const QRect stored = wanted.intersected(storedArea);
    if (!stored.isEmpty())
        painter.drawImage(stored.topLeft() + origin, surface_.storedPixels(),
                          stored.translated(-storedArea.topLeft()));
    // The rest is background and outlines, drawn a band of rows at a time
    // so that no copy of a whole window is ever made.
    constexpr int kBandRows = 64;
    for (const QRect& rest : QRegion(wanted) - QRegion(stored)) {
        QImage band(rest.width(), std::min(kBandRows, rest.height()), QImage::Format_RGB32);
        for (int top = rest.top(); top <= rest.bottom(); top += kBandRows) {
            const QRect part(rest.left(), top, rest.width(),
                             std::min(kBandRows, rest.bottom() + 1 - top));
            surface_.render(band, part);
            painter.drawImage(part.topLeft() + origin, band, QRect(QPoint(0, 0), part.size()));
        }
    }
}

void SurfaceView::keyPressEvent(QKeyEvent* event) {
    emit keyPressed(tivra::input::virtualKeyCode(event->key()));
    event->accept();
}

void SurfaceView::mousePressEvent(QMouseEvent* event) {
    const QPointF at = event->position();
    emit mousePressed(tivra::input::buttonNumber(event->button()), static_cast<float>(at.x()),
                      static_cast<float>(at.y()));
    event->accept();
}

void SurfaceView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    emit resized(size());
}

// Tab is a key like any other on the board, not a jump between widgets.
bool SurfaceView::focusNextPrevChild(bool) {
    return false;
}
