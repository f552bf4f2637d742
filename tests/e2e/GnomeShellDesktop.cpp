#include "GnomeShellDesktop.h"

#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QVariant>

namespace {

// A string as a JavaScript literal.
QString literal(const QString& text) {
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

// The libraries the scripts below use, as the shell has them. GNOME Shell
// 45 on evaluates in a module, where only an import reaches them, and an
// import in a script is only a promise: the first script keeps them here.
const char* const kLoadLibraries = R"((() => {
    Promise.all(['Clutter', 'GLib', 'Meta', 'Shell'].map(name => import(`gi://${name}`)))
        .then(([Clutter, GLib, Meta, Shell]) => {
            globalThis.tivraLibraries = {Clutter: Clutter.default, GLib: GLib.default,
                                         Meta: Meta.default, Shell: Shell.default};
        });
})())";

const char* const kLibraries = R"(
    const {Clutter, GLib, Meta, Shell} = globalThis.tivraLibraries;
    const windows = global.get_window_actors().map(actor => actor.meta_window);
    // Mutter 44 on reaches the seat through the stage's context.
    const seat = (global.stage.context ? global.stage.context.get_backend()
                                       : Clutter.get_default_backend()).get_default_seat();
)";

QString script(const QString& body) {
    return QStringLiteral("(() => {%1%2})()").arg(QLatin1String(kLibraries), body);
}

} // namespace

GnomeShellDesktop::GnomeShellDesktop()
    : dataHome_(runtime_.filePath("home/.local/share")),
      busName_(QStringLiteral("tivra-gnome-") + QFileInfo(runtime_.path()).fileName()),
      bus_(busName_) {}

GnomeShellDesktop::~GnomeShellDesktop() {
    QDBusConnection::disconnectFromBus(busName_);
    // The script stops the shell and both buses as it ends; killed, it takes
    // them with it all the same.
    if (shell_.state() != QProcess::NotRunning) {
        shell_.terminate();
        if (!shell_.waitForFinished(10000))
            shell_.kill();
        shell_.waitForFinished();
    }
}

QString GnomeShellDesktop::unavailable() {
    for (const char* program : {"gnome-shell", "dbus-daemon", "setpriv"})
        if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty())
            return QStringLiteral("%1 is not installed (tools/deps.sh test installs it)")
                .arg(QLatin1String(program));
    return {};
}

bool GnomeShellDesktop::install(const QString& file, const QString& folder) const {
    const QDir into(dataHome_ + '/' + folder);
    return into.mkpath(".") && QFile::copy(file, into.filePath(QFileInfo(file).fileName()));
}

QString GnomeShellDesktop::start(const QProcessEnvironment& base) {
    const QString log = runtime_.filePath("gnome-shell.log");
    auto failed = [&](const QString& what) {
        QFile file(log);
        const QByteArray said = file.open(QIODevice::ReadOnly) ? file.readAll().right(3000) : "";
        return QStringLiteral("GNOME Shell %1; it said:\n%2")
            .arg(what, QString::fromLocal8Bit(said));
    };
    shell_.setProcessEnvironment(base);
    shell_.setStandardOutputFile(log);
    shell_.setStandardErrorFile(log, QIODevice::Append);
    // Stopped with the test, even one killed for taking too long.
    shell_.start(QStringLiteral("setpriv"),
                 {QStringLiteral("--pdeathsig"), QStringLiteral("TERM"),
                  QStringLiteral(TIVRA_HEADLESS_GNOME), runtime_.path()});
    if (!shell_.waitForStarted())
        return failed(QStringLiteral("did not start"));
    const QString socket = runtime_.filePath("wayland-0");
    const QString session = runtime_.filePath("session-bus");
    if (!QTest::qWaitFor(
            [&] {
                return shell_.state() != QProcess::Running ||
                       (QFileInfo::exists(socket) && QFileInfo::exists(session));
            },
            30000) ||
        shell_.state() != QProcess::Running)
        return failed(QStringLiteral("did not open its Wayland socket"));
    bus_ = QDBusConnection::connectToBus(QStringLiteral("unix:path=") + session, busName_);
    if (!bus_.isConnected())
        return failed(QStringLiteral("did not open its session bus"));
    // Up once it has started (a session starts in the overview): the windows
    // are shown as a user sees them once the overview is left.
    if (!QTest::qWaitFor(
            [&] {
                return shell_.state() != QProcess::Running ||
                       eval(QStringLiteral("!Main.layoutManager._startingUp")).toBool();
            },
            30000) ||
        shell_.state() != QProcess::Running)
        return failed(QStringLiteral("did not finish starting"));
    eval(QStringLiteral("Main.overview.hide()"));
    if (!QTest::qWaitFor([&] { return !eval(QStringLiteral("Main.overview.visible")).toBool(); },
                         10000))
        return failed(QStringLiteral("kept its overview open"));
    eval(QLatin1String(kLoadLibraries));
    if (!QTest::qWaitFor(
            [&] {
                return eval(QStringLiteral("globalThis.tivraLibraries !== undefined")).toBool();
            },
            10000))
        return failed(QStringLiteral("did not load its libraries for the test's scripts"));
    // No keyboard but a virtual one, which is ready once the seat lists it.
    const QString keyboard = script(QStringLiteral(R"(
        globalThis.tivraKeyboard ??=
            seat.create_virtual_device(Clutter.InputDeviceType.KEYBOARD_DEVICE);
        return seat.list_devices().some(
            device => device.get_device_type() === Clutter.InputDeviceType.KEYBOARD_DEVICE);
    )"));
    if (!QTest::qWaitFor([&] { return eval(keyboard).toBool(); }, 10000))
        return failed(QStringLiteral("gave no keyboard"));

    env_ = base;
    env_.remove("DISPLAY");
    env_.insert("WAYLAND_DISPLAY", socket);
    env_.insert("XDG_RUNTIME_DIR", runtime_.path());
    env_.insert("DBUS_SESSION_BUS_ADDRESS", QStringLiteral("unix:path=") + session);
    env_.insert("DBUS_SYSTEM_BUS_ADDRESS",
                QStringLiteral("unix:path=") + runtime_.filePath("system-bus"));
    env_.insert("HOME", runtime_.filePath("home"));
    env_.insert("XDG_DATA_HOME", dataHome_);
    env_.insert("XDG_CONFIG_HOME", runtime_.filePath("home/.config"));
    env_.insert("XDG_CACHE_HOME", runtime_.filePath("home/.cache"));
    env_.insert("XDG_CURRENT_DESKTOP", "GNOME");
    env_.insert("XDG_SESSION_TYPE", "wayland");
    env_.insert("QT_QPA_PLATFORM", "wayland");
    return {};
}

QJsonValue GnomeShellDesktop::eval(const QString& code) const {
    QDBusMessage call = QDBusMessage::createMethodCall("org.gnome.Shell", "/org/gnome/Shell",
                                                       "org.gnome.Shell", "Eval");
    call << code;
    const QDBusMessage answer = bus_.call(call, QDBus::Block, 10000);
    const QList<QVariant> results = answer.arguments();
    if (answer.type() != QDBusMessage::ReplyMessage || results.size() != 2)
        return {}; // not up yet, or gone
    if (!results.at(0).toBool()) {
        qWarning() << "GNOME Shell's Eval failed:" << results.at(1).toString();
        return {};
    }
    // The script's value as JSON; an undefined one comes as nothing.
    const QByteArray json = "[" + results.at(1).toString().toUtf8() + "]";
    return QJsonDocument::fromJson(json).array().at(0);
}

QRect GnomeShellDesktop::workArea() const {
    const QJsonObject area =
        eval(QStringLiteral("(area => ({x: area.x, y: area.y, width: area.width, "
                            "height: area.height}))(Main.layoutManager.getWorkAreaForMonitor("
                            "Main.layoutManager.primaryIndex))"))
            .toObject();
    return QRect(area["x"].toInt(), area["y"].toInt(), area["width"].toInt(),
                 area["height"].toInt());
}

std::map<QString, GnomeWindow> GnomeShellDesktop::windows() const {
    // Mutter 49 on tells a maximized window without flags.
    const QJsonValue listed = eval(script(QStringLiteral(R"(
        const tracker = Shell.WindowTracker.get_default();
        return windows.map(window => {
            const frame = window.get_frame_rect();
            const app = tracker.get_window_app(window);
            return {
                title: window.get_title(),
                x: frame.x, y: frame.y, width: frame.width, height: frame.height,
                maximized: window.get_maximized
                    ? window.get_maximized() === Meta.MaximizeFlags.BOTH
                    : window.is_maximized(),
                fullScreen: window.is_fullscreen(),
                focused: window.has_focus(),
                appId: app ? app.get_id() : '',
                appName: app ? app.get_name() : '',
            };
        });
    )")));
    std::map<QString, GnomeWindow> found;
    for (const QJsonValue value : listed.toArray()) {
        const QJsonObject shown = value.toObject();
        GnomeWindow window;
        window.frame = QRect(shown["x"].toInt(), shown["y"].toInt(), shown["width"].toInt(),
                             shown["height"].toInt());
        window.maximized = shown["maximized"].toBool();
        window.fullScreen = shown["fullScreen"].toBool();
        window.focused = shown["focused"].toBool();
        window.appId = shown["appId"].toString();
        window.appName = shown["appName"].toString();
        found[shown["title"].toString()] = window;
    }
    return found;
}

bool GnomeShellDesktop::focus(const QString& title) const {
    eval(script(QStringLiteral(R"(
        const window = windows.find(window => window.get_title() === %1);
        if (window)
            Main.activateWindow(window);
    )")
                    .arg(literal(title))));
    return QTest::qWaitFor(
        [&] {
            const auto shown = windows();
            const auto window = shown.find(title);
            return window != shown.end() && window->second.focused;
        },
        5000);
}

void GnomeShellDesktop::close(const QString& title) const {
    eval(script(QStringLiteral(R"(
        const window = windows.find(window => window.get_title() === %1);
        if (window)
            window.delete(global.get_current_time());
    )")
                    .arg(literal(title))));
}

void GnomeShellDesktop::key(const QString& name) const {
    static const QRegularExpression keyName(QStringLiteral("^[A-Za-z0-9_]+$"));
    if (!keyName.match(name).hasMatch()) {
        qWarning() << "no such key:" << name;
        return;
    }
    eval(script(QStringLiteral(R"(
        const keyval = Clutter.KEY_%1;
        const now = GLib.get_monotonic_time();
        tivraKeyboard.notify_keyval(now, keyval, Clutter.KeyState.PRESSED);
        tivraKeyboard.notify_keyval(now, keyval, Clutter.KeyState.RELEASED);
    )")
                    .arg(name)));
}

QImage GnomeShellDesktop::screenshot() const {
    const QString file = runtime_.filePath("shot.png");
    QDBusMessage call =
        QDBusMessage::createMethodCall("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot",
                                       "org.gnome.Shell.Screenshot", "Screenshot");
    call << false << false << file; // no pointer, no flash
    const QDBusMessage answer = bus_.call(call, QDBus::Block, 10000);
    if (answer.type() != QDBusMessage::ReplyMessage || !answer.arguments().value(0).toBool()) {
        qWarning() << "GNOME Shell took no screenshot:" << answer.errorMessage();
        return {};
    }
    return QImage(file).convertToFormat(QImage::Format_RGB32);
}
