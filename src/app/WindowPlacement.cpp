#include "WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QWindow>
#include <xcb/xcb.h>

namespace {

// The X server's connection, on X11 only (the offscreen platform has one of
// its own, with no window manager to tell).
xcb_connection_t* x11Connection() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

} // namespace

bool onWayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

WindowPlacement::WindowPlacement(QMainWindow* window) : QObject(window), window_(window) {
    window->installEventFilter(this);
}

void WindowPlacement::fitToScreen() {
    QScreen* screen = window_->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    if (onWayland()) {
        // A Wayland client neither knows where the panels are nor places
        // itself: the compositor is asked for its free area. One that will
        // not maximize a window gets one that fits inside its panels.
        window_->resize(area.size() * 3 / 4);
        window_->setWindowState(Qt::WindowMaximized);
    } else {
        // The whole free area, so that no panel covers the board.
        window_->resize(area.size());
        window_->move(area.topLeft());
    }
}

bool WindowPlacement::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_) {
        if (event->type() == QEvent::Show)
            fitFrame();
        else if (event->type() == QEvent::Resize)
            keepMinimumSize();
    }
    return QObject::eventFilter(watched, event);
}

// The window manager's frame is known only once the window is shown: the
// outer frame is kept on the screen's free area. (A Wayland compositor draws
// its frame itself.)
void WindowPlacement::fitFrame() {
    if (frameFitted_ || onWayland())
        return;
    frameFitted_ = true;
    const QSize frame = window_->frameGeometry().size() - window_->geometry().size();
    // A frame may be a title bar alone, with no side borders.
    if (QScreen* screen = window_->screen(); screen && !frame.isNull()) {
        const QRect area = screen->availableGeometry();
        window_->resize(area.size() - frame);
        window_->move(area.topLeft());
    }
}

// A window manager keeps the window at its minimum size; without one the X
// server takes any size, and the window grows back by itself.
void WindowPlacement::keepMinimumSize() {
    if (window_->size().expandedTo(window_->minimumSize()) != window_->size())
        QMetaObject::invokeMethod(
            window_,
            [this] { window_->resize(window_->size().expandedTo(window_->minimumSize())); },
            Qt::QueuedConnection);
}

// A tiling window manager floats a window that belongs to another at its own
// size, rather than tiling it beside the board. Qt tells a Wayland
// compositor; an X11 window manager it tells only of a dialog's owner, and
// it clears the owner of any other window as it maps it. So the owner is
// written right after, with the server held meanwhile, so that the window
// manager reads it as it takes the window in.
void WindowPlacement::showAbove(QWidget* window, const std::function<void()>& show) {
    if (!window_->isVisible()) {
        show();
        return;
    }
    window->winId();
    window->windowHandle()->setTransientParent(window_->windowHandle());
    xcb_connection_t* connection = x11Connection();
    if (!connection || window->isVisible()) {
        show();
        return;
    }
    xcb_grab_server(connection);
    show();
    const auto owner = static_cast<xcb_window_t>(window_->winId());
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE,
                        static_cast<xcb_window_t>(window->winId()), XCB_ATOM_WM_TRANSIENT_FOR,
                        XCB_ATOM_WINDOW, 32, 1, &owner);
    xcb_ungrab_server(connection);
    xcb_flush(connection);
}

// As far as Qt is concerned, a window that belongs to another closes with
// it; the Options and Help windows stay open, and the game running, until
// the player closes them too.
void WindowPlacement::letGo(QWidget* window) {
    if (window && window->windowHandle())
        window->windowHandle()->setTransientParent(nullptr);
}
