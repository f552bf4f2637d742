#pragma once

#include <QObject>
#include <QPointF>
#include <optional>

class QTabletEvent;
class QTouchEvent;
class QWidget;

// A finger, or a pen's tip, on the board's view: tells a tap from a drag and
// passes either on at the view's own pixel positions (fractional, as the
// screen gives them). The view alone takes touches: the menus, the message
// boxes and the other windows answer taps as Qt's mouse they make of them.
// A touch taken here is never also delivered as a click.
//
// One finger at a time: others put down meanwhile are ignored. A finger that
// lifts within the platform's drag distance of where it went down is a tap,
// however long it was held; one that goes further is a drag. A press where
// a child of the view lies over it (the whole picture) is left to that child.
// A pen's side button presses as the right mouse button, alone or held while
// the tip touches.
class TouchInput : public QObject {
    Q_OBJECT
public:
    explicit TouchInput(QWidget* view);

signals:
    void tapped(float x, float y);
    // A finger went down at `from` and has just passed the drag distance.
    void dragStarted(QPointF from);
    void dragMoved(QPointF at);
    void dropped(QPointF at);
    // The window system took the dragging finger away.
    void dragCancelled();
    // In the board's button numbers (InputCodes.h).
    void buttonPressed(int button, float x, float y);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool touch(QTouchEvent* event);
    bool tablet(QTabletEvent* event);
    bool down(int id, QPointF at);
    void move(QPointF at);
    void up(QPointF at);
    void cancel();
    QPointF onView(QPointF global) const;

    struct Finger {
        int id = 0;
        QPointF from;
        bool dragging = false;
    };

    QWidget* view_;
    std::optional<Finger> finger_; // the one finger followed, or the pen's tip
};
