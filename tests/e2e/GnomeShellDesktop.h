#pragma once

#include <QDBusConnection>
#include <QImage>
#include <QJsonValue>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QTemporaryDir>
#include <map>

// A window as GNOME Shell shows it.
struct GnomeWindow {
    QRect frame; // with the title bar a Wayland client draws itself
    bool maximized = false;
    bool fullScreen = false;
    bool focused = false;
    QString appId;   // the desktop entry the shell matched it to, empty if none
    QString appName; // that entry's name, as the top bar and the dash show it
};

// A headless GNOME Shell on Wayland (tools/headless-gnome.sh), with buses of
// its own, spoken to over its session bus: it runs in unsafe mode, so its
// Eval runs the test's scripts, which read its windows and press keys on a
// virtual keyboard, and its Screenshot takes the screen's pixels.
class GnomeShellDesktop {
public:
    GnomeShellDesktop();
    ~GnomeShellDesktop();
    GnomeShellDesktop(const GnomeShellDesktop&) = delete;
    GnomeShellDesktop& operator=(const GnomeShellDesktop&) = delete;

    // Why the desktop cannot run here (a program missing), or empty.
    static QString unavailable();
    // Copies a file into the desktop's data folder (XDG_DATA_HOME), under
    // `folder`, before it starts: a desktop entry under "applications".
    bool install(const QString& file, const QString& folder) const;
    // Starts the desktop and waits until it is up, its overview closed and
    // its keyboard ready; returns what went wrong, or empty.
    QString start(const QProcessEnvironment& base);
    // What a program started in the session sees.
    const QProcessEnvironment& clientEnv() const { return env_; }

    // The area the top bar leaves free, and the windows by their titles.
    QRect workArea() const;
    std::map<QString, GnomeWindow> windows() const;
    // Gives a window the keyboard, and waits until the shell says it has it.
    bool focus(const QString& title) const;
    // Asks a window to close, as its close button does.
    void close(const QString& title) const;
    // Presses and releases a key, named as X names it ("F3", "Return").
    void key(const QString& name) const;
    QImage screenshot() const;

private:
    QJsonValue eval(const QString& script) const;

    QTemporaryDir runtime_{QStringLiteral("/tmp/tivra-gnome-XXXXXX")};
    QString dataHome_;
    QString busName_; // this desktop's connection in the test
    QDBusConnection bus_;
    QProcess shell_;
    QProcessEnvironment env_;
};
