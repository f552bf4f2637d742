#include "TouchInput.h"

#include "InputCodes.h"

#include <QGuiApplication>
#include <QLineF>
#include <QStyleHints>
#include <QTabletEvent>
#include <QTouchEvent>
#include <QWidget>

namespace {

// The pen's tip stands for a finger of its own.
constexpr int kPen = -1;

constexpr Qt::MouseButtons kSideButtons = Qt::RightButton | Qt::MiddleButton;

} // namespace

TouchInput::TouchInput(QWidget* view) : QObject(view), view_(view) {
    view_->setAttribute(Qt::WA_AcceptTouchEvents);
    view_->installEventFilter(this);
}

bool TouchInput::eventFilter(QObject* watched, QEvent* event) {
    if (watched != view_)
        return false;
    switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
        return touch(static_cast<QTouchEvent*>(event));
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
        return tablet(static_cast<QTabletEvent*>(event));
    default:
        return false;
    }
}

// Touch points reach the view from a child it lies under as well: their
// places are taken from the screen's.
QPointF TouchInput::onView(QPointF global) const {
    return view_->mapFromGlobal(global);
}

// Taken touches are accepted, so that Qt makes no mouse press of them; a
// touch that begins over a child is declined, and Qt's press goes to it.
bool TouchInput::touch(QTouchEvent* event) {
    // A touchpad's fingers move the pointer, and its taps are the mouse's
    // clicks already.
    if (event->device() && event->device()->type() != QInputDevice::DeviceType::TouchScreen) {
        event->ignore();
        return false;
    }
    bool taken = true;
    switch (event->type()) {
    case QEvent::TouchBegin:
        // Every finger of an earlier touch is off the screen, whatever
        // became of its lift.
        if (finger_ && finger_->id != kPen)
            cancel();
        if (!finger_ && !event->points().isEmpty()) {
            const QEventPoint& first = event->points().constFirst();
            taken = down(first.id(), onView(first.globalPosition()));
        }
        break;
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        for (const QEventPoint& point : event->points()) {
            if (!finger_ || point.id() != finger_->id ||
                point.state() == QEventPoint::State::Stationary)
                continue; // another finger, one already lifted, or one held still
            if (point.state() == QEventPoint::State::Released || event->type() == QEvent::TouchEnd)
                up(onView(point.globalPosition()));
            else
                move(onView(point.globalPosition()));
        }
        break;
    default: // TouchCancel
        if (finger_ && finger_->id != kPen)
            cancel();
        break;
    }
    event->setAccepted(taken);
    return taken;
}

bool TouchInput::tablet(QTabletEvent* event) {
    const QPointF at = onView(event->globalPosition());
    bool taken = true;
    switch (event->type()) {
    case QEvent::TabletPress:
        if (view_->childAt(at.toPoint())) {
            taken = false;
        } else if (event->button() != Qt::LeftButton || (event->buttons() & kSideButtons)) {
            emit buttonPressed(tivra::input::kRightButton, static_cast<float>(at.x()),
                               static_cast<float>(at.y()));
        } else if (!finger_ || finger_->id == kPen) {
            if (finger_)
                cancel(); // its lift went elsewhere
            down(kPen, at);
        }
        break;
    case QEvent::TabletMove:
        if (finger_ && finger_->id == kPen)
            move(at);
        else
            taken = false; // hovering: Qt's mouse moves go on as ever
        break;
    default: // TabletRelease
        if (finger_ && finger_->id == kPen && event->button() == Qt::LeftButton)
            up(at);
        else
            taken = !view_->childAt(at.toPoint());
        break;
    }
    event->setAccepted(taken);
    return taken;
}

bool TouchInput::down(int id, QPointF at) {
    if (view_->childAt(at.toPoint()))
        return false;
    finger_ = Finger{id, at, false};
    return true;
}

void TouchInput::move(QPointF at) {
    if (!finger_->dragging) {
        // Held still or moved a little, it is still a tap.
        if (QLineF(finger_->from, at).length() <=
            QGuiApplication::styleHints()->startDragDistance())
            return;
        finger_->dragging = true;
        emit dragStarted(finger_->from);
    }
    emit dragMoved(at);
}

void TouchInput::up(QPointF at) {
    move(at);
    const Finger finger = *finger_;
    finger_.reset();
    if (finger.dragging)
        emit dropped(at);
    else
        emit tapped(static_cast<float>(finger.from.x()), static_cast<float>(finger.from.y()));
}

void TouchInput::cancel() {
    const bool dragging = finger_->dragging;
    finger_.reset();
    if (dragging)
        emit dragCancelled();
}
