#pragma once

#include <QObject>
#include <functional>

class QMainWindow;
class QWidget;

// Fits the main window to its desktop, and keeps the windows that belong to
// it (Options, Help) over it: the free area of the screen on X11, the
// compositor's maximized area on Wayland, the window manager's frame, and
// the owner a tiling window manager needs to float a window at its own
// size rather than tile it beside the board.
class WindowPlacement : public QObject {
public:
    explicit WindowPlacement(QMainWindow* window);

    // The window's size and place before it is first shown: the whole free
    // area of its screen.
    void fitToScreen();
    // Shows `window` (through `show`) as one that belongs to the main window.
    void showAbove(QWidget* window, const std::function<void()>& show);
    // They no longer belong to it: they outlive it.
    void letGo(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitFrame();
    void keepMinimumSize();

    QMainWindow* window_;
    bool frameFitted_ = false;
};

// Whether the program runs as a Wayland client.
bool onWayland();
