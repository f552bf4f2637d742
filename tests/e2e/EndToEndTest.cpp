// The real program on a real X server (keys and clicks from xdotool) and on a
// real Wayland desktop (headless sway, keys from wtype), the screen read back
// as pixels.
#include "BoardPixels.h"
#include "CatalogueFiles.h"
#include "GnomeShellDesktop.h"
#include "HeifFiles.h"
#include "board/Puzzle.h"
#include "paint/Colours.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <map>
#include <memory>

using namespace tivra;

namespace {

const QSize kScreen(1920, 1080);

bool near(QRgb a, QRgb b) {
    return tivra::testing::colourDistance(a, b) < 12;
}

// The first row from `top` (before `limit`) where column x shows the board's
// background: the client area's, under the menu bar; `limit` if none does.
int belowMenuBar(const QImage& shot, int x, int top, int limit) {
    while (top < limit && !near(shot.pixel(x, top), kWindowBackground))
        ++top;
    return top;
}

// Starts the game with its output passed on, but for the lines the sound
// library's ALSA fallback prints on a machine without a sound card: dozens a
// move, they would hide the test's own report.
void startGame(QProcess& process, const QProcessEnvironment& env, const QStringList& args = {}) {
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    QObject::connect(&process, &QProcess::readyReadStandardError, &process, [&process] {
        while (process.canReadLine()) {
            const QByteArray line = process.readLine();
            if (!line.startsWith("ALSA lib "))
                fputs(line.constData(), stderr);
        }
    });
    process.setReadChannel(QProcess::StandardError);
    process.start(QStringLiteral(TIVRA_EXE), args);
}

QRect rectOf(const QJsonValue& value) {
    const QJsonObject r = value.toObject();
    return QRect(r["x"].toInt(), r["y"].toInt(), r["width"].toInt(), r["height"].toInt());
}

// A window as sway shows it.
struct SwayWindow {
    QRect whole;  // with its title bar and borders
    QRect client; // the program's own surface
    bool floating = false;
    QString appId; // what the desktop matches to a desktop entry
    bool operator==(const SwayWindow&) const = default;
};

// A headless sway desktop, with a keyboard: its seat has none until a
// virtual one is held open.
class SwayDesktop {
public:
    bool start(const QString& mode, const QProcessEnvironment& base);
    ~SwayDesktop();
    const QProcessEnvironment& clientEnv() const { return env_; }
    // The area the bar leaves free, and the windows by their titles.
    QRect freeArea() const;
    std::map<QString, SwayWindow> windows() const;
    void command(const QString& text) const;
    // Gives a window the keyboard, and waits until sway says it has it.
    bool focus(const QString& title) const;
    // The title of the window with the keyboard.
    QString focused() const;

private:
    QJsonObject tree(const QString& what) const;

    QTemporaryDir runtime_{QStringLiteral("/tmp/tivra-sway-XXXXXX")}; // sway's own
    QTemporaryDir clients_; // the game's and the tools' runtime folder
    QProcess sway_;
    QProcess keyboard_;
    QString control_;
    QProcessEnvironment env_;
};

bool SwayDesktop::start(const QString& mode, const QProcessEnvironment& base) {
    QProcessEnvironment own = base;
    sway_.setProcessEnvironment(own);
    sway_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sway_.setStandardOutputFile(QProcess::nullDevice());
    sway_.start(QStringLiteral(TIVRA_HEADLESS_SWAY), {runtime_.path(), mode});
    const QString socket = runtime_.filePath("wayland-1");
    if (!sway_.waitForStarted() ||
        !QTest::qWaitFor([&] { return QFileInfo(socket).exists(); }, 10000))
        return false;
    env_ = base;
    env_.remove("DISPLAY");
    env_.insert("WAYLAND_DISPLAY", socket);
    env_.insert("XDG_RUNTIME_DIR", clients_.path());
    env_.insert("QT_QPA_PLATFORM", "wayland");
    // Sway takes commands once its control socket answers.
    const bool answers = QTest::qWaitFor(
        [&] {
            const QStringList controls =
                QDir(runtime_.path()).entryList({"sway-ipc.*.sock"}, QDir::System);
            if (controls.isEmpty())
                return false;
            control_ = runtime_.filePath(controls.first());
            QProcess swaymsg;
            swaymsg.start("swaymsg", {"-s", control_, "-t", "get_version"});
            return swaymsg.waitForFinished(2000) && swaymsg.exitCode() == 0;
        },
        10000);
    if (!answers)
        return false;
    keyboard_.setProcessEnvironment(env_);
    keyboard_.start("wtype", {"-s", "3600000", "-k", "Shift_L"});
    return keyboard_.waitForStarted();
}

SwayDesktop::~SwayDesktop() {
    for (QProcess* process : {&keyboard_, &sway_})
        if (process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(3000))
                process->kill();
            process->waitForFinished();
        }
}

void SwayDesktop::command(const QString& text) const {
    QProcess swaymsg;
    swaymsg.start("swaymsg", {"-s", control_, text});
    swaymsg.waitForFinished(5000);
}

bool SwayDesktop::focus(const QString& title) const {
    command(QStringLiteral("[title=\"^%1$\"] focus").arg(title));
    return QTest::qWaitFor([&] { return focused() == title; }, 5000);
}

QString SwayDesktop::focused() const {
    std::function<QString(const QJsonObject&)> walk = [&](const QJsonObject& node) {
        if (node["focused"].toBool())
            return node["name"].toString();
        for (const char* children : {"nodes", "floating_nodes"})
            for (const QJsonValue child : node[children].toArray())
                if (const QString found = walk(child.toObject()); !found.isEmpty())
                    return found;
        return QString();
    };
    return walk(tree("get_tree"));
}

QJsonObject SwayDesktop::tree(const QString& what) const {
    QProcess swaymsg;
    swaymsg.start("swaymsg", {"-s", control_, "-r", "-t", what});
    swaymsg.waitForFinished(5000);
    const QJsonDocument answer = QJsonDocument::fromJson(swaymsg.readAllStandardOutput());
    return answer.isArray() ? QJsonObject{{"nodes", answer.array()}} : answer.object();
}

QRect SwayDesktop::freeArea() const {
    for (const QJsonValue workspace : tree("get_workspaces")["nodes"].toArray())
        if (workspace["focused"].toBool())
            return rectOf(workspace["rect"]);
    return {};
}

std::map<QString, SwayWindow> SwayDesktop::windows() const {
    std::map<QString, SwayWindow> found;
    const QRect area = freeArea();
    std::function<void(const QJsonObject&)> walk = [&](const QJsonObject& node) {
        const QString type = node["type"].toString();
        if ((type == "con" || type == "floating_con") && node.contains("pid")) {
            SwayWindow window;
            const QRect rect = rectOf(node["rect"]);
            window.client = rectOf(node["window_rect"]).translated(rect.topLeft());
            // The title bar lies above the rectangle, placed from the
            // workspace's corner.
            const QRect title = rectOf(node["deco_rect"]).translated(area.topLeft());
            window.floating = type == "floating_con";
            window.appId = node["app_id"].toString();
            window.whole = title.isEmpty() ? rect : rect.united(title);
            found[node["name"].toString()] = window;
        }
        for (const char* children : {"nodes", "floating_nodes"})
            for (const QJsonValue child : node[children].toArray())
                walk(child.toObject());
    };
    walk(tree("get_tree"));
    return found;
}

// An i3 desktop on the test's X server: a tiling window manager with no bar.
class I3Desktop {
public:
    bool start(const QProcessEnvironment& env, const QString& folder);
    ~I3Desktop();
    // The windows by their titles: where i3 put each, and whether it floats.
    std::map<QString, SwayWindow> windows() const;

private:
    QProcess i3_;
    QProcessEnvironment env_;
};

bool I3Desktop::start(const QProcessEnvironment& env, const QString& folder) {
    env_ = env;
    const QString config = folder + "/i3.config";
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("# i3 config file (v4)\nfont pango:DejaVu Sans 8\nfocus_follows_mouse no\n");
    file.close();
    i3_.setProcessEnvironment(env);
    i3_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    i3_.setStandardOutputFile(QProcess::nullDevice());
    i3_.start("i3", {"-c", config});
    return i3_.waitForStarted() && QTest::qWaitFor(
                                       [&] {
                                           QProcess msg;
                                           msg.setProcessEnvironment(env_);
                                           msg.start("i3-msg", {"-t", "get_version"});
                                           return msg.waitForFinished(2000) && msg.exitCode() == 0;
                                       },
                                       10000);
}

I3Desktop::~I3Desktop() {
    if (i3_.state() != QProcess::NotRunning) {
        i3_.terminate();
        if (!i3_.waitForFinished(3000))
            i3_.kill();
        i3_.waitForFinished();
    }
}

std::map<QString, SwayWindow> I3Desktop::windows() const {
    QProcess msg;
    msg.setProcessEnvironment(env_);
    msg.start("i3-msg", {"-t", "get_tree"});
    msg.waitForFinished(5000);
    std::map<QString, SwayWindow> found;
    std::function<void(const QJsonObject&, bool)> walk = [&](const QJsonObject& node,
                                                             bool floating) {
        if (node["window"].isDouble()) {
            SwayWindow window;
            window.whole = rectOf(node["rect"]);
            window.client = rectOf(node["window_rect"]).translated(window.whole.topLeft());
            window.floating = floating;
            found[node["name"].toString()] = window;
        }
        for (const QJsonValue child : node["nodes"].toArray())
            walk(child.toObject(), floating);
        for (const QJsonValue child : node["floating_nodes"].toArray())
            walk(child.toObject(), true);
    };
    walk(QJsonDocument::fromJson(msg.readAllStandardOutput()).object(), false);
    return found;
}

} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    // One game on the X server, played a scenario at a time: each goes on
    // from where the one before left the game.
    void startsWithTheWholePictureAndAnEmptyGrid();
    void shufflesOnF2AndMovesTheCursorByKeys();
    void takesAndSendsBackPiecesByClicks();
    void showsTheWholePictureOnF9();
    void givesUpOnF5();
    void isWonWithTheKeyboardAlone();
    void isWonShrunkAsFarAsItGoes();
    void loadsAPhonesPicturesThroughTheDialog();
    void opensOptionsAndHelp();
    void endsWithEveryWindowOnF4();
    void showsTheScreensOwnPixelsWhenScaled_data();
    void showsTheScreensOwnPixelsWhenScaled();
    void endsAtOnceWithAStalledSoundServer();
    void fitsAStackingWaylandDesktop();
    void floatsItsWindowsOnATilingWaylandDesktop();
    void floatsItsWindowsOnATilingX11Desktop();
    void survivesGrowingPastTheScreenWithAPhoto();
    void fitsGnomeShellOnWayland();

private:
    QString run(const QStringList& args);
    void xdotool(const QStringList& args) { run(QStringList{"xdotool"} + args); }
    // Keys typed on the Wayland desktop, a few milliseconds apart.
    void wtype(const QStringList& keys);
    bool onWayland() const { return env.contains("WAYLAND_DISPLAY"); }
    // Starts the game on a fresh sway desktop and waits for its window to be
    // placed for good and painted: sway's view of it.
    void startOnSway(const QString& mode, QProcess& player, SwayWindow& window);
    void stopSway(QProcess& player);
    // Gives the main window the keyboard back from a window just opened,
    // once that one has had it: sway gives a new window the keyboard as it
    // maps it, which can come after a focus asked for meanwhile.
    bool focusBackFrom(const QString& opened) {
        static_cast<void>(QTest::qWaitFor([&] { return sway->focused() == opened; }, 5000));
        return sway->focus("Have fun!");
    }
    // Sway's view of a window once it has placed it for good and the game
    // has painted it to its far corner.
    SwayWindow placedOnSway(const QString& title);
    // Starts the game on the X server and finds its main window.
    void startOnX(QProcess& player, QString& window, const QProcessEnvironment& with,
                  const QStringList& args = {});
    // Gives a window the keyboard and presses keys on it.
    void pressOn(const QString& window, const QStringList& keys) {
        xdotool({"windowfocus", "--sync", window});
        xdotool(QStringList{"key"} + keys);
    }
    // Finds the board in the window's client area on the screen, below the
    // menu bar, and checks that it is laid out for that area.
    void findBoard(const QImage& shot, const QRect& client);
    // On a tiling desktop: the Options and Help windows float at their own
    // sizes, and the main window keeps the tile `main` to itself.
    void checkFloatingOver(std::map<QString, SwayWindow> windows, const QRect& main);
    QImage screenshot(const QString& name = {});
    // The screen once the game's window shows the board's background under
    // its menu bar (the first frame can come well after the window on a slow
    // machine), with the client area's first row in the screen's pixels.
    QImage windowShown(const QString& name, int limit, int& top);
    // The screen once `ready` sees what a key or a click brings and it has
    // settled (New Game shows each of its exchanges), or after `timeout` ms,
    // for the checks that follow to tell what is wrong.
    QImage screenOnce(const std::function<bool(const QImage&)>& ready, const QString& name = {},
                      int timeout = 5000);
    // The screen once two shots in a row agree: nothing left to paint.
    QImage settledScreen(const QString& name = {}) {
        return screenOnce([](const QImage&) { return true; }, name);
    }
    QPoint screenPoint(int side, int col, int row, bool centre = true) const;
    // Tests of a shown screen: a window's client area painted down to its far
    // corner, the cursor drawn on a receiving cell.
    static std::function<bool(const QImage&)> paintedTo(const QRect& client) {
        return [client](const QImage& shown) {
            return near(shown.pixel(client.right() - 3, client.bottom() - 3), kWindowBackground);
        };
    }
    std::function<bool(const QImage&)> cursorAt(int col, int row) const {
        return [this, col, row](const QImage& shown) {
            return shown.pixel(screenPoint(kReceiving, col, row, false) + QPoint(10, 0)) ==
                   kCursorColour;
        };
    }
    QRgb pixelAt(const QImage& shot, int side, int col, int row) const {
        return shot.pixel(screenPoint(side, col, row));
    }
    bool windowExists(const QString& title);
    // Whether the X server's keyboard goes to this window.
    bool hasKeyboard(const QString& title);
    void loadThroughTheDialog(const QString& window, const QString& file, QSize size);
    QImage cellPixels(const QImage& shot, int side, int col, int row) const;
    QStringList keysToSolve(const QImage& home, const QImage& shuffled);

    QProcess server;
    QString display;
    QProcessEnvironment env;
    QTemporaryDir work;
    std::unique_ptr<SwayDesktop> sway;
    int clientLeft = 0;
    int clientTop = 0;
    Puzzle layout;

    // The game the scenarios play, stopped at once when one fails (so no
    // window is left to the tests after them), and what they leave for the
    // next: its window, the board at start-up and the board in mid-game.
    std::unique_ptr<QProcess> playing;
    QString gameWindow;
    QImage startup;
    QImage midGame;
};

// A scenario goes on with the game the ones before it played.
#define GO_ON_WITH_THE_GAME()                                                                      \
    do {                                                                                           \
        if (!playing)                                                                              \
            QSKIP("no game to go on with: a scenario before this one failed or did not run");      \
    } while (false)

QString EndToEndTest::run(const QStringList& args) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(args.first(), args.mid(1));
    if (!process.waitForFinished(20000))
        qWarning() << "timed out:" << args;
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

void EndToEndTest::wtype(const QStringList& keys) {
    QStringList args;
    for (const QString& key : keys)
        args << "-k" << key << "-s"
             << "15";
    run(QStringList{"wtype"} + args);
}

bool EndToEndTest::windowExists(const QString& title) {
    if (onWayland())
        return sway->windows().count(title) > 0;
    QProcess process;
    process.setProcessEnvironment(env);
    process.start("xdotool", {"search", "--onlyvisible", "--name", "^" + title + "$"});
    process.waitForFinished(5000);
    return process.exitCode() == 0 && !process.readAllStandardOutput().trimmed().isEmpty();
}

bool EndToEndTest::hasKeyboard(const QString& title) {
    const QString focused = run({"xdotool", "getwindowfocus"});
    return !focused.isEmpty() &&
           run({"xdotool", "search", "--onlyvisible", "--name", "^" + title + "$"})
               .split('\n')
               .contains(focused);
}

QImage EndToEndTest::screenshot(const QString& name) {
    const QString file = work.filePath("shot.png");
    if (onWayland())
        run({"grim", file});
    else
        run({"import", "-window", "root", file});
    QImage shot(file);
    if (const QByteArray keep = qgetenv("TIVRA_SCREENSHOTS"); !keep.isEmpty() && !name.isEmpty())
        shot.save(QDir(QString::fromLocal8Bit(keep)).filePath(name + ".png"));
    return shot.convertToFormat(QImage::Format_RGB32);
}

QImage EndToEndTest::windowShown(const QString& name, int limit, int& top) {
    return screenOnce(
        [&](const QImage& shown) {
            top = belowMenuBar(shown, kScreen.width() - 3, 0, limit);
            return top > 5 && top < limit;
        },
        name, 10000);
}

QImage EndToEndTest::screenOnce(const std::function<bool(const QImage&)>& ready,
                                const QString& name, int timeout) {
    QImage shot;
    static_cast<void>(QTest::qWaitFor(
        [&] {
            const QImage before = shot;
            shot = screenshot(name);
            return ready(shot) && shot == before;
        },
        timeout)); // the caller checks what it shows
    return shot;
}

QPoint EndToEndTest::screenPoint(int side, int col, int row, bool centre) const {
    const CellRec& cell = layout.Board(side, col, row);
    const QPoint offset = centre ? QPoint(layout.CellWidth / 2, layout.CellHeight / 2) : QPoint();
    return QPoint(cell.X + clientLeft, cell.Y + clientTop) + offset;
}

// A cell inside its outline.
QImage EndToEndTest::cellPixels(const QImage& shot, int side, int col, int row) const {
    const QPoint at = screenPoint(side, col, row, false) + QPoint(1, 1);
    return shot.copy(QRect(at, QSize(layout.CellWidth - 1, layout.CellHeight - 1)));
}

// Every key a player without a mouse presses to finish a freshly shuffled
// game but the last (Return or Space), found by matching the pieces' pixels with the unshuffled
// picture.
QStringList EndToEndTest::keysToSolve(const QImage& home, const QImage& shuffled) {
    const int n = layout.gridSize();
    QList<QPoint> slotOf; // where each piece lies, by its home cell
    for (int row = 0; row < n; ++row)
        for (int col = 0; col < n; ++col) {
            const QImage piece = cellPixels(home, kSource, col, row);
            QPoint found(-1, -1);
            for (int r = 0; r < n && found.x() < 0; ++r)
                for (int c = 0; c < n && found.x() < 0; ++c)
                    if (cellPixels(shuffled, kSource, c, r) == piece)
                        found = QPoint(c, r);
            slotOf << found;
        }
    QStringList keys;
    QPoint cursor(0, 0);
    QPoint source(0, 0);
    auto walk = [&keys](QPoint& from, QPoint to) {
        for (; from.x() < to.x(); from.rx()++)
            keys << "Right";
        for (; from.x() > to.x(); from.rx()--)
            keys << "Left";
        for (; from.y() < to.y(); from.ry()++)
            keys << "Down";
        for (; from.y() > to.y(); from.ry()--)
            keys << "Up";
    };
    for (int row = 0; row < n; ++row)
        for (int col = 0; col < n; ++col) {
            const QPoint slot = slotOf.at(row * n + col);
            if (slot.x() < 0)
                return {}; // a piece that looks like another: not solvable blind
            walk(cursor, QPoint(col, row));
            keys << "Tab";
            walk(source, slot);
            keys << ((row + col) % 2 ? "space" : "Return") << "Tab";
        }
    keys.removeLast();
    keys.removeLast(); // the winning key is the caller's
    return keys;
}

// "Incarca Poza" as a player uses it: F8, the file's name typed into the
// dialog, Return. The board is then laid out for the picture's size, and its
// pixels are the picture's: a colour ramp, red across and green down.
void EndToEndTest::loadThroughTheDialog(const QString& window, const QString& file, QSize size) {
    xdotool({"windowfocus", "--sync", window});
    xdotool({"key", "F8"});
    QTRY_VERIFY_WITH_TIMEOUT(windowExists("Incarca Poza"), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(hasKeyboard("Incarca Poza"), 5000); // else the name goes nowhere
    xdotool({"type", "--delay", "5", file});
    xdotool({"key", "Return"});
    QTRY_VERIFY_WITH_TIMEOUT(!windowExists("Incarca Poza"), 5000);
    QVERIFY(layout.ComputeLayout(kScreen.width(), kScreen.height() - clientTop, size.width(),
                                 size.height(), 4));
    layout.InitCells();
    // The picture is decoded after the dialog closes: looked at until it
    // shows, or for ten seconds.
    QString wrong;
    const bool shown = QTest::qWaitFor(
        [&] {
            const QImage shot = screenshot(QFileInfo(file).fileName());
            wrong.clear();
            if (shot.pixel(screenPoint(kReceiving, 3, 3, false)) != kOutlineColour)
                wrong = QStringLiteral("no outline at the receiving grid's last cell");
            for (int row : {0, 3})
                for (int col : {0, 3}) {
                    const QRgb seen = pixelAt(shot, kSource, col, row);
                    // The middle of cell (col, row) of a ramp: (col + 0.5) / 4 of the way.
                    const int red = (2 * col + 1) * 255 / 8;
                    const int green = (2 * row + 1) * 255 / 8;
                    if (qAbs(qRed(seen) - red) >= 20 || qAbs(qGreen(seen) - green) >= 20)
                        wrong = QStringLiteral("%1 at (%2, %3)").arg(seen, 0, 16).arg(col).arg(row);
                }
            return wrong.isEmpty();
        },
        10000);
    QVERIFY2(shown, qPrintable(wrong));
}

void EndToEndTest::initTestCase() {
    env = QProcessEnvironment::systemEnvironment();
    // The server picks a display nobody uses and tells its number once it
    // takes clients.
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1920x1080x24", "-noreset",
                          "-nolisten", "tcp"});
    QVERIFY(server.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(server.canReadLine(), 10000);
    display = ":" + QString::fromLatin1(server.readLine().trimmed());
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.remove("QT_QPA_PLATFORMTHEME");
    // In a sanitizer build, the leak check that runs as the program ends
    // now and then crashes in its own tracer here (ptrace-based, racing the
    // X and decoder threads); the in-process window tests check for leaks.
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
}

void EndToEndTest::cleanupTestCase() {
    playing.reset();
    server.terminate();
    server.waitForFinished();
}

void EndToEndTest::cleanup() {
    if (QTest::currentTestFailed())
        playing.reset(); // killed with its windows
}

void EndToEndTest::startOnX(QProcess& player, QString& window, const QProcessEnvironment& with,
                            const QStringList& args) {
    startGame(player, with, args);
    QVERIFY(player.waitForStarted());
    window = run({"xdotool", "search", "--sync", "--name", "^Have fun!$"}).section('\n', 0, 0);
    QVERIFY(!window.isEmpty());
}

// Start-up: find the client area under the menu bar and lay the board out as
// the game must have.
void EndToEndTest::startsWithTheWholePictureAndAnEmptyGrid() {
    playing = std::make_unique<QProcess>();
    startOnX(*playing, gameWindow, env);
    if (QTest::currentTestFailed())
        return;
    xdotool({"windowfocus", "--sync", gameWindow});

    const QImage shot = windowShown("startup", 200, clientTop);
    QCOMPARE(shot.size(), kScreen);
    QVERIFY2(clientTop > 5 && clientTop < 100, "no menu bar above the board");
    QVERIFY(layout.ComputeLayout(kScreen.width(), kScreen.height() - clientTop, 400, 339, 4));
    layout.InitCells();
    const QPoint corner = screenPoint(kReceiving, 0, 0, false);
    QCOMPARE(shot.pixel(corner), kOutlineColour);
    QCOMPARE(shot.pixel(corner + QPoint(layout.CellWidth, 10)), kOutlineColour);
    QCOMPARE(pixelAt(shot, kReceiving, 1, 1), kWindowBackground);
    QVERIFY(pixelAt(shot, kSource, 1, 1) != kWindowBackground);   // the picture
    QCOMPARE(shot.pixel(corner + QPoint(10, 0)), kOutlineColour); // no cursor yet
    startup = shot;
}

// F2 shuffles and shows the cursor; the arrow keys move it.
void EndToEndTest::shufflesOnF2AndMovesTheCursorByKeys() {
    GO_ON_WITH_THE_GAME();
    const QPoint corner = screenPoint(kReceiving, 0, 0, false);
    xdotool({"key", "F2"});
    QImage shot = screenOnce(cursorAt(0, 0), "new-game");
    QCOMPARE(shot.pixel(corner + QPoint(10, 0)), kCursorColour);
    QVERIFY(shot.copy(QRect(screenPoint(kSource, 0, 0, false),
                            QSize(layout.BoardWidth, layout.BoardHeight))) !=
            startup.copy(QRect(screenPoint(kSource, 0, 0, false),
                               QSize(layout.BoardWidth, layout.BoardHeight))));
    xdotool({"key", "Right"});
    shot = screenOnce(cursorAt(1, 0));
    const QPoint second = screenPoint(kReceiving, 1, 0, false);
    QCOMPARE(shot.pixel(second + QPoint(10, 0)), kCursorColour);
    QCOMPARE(shot.pixel(corner + QPoint(10, 0)), kOutlineColour);
}

// A right-click takes a piece into the cursor cell, a left-click sends it back.
void EndToEndTest::takesAndSendsBackPiecesByClicks() {
    GO_ON_WITH_THE_GAME();
    QImage shot = screenOnce(cursorAt(1, 0));
    const QRgb piece = pixelAt(shot, kSource, 2, 1);
    const QPoint slot = screenPoint(kSource, 2, 1);
    xdotool({"mousemove", "--sync", QString::number(slot.x()), QString::number(slot.y()), "click",
             "3"});
    shot = screenOnce(
        [&](const QImage& shown) { return pixelAt(shown, kSource, 2, 1) == kWindowBackground; },
        "piece-taken");
    QCOMPARE(pixelAt(shot, kSource, 2, 1), kWindowBackground);
    QCOMPARE(pixelAt(shot, kReceiving, 1, 0), piece);
    const QPoint cell = screenPoint(kReceiving, 1, 0);
    xdotool({"mousemove", "--sync", QString::number(cell.x()), QString::number(cell.y()), "click",
             "1"});
    shot = screenOnce(
        [&](const QImage& shown) { return pixelAt(shown, kReceiving, 1, 0) == kWindowBackground; });
    QCOMPARE(pixelAt(shot, kReceiving, 1, 0), kWindowBackground);
    QCOMPARE(pixelAt(shot, kSource, 2, 1), piece);
    midGame = shot;
}

// F9 shows the whole picture over everything; F9 again gives the board back.
void EndToEndTest::showsTheWholePictureOnF9() {
    GO_ON_WITH_THE_GAME();
    xdotool({"key", "F9"});
    const QImage shot = screenOnce(
        [](const QImage& shown) {
            return shown.pixel(kScreen.width() - 5, kScreen.height() - 5) == kFaceColour;
        },
        "reference");
    QCOMPARE(shot.pixel(kScreen.width() - 5, kScreen.height() - 5), kFaceColour);
    // Inside a 2-pixel sunken frame: darker top and left, lighter bottom and
    // right, the picture from the third pixel in.
    const int face = qGray(kFaceColour);
    for (int edge : {0, 1}) {
        QVERIFY(qGray(shot.pixel(edge, clientTop + 200)) < face);
        QVERIFY(qGray(shot.pixel(200, clientTop + edge)) < face);
        QVERIFY(qGray(shot.pixel(kScreen.width() - 1 - edge, clientTop + 200)) >= face);
        QVERIFY(qGray(shot.pixel(200, kScreen.height() - 1 - edge)) >= face);
    }
    QVERIFY(qGray(shot.pixel(kScreen.width() - 2, clientTop + 200)) >
            qGray(shot.pixel(1, clientTop + 200)));
    QVERIFY(!near(shot.pixel(2 + 20, clientTop + 2 + 20), kFaceColour));
    QCOMPARE(shot.pixel(2 + layout.BoardWidth, clientTop + 100), kFaceColour);
    QVERIFY(!near(shot.pixel(1 + layout.BoardWidth, clientTop + 100), kFaceColour));
    xdotool({"key", "F9"});
    QTRY_COMPARE_WITH_TIMEOUT(screenshot(), midGame, 5000);
}

// F5 gives up: the whole picture again, as at start-up.
void EndToEndTest::givesUpOnF5() {
    GO_ON_WITH_THE_GAME();
    xdotool({"key", "F5"});
    QTRY_COMPARE_WITH_TIMEOUT(screenshot(), startup, 5000);
}

// A whole game with the keyboard alone, the congratulation closed with
// Return too.
void EndToEndTest::isWonWithTheKeyboardAlone() {
    GO_ON_WITH_THE_GAME();
    xdotool({"key", "F2"});
    const QStringList keys = keysToSolve(startup, screenOnce(cursorAt(0, 0), "keyboard-game"));
    QVERIFY(!keys.isEmpty());
    xdotool(QStringList{"key", "--delay", "15"} + keys);
    QVERIFY(!windowExists("Tivra"));
    xdotool({"key", "Return"});
    QTRY_VERIFY_WITH_TIMEOUT(windowExists("Tivra"), 5000);
    xdotool({"key", "Return"});
    QTRY_VERIFY_WITH_TIMEOUT(!windowExists("Tivra"), 5000);
    xdotool({"windowfocus", "--sync", gameWindow});
    QTRY_COMPARE_WITH_TIMEOUT(screenshot("keyboard-win"), startup, 5000);
}

// Shrunk as far as it goes during a game, the window keeps a board that can
// be won, and Give Up and New Game still work there.
void EndToEndTest::isWonShrunkAsFarAsItGoes() {
    GO_ON_WITH_THE_GAME();
    xdotool({"key", "F2"});
    xdotool({"windowsize", "--sync", gameWindow, "60", "40"});
    QString geometry;
    int width = 0;
    int height = 0;
    const bool sized = QTest::qWaitFor( // the game sizes itself back up to its least size
        [&] {
            geometry = run({"xdotool", "getwindowgeometry", "--shell", gameWindow});
            width = geometry.section("WIDTH=", 1).section('\n', 0, 0).toInt();
            height = geometry.section("HEIGHT=", 1).section('\n', 0, 0).toInt();
            return width >= 320 && height - clientTop >= 240;
        },
        5000);
    QVERIFY2(sized, qPrintable(geometry));
    QVERIFY(layout.ComputeLayout(width, height - clientTop, 400, 339, 4));
    layout.InitCells();
    // The board laid out again for the least size: its last receiving cell drawn.
    screenOnce([&](const QImage& shown) {
        return shown.pixel(screenPoint(kReceiving, 3, 3, false)) == kOutlineColour;
    });
    xdotool({"key", "F5"});
    const QImage small = screenOnce( // the whole picture back, no cursor
        [&](const QImage& shown) {
            return shown.pixel(screenPoint(kReceiving, 3, 3, false)) == kOutlineColour &&
                   !cursorAt(0, 0)(shown);
        },
        "shrunk");
    QCOMPARE(small.pixel(screenPoint(kReceiving, 3, 3, false)), kOutlineColour);
    xdotool({"key", "F2"});
    const QStringList keys = keysToSolve(small, screenOnce(cursorAt(0, 0), "shrunk-game"));
    QVERIFY(!keys.isEmpty());
    xdotool(QStringList{"key", "--delay", "15"} + keys + QStringList{"Return"});
    QTRY_VERIFY_WITH_TIMEOUT(windowExists("Tivra"), 5000);
    xdotool({"key", "Return"});
    QTRY_VERIFY_WITH_TIMEOUT(!windowExists("Tivra"), 5000);
    xdotool({"windowfocus", "--sync", gameWindow});
    xdotool({"windowsize", "--sync", gameWindow, QString::number(kScreen.width()),
             QString::number(kScreen.height())});
}

// A phone's pictures through the dialog: HEIC, AVIF and a motion photo.
void EndToEndTest::loadsAPhonesPicturesThroughTheDialog() {
    GO_ON_WITH_THE_GAME();
    const QString heic = work.filePath("IMG_2041.HEIC");
    const QString avif = work.filePath("ramp.avif");
    const QString motion = work.filePath("PXL_MP.jpg");
    auto save = [](const QString& name, const QByteArray& bytes) {
        QFile file(name);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    QVERIFY(save(heic, tivra::testing::heifFile(tivra::testing::scene(800, 600, 60),
                                                tivra::testing::HeifCodec::Hevc)));
    QVERIFY(save(avif, tivra::testing::heifFile(tivra::testing::scene(600, 600, 60),
                                                tivra::testing::HeifCodec::Av1)));
    QVERIFY(tivra::testing::scene(800, 600, 60).save(motion, "JPG", 90));
    {
        QFile file(motion); // the video after the picture, with a stray scan marker
        QVERIFY(file.open(QIODevice::Append));
        file.write(QByteArray(300000, '\x5A') + "\xFF\xDA" + QByteArray(300000, '\x11'));
    }
    loadThroughTheDialog(gameWindow, heic, QSize(800, 600));
    loadThroughTheDialog(gameWindow, avif, QSize(600, 600));
    loadThroughTheDialog(gameWindow, motion, QSize(800, 600));
}

void EndToEndTest::opensOptionsAndHelp() {
    GO_ON_WITH_THE_GAME();
    pressOn(gameWindow, {"F3"});
    QTRY_VERIFY_WITH_TIMEOUT(windowExists("Optiuni"), 5000);
    pressOn(gameWindow, {"F1"});
    QTRY_VERIFY_WITH_TIMEOUT(windowExists("Ajutor"), 5000);
    settledScreen("windows");
}

// F4 ends the program, every window with it, with status 0.
void EndToEndTest::endsWithEveryWindowOnF4() {
    GO_ON_WITH_THE_GAME();
    pressOn(gameWindow, {"F4"});
    QVERIFY(playing->waitForFinished(5000));
    QCOMPARE(playing->exitStatus(), QProcess::NormalExit);
    QCOMPARE(playing->exitCode(), 0);
    playing.reset();
}

void EndToEndTest::showsTheScreensOwnPixelsWhenScaled_data() {
    QTest::addColumn<double>("scale");
    QTest::addColumn<bool>("builtIn");
    QTest::newRow("photo at 2") << 2.0 << false;
    QTest::newRow("photo at 1.5") << 1.5 << false;
    QTest::newRow("built-in at 2") << 2.0 << true;
    QTest::newRow("built-in at 1") << 1.0 << true;
}

// A photo opened from the command line on a screen scaled by 2 or 1.5, and
// the built-in picture: the board shows them at the screen's full
// resolution, not blown up from half (the photo) or from 400 x 339.
void EndToEndTest::showsTheScreensOwnPixelsWhenScaled() {
    QFETCH(double, scale);
    QFETCH(bool, builtIn);
    const QString file = work.filePath("detail.png");
    const QImage picture = tivra::testing::codedPicture(1600, 1200);
    const QSize layoutSize = builtIn ? QSize(400, 339) : picture.size();
    if (!builtIn)
        QVERIFY(picture.save(file, "PNG"));
    QProcess scaled;
    QProcessEnvironment scaledEnv = env;
    scaledEnv.insert("QT_SCALE_FACTOR", QString::number(scale));
    QString window;
    startOnX(scaled, window, scaledEnv, builtIn ? QStringList() : QStringList{file});
    if (QTest::currentTestFailed())
        return;
    // The photo is decoded after the window shows: looked at until it is
    // there, or for ten seconds.
    tivra::testing::Sharpness seen{};
    const bool sharp = QTest::qWaitFor(
        [&] {
            int top = 0;
            const QImage shot = windowShown(
                QStringLiteral("scaled-%1%2").arg(scale).arg(builtIn ? "-built-in" : ""), 300, top);
            const QSize client(qRound(kScreen.width() / scale),
                               qRound((kScreen.height() - top) / scale));
            Puzzle board;
            if (top >= 300 || !board.ComputeLayout(client.width(), client.height(),
                                                   layoutSize.width(), layoutSize.height(), 4))
                return false;
            // The picture is stretched in proportion to the cells' size on the screen.
            auto along = [scale](int length, int cell) {
                return qRound(static_cast<double>(length) * qRound(cell * scale) / cell);
            };
            const QRect onScreen(qRound(board.sourceLeft() * scale), top + qRound(50 * scale),
                                 along(board.BoardWidth, board.CellWidth),
                                 along(board.BoardHeight, board.CellHeight));
            const QImage shown = shot.copy(onScreen);
            seen = builtIn ? tivra::testing::builtInSharpness(shown, 2)
                           : tivra::testing::sharpness(shown, picture, onScreen.size() / 2, 2);
            return seen.looksSharp();
        },
        10000);
    QVERIFY2(sharp, qPrintable(seen.describe()));
    pressOn(window, {"F4"});
    QVERIFY(scaled.waitForFinished(5000));
}

// A sound server that has stopped answering (a stand-in sound library whose
// play never returns): moves still reach the screen, and F4 still ends the
// program at once.
void EndToEndTest::endsAtOnceWithAStalledSoundServer() {
    const QString log = work.filePath("stalled-sound.log");
    QProcessEnvironment stalled = env;
    stalled.insert("LD_LIBRARY_PATH", QStringLiteral(TIVRA_STALLED_SOUND_DIR));
    stalled.insert("TIVRA_STALLED_SOUND_LOG", log);
    QProcess player;
    auto stop = qScopeGuard([&] {
        player.kill();
        player.waitForFinished();
    });
    QString window;
    startOnX(player, window, stalled);
    if (QTest::currentTestFailed())
        return;
    xdotool({"windowfocus", "--sync", window});
    const QImage startup = windowShown({}, 200, clientTop);
    QVERIFY(layout.ComputeLayout(kScreen.width(), kScreen.height() - clientTop, 400, 339, 4));
    layout.InitCells();
    auto soundCalls = [&] {
        QFile file(log);
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
    };
    xdotool({"key", "F2"});
    QTRY_VERIFY_WITH_TIMEOUT(soundCalls().contains("open"), 5000);
    screenOnce(cursorAt(0, 0)); // shuffled
    // Moves until one sound is stuck in the server; every move shows at once.
    const QPoint slot = screenPoint(kSource, 0, 0);
    const QPoint cell = screenPoint(kReceiving, 0, 0);
    for (int i = 0; i < 10 && !soundCalls().contains("play"); ++i) {
        const QRgb piece = pixelAt(settledScreen(), kSource, 0, 0);
        xdotool({"mousemove", "--sync", QString::number(slot.x()), QString::number(slot.y()),
                 "click", "3"});
        QTRY_COMPARE_WITH_TIMEOUT(pixelAt(screenshot(), kReceiving, 0, 0), piece, 2000);
        xdotool({"mousemove", "--sync", QString::number(cell.x()), QString::number(cell.y()),
                 "click", "1"});
        QTRY_COMPARE_WITH_TIMEOUT(pixelAt(screenshot(), kReceiving, 0, 0), kWindowBackground, 2000);
    }
    QVERIFY(soundCalls().contains("play"));
    QElapsedTimer exiting;
    exiting.start();
    xdotool({"key", "F4"});
    QVERIFY(player.waitForFinished(5000));
    qInfo("F4 with the sound server stalled: the program ended in %lld ms", exiting.elapsed());
    QCOMPARE(player.exitCode(), 0);
    clientTop = 0;
}

void EndToEndTest::startOnSway(const QString& mode, QProcess& player, SwayWindow& window) {
    sway = std::make_unique<SwayDesktop>();
    QVERIFY(sway->start(mode, env));
    env = sway->clientEnv();
    // Under the bar, once the bar is up.
    QTRY_COMPARE_WITH_TIMEOUT(sway->freeArea(), QRect(0, 30, 1920, 1050), 10000);
    startGame(player, env);
    QVERIFY(player.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(windowExists("Have fun!"), 10000);
    window = placedOnSway("Have fun!");
}

void EndToEndTest::stopSway(QProcess& player) {
    if (player.state() != QProcess::NotRunning) {
        player.kill();
        player.waitForFinished();
    }
    sway.reset();
    env.remove("WAYLAND_DISPLAY");
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    clientLeft = 0;
    clientTop = 0;
}

SwayWindow EndToEndTest::placedOnSway(const QString& title) {
    SwayWindow window;
    QImage shot;
    static_cast<void>(QTest::qWaitFor(
        [&] {
            const SwayWindow before = window;
            const QImage shotBefore = shot;
            const auto windows = sway->windows();
            if (windows.count(title) == 0)
                return false;
            window = windows.at(title);
            shot = screenshot();
            return !window.client.isEmpty() && paintedTo(window.client)(shot) && window == before &&
                   shot == shotBefore;
        },
        10000)); // the caller checks where it is
    return window;
}

void EndToEndTest::checkFloatingOver(std::map<QString, SwayWindow> windows, const QRect& main) {
    QVERIFY(windows["Optiuni"].floating);
    QCOMPARE(windows["Optiuni"].client.size(), QSize(254, 93));
    QVERIFY(windows["Ajutor"].floating);
    QCOMPARE(windows["Ajutor"].client.size(), QSize(312, 213));
    QCOMPARE(windows["Have fun!"].whole, main); // not shared with them
}

void EndToEndTest::findBoard(const QImage& shot, const QRect& client) {
    clientLeft = client.left();
    clientTop = belowMenuBar(shot, client.right() - 3, client.top(), client.bottom());
    QVERIFY2(clientTop - client.top() > 5 && clientTop - client.top() < 100,
             "no menu bar above the board");
    QVERIFY(layout.ComputeLayout(client.width(), client.bottom() + 1 - clientTop, 400, 339, 4));
    layout.InitCells();
    const QPoint corner = screenPoint(kReceiving, 0, 0, false);
    QCOMPARE(shot.pixel(corner), kOutlineColour);
    QCOMPARE(shot.pixel(corner + QPoint(layout.CellWidth, 10)), kOutlineColour);
    QCOMPARE(shot.pixel(screenPoint(kReceiving, 3, 3, false) + QPoint(layout.CellWidth, 10)),
             kOutlineColour);
    QCOMPARE(pixelAt(shot, kReceiving, 1, 1), kWindowBackground);
    QVERIFY(pixelAt(shot, kSource, 1, 1) != kWindowBackground);
}

// A stacking Wayland desktop (sway with every window floating, a bar along
// the top): the window keeps clear of the bar with its title bar on the
// screen, its board is laid out for the client area it is given, the
// Options window opens at its size, and a game is won with keys alone.
void EndToEndTest::fitsAStackingWaylandDesktop() {
    QProcess player;
    auto stop = qScopeGuard([&] { stopSway(player); });
    SwayWindow window;
    startOnSway("floating", player, window);
    if (QTest::currentTestFailed())
        return;
    const QRect free = sway->freeArea();
    QVERIFY(window.floating);
    // Known by its desktop entry, for the desktop's name and icon of it.
    QCOMPARE(window.appId, QStringLiteral("io.tivra.Tivra"));
    QVERIFY2(free.contains(window.whole) && window.whole.top() < window.client.top(),
             qPrintable(QStringLiteral("%1,%2 %3x%4")
                            .arg(window.whole.x())
                            .arg(window.whole.y())
                            .arg(window.whole.width())
                            .arg(window.whole.height())));
    const QImage startup = screenOnce(paintedTo(window.client), "wayland-startup");
    findBoard(startup, window.client);
    const QRect client(QPoint(clientLeft, clientTop), window.client.bottomRight());

    wtype({"F3"});
    QTRY_VERIFY_WITH_TIMEOUT(windowExists("Optiuni"), 5000);
    const SwayWindow options = sway->windows().at("Optiuni");
    QCOMPARE(options.client.size(), QSize(254, 93));
    QVERIFY(free.contains(options.whole));
    sway->command("[title=\"^Optiuni$\"] kill");
    QTRY_VERIFY_WITH_TIMEOUT(!windowExists("Optiuni"), 5000);
    QVERIFY(sway->focus("Have fun!"));

    wtype({"F2"});
    const QStringList keys = keysToSolve(startup, screenOnce(cursorAt(0, 0), "wayland-game"));
    QVERIFY(!keys.isEmpty());
    wtype(keys);
    QVERIFY(!windowExists("Tivra"));
    wtype({"Return"});
    QTRY_VERIFY_WITH_TIMEOUT(windowExists("Tivra"), 5000);
    wtype({"Return"});
    QTRY_VERIFY_WITH_TIMEOUT(!windowExists("Tivra"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(screenshot("wayland-win").copy(client), startup.copy(client), 5000);

    wtype({"F4"});
    QVERIFY(player.waitForFinished(5000));
    QCOMPARE(player.exitCode(), 0);
}

// A tiling Wayland desktop gives the main window the whole free area, and
// floats the Options and Help windows over it at their own sizes.
void EndToEndTest::floatsItsWindowsOnATilingWaylandDesktop() {
    QProcess player;
    auto stop = qScopeGuard([&] { stopSway(player); });
    SwayWindow window;
    startOnSway("tiling", player, window);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(!window.floating);
    QCOMPARE(window.whole, sway->freeArea());
    findBoard(screenOnce(paintedTo(window.client), "wayland-tiled"), window.client);

    wtype({"F3"});
    QTRY_VERIFY_WITH_TIMEOUT(windowExists("Optiuni"), 5000);
    QVERIFY(focusBackFrom("Optiuni"));
    wtype({"F1"});
    QTRY_VERIFY_WITH_TIMEOUT(windowExists("Ajutor"), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(sway->windows().at("Ajutor").floating, 5000);
    settledScreen("wayland-tiled-windows");
    checkFloatingOver(sway->windows(), window.whole);
    if (QTest::currentTestFailed())
        return;

    QVERIFY(focusBackFrom("Ajutor"));
    wtype({"F4"});
    QVERIFY(player.waitForFinished(5000));
    QCOMPARE(player.exitCode(), 0);
}

// A tiling X11 window manager (i3) gives the main window the whole screen,
// and floats the Options and Help windows over it at their own sizes: they
// say they belong to it, as on Wayland.
void EndToEndTest::floatsItsWindowsOnATilingX11Desktop() {
    I3Desktop i3;
    QVERIFY(i3.start(env, work.path()));
    QProcess game;
    QString window;
    startOnX(game, window, env);
    if (QTest::currentTestFailed())
        return;
    QTRY_COMPARE_WITH_TIMEOUT(i3.windows()["Have fun!"].whole, QRect(QPoint(0, 0), kScreen), 5000);
    const QRect client = i3.windows()["Have fun!"].client;
    screenOnce(paintedTo(client), "i3-tiled");

    pressOn(window, {"F3"});
    QTRY_VERIFY_WITH_TIMEOUT(windowExists("Optiuni"), 5000);
    pressOn(window, {"F1"});
    QTRY_VERIFY_WITH_TIMEOUT(windowExists("Ajutor"), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(i3.windows()["Ajutor"].floating, 5000);
    settledScreen("i3-tiled-windows");
    checkFloatingOver(i3.windows(), QRect(QPoint(0, 0), kScreen));
    if (QTest::currentTestFailed())
        return;

    pressOn(window, {"F4"});
    QVERIFY(game.waitForFinished(5000));
    QCOMPARE(game.exitCode(), 0);
}

// A photo opened from the command line, and the window grown past its screen
// again and again, with keys between: the photo is decoded again for the
// larger board while the window goes on resizing, and the game stands.
void EndToEndTest::survivesGrowingPastTheScreenWithAPhoto() {
    const QString photo = work.filePath("large.jpg");
    QVERIFY(tivra::testing::codedPicture(3000, 2250).save(photo, "JPG"));
    QProcess game;
    QString window;
    startOnX(game, window, env, {photo});
    if (QTest::currentTestFailed())
        return;
    screenOnce(paintedTo(QRect(QPoint(0, 0), kScreen - QSize(1, 1))), "photo");
    for (int i = 0; i < 12; ++i) {
        xdotool({"windowsize", window, QString::number(kScreen.width() - 100 + (i % 4) * 120),
                 QString::number(kScreen.height() - 80 + (i % 3) * 90)});
        QTest::qWait(50);
        if (i % 3 == 0)
            xdotool({"key", "--window", window, "F2", "Right"});
    }
    QTest::qWait(1000);
    QCOMPARE(game.state(), QProcess::Running);
    xdotool({"windowfocus", "--sync", window});
    xdotool({"key", "F4"});
    QVERIFY(game.waitForFinished(5000));
    QCOMPARE(game.exitStatus(), QProcess::NormalExit);
    QCOMPARE(game.exitCode(), 0);
}

// GNOME Shell, Debian's own desktop, natively on Wayland: the window is
// maximized into the area under the top bar with its board laid out for it,
// the shell knows it by its desktop entry (for the name and icon it shows),
// and the Options window opens over it at its own size.
void EndToEndTest::fitsGnomeShellOnWayland() {
    if (const QString missing = GnomeShellDesktop::unavailable(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    GnomeShellDesktop gnome;
    // Installed as the package installs them; the shell reads them as it starts.
    QVERIFY(
        gnome.install(QStringLiteral(TIVRA_DATA_DIR "/io.tivra.Tivra.desktop"), "applications"));
    QVERIFY(gnome.install(QStringLiteral(TIVRA_DATA_DIR "/io.tivra.Tivra.svg"),
                          "icons/hicolor/scalable/apps"));
    const QDir icons(QStringLiteral(TIVRA_ICONS_DIR));
    for (const QString& size : icons.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        QVERIFY(gnome.install(icons.filePath(size + "/io.tivra.Tivra.png"),
                              QStringLiteral("icons/hicolor/%1x%1/apps").arg(size)));
    // The entry's program is looked for on the PATH, as /usr/games is.
    QProcessEnvironment session = env;
    session.insert("PATH",
                   QFileInfo(QStringLiteral(TIVRA_EXE)).absolutePath() + ':' + env.value("PATH"));
    if (const QString failure = gnome.start(session); !failure.isEmpty())
        QSKIP(qPrintable(failure));
    QProcess player;
    auto stop = qScopeGuard([&] {
        player.kill();
        player.waitForFinished();
        clientLeft = 0;
        clientTop = 0;
    });
    startGame(player, gnome.clientEnv());
    QVERIFY(player.waitForStarted());
    const QRect free = gnome.workArea();
    QVERIFY2(free.top() > 0 && free.bottom() == kScreen.height() - 1 &&
                 free.width() == kScreen.width(),
             "no top bar");
    const QString title = QStringLiteral("Have fun!");
    QTRY_VERIFY_WITH_TIMEOUT(gnome.windows().count(title), 10000);
    // Its first frame gives the window its size.
    QTRY_COMPARE_WITH_TIMEOUT(gnome.windows()[title].frame, free, 10000);
    const GnomeWindow window = gnome.windows()[title];
    QVERIFY(window.maximized);
    QVERIFY(!window.fullScreen);
    QCOMPARE(window.appId, QStringLiteral("io.tivra.Tivra.desktop"));
    QCOMPARE(window.appName, QStringLiteral("Tivra"));
    QVERIFY(gnome.focus(title));

    // The window draws its own title bar and borders: the board's background
    // reaches the client area's bottom and sides, under the title and menu bars.
    QRect client;
    QImage shot;
    const bool painted = QTest::qWaitFor(
        [&] {
            const QImage before = shot;
            shot = gnome.screenshot();
            if (shot.size() != kScreen)
                return false;
            const int x = window.frame.center().x();
            int bottom = window.frame.bottom();
            while (bottom > window.frame.center().y() &&
                   !near(shot.pixel(x, bottom), kWindowBackground))
                --bottom;
            int left = window.frame.left();
            while (left < x && !near(shot.pixel(left, bottom), kWindowBackground))
                ++left;
            int right = window.frame.right();
            while (right > x && !near(shot.pixel(right, bottom), kWindowBackground))
                --right;
            client = QRect(QPoint(left, window.frame.top()), QPoint(right, bottom));
            return bottom > window.frame.center().y() && shot == before;
        },
        10000);
    if (const QByteArray keep = qgetenv("TIVRA_SCREENSHOTS"); !keep.isEmpty())
        shot.save(QDir(QString::fromLocal8Bit(keep)).filePath("gnome-startup.png"));
    QVERIFY2(painted, "no board in the window");
    QVERIFY(window.frame.contains(client));
    QVERIFY2(client.width() > window.frame.width() - 20, "borders too wide for a maximized window");
    findBoard(shot, client);
    if (QTest::currentTestFailed())
        return;

    gnome.key("F3");
    QTRY_VERIFY_WITH_TIMEOUT(gnome.windows().count("Optiuni"), 5000);
    // Its client area, painted light blue, at the size it has everywhere,
    // once the window and its pixels have settled.
    const QRgb light = qRgb(128, 128, 255);
    GnomeWindow options;
    QRect shown;
    static_cast<void>(QTest::qWaitFor(
        [&] {
            const GnomeWindow before = options;
            options = gnome.windows()["Optiuni"];
            shot = gnome.screenshot();
            QRect found;
            for (int y = options.frame.top(); y <= options.frame.bottom(); ++y)
                for (int x = options.frame.left(); x <= options.frame.right(); ++x)
                    if (shot.valid(x, y) && shot.pixel(x, y) == light)
                        found |= QRect(x, y, 1, 1);
            const bool settled =
                !found.isEmpty() && found == shown && options.frame == before.frame;
            shown = found;
            return settled;
        },
        5000)); // what it shows is checked below
    if (const QByteArray keep = qgetenv("TIVRA_SCREENSHOTS"); !keep.isEmpty())
        shot.save(QDir(QString::fromLocal8Bit(keep)).filePath("gnome-options.png"));
    QVERIFY(!options.maximized);
    QVERIFY(!options.fullScreen);
    QVERIFY(free.contains(options.frame));
    QCOMPARE(options.appId, window.appId);
    QCOMPARE(shown.size(), QSize(254, 93));
    QVERIFY(options.frame.contains(shown));

    gnome.close("Optiuni");
    QTRY_VERIFY_WITH_TIMEOUT(!gnome.windows().count("Optiuni"), 5000);
    QVERIFY(gnome.focus(title));
    gnome.key("F4");
    QVERIFY(player.waitForFinished(5000));
    QCOMPARE(player.exitCode(), 0);
}

QTEST_GUILESS_MAIN(EndToEndTest)
#include "EndToEndTest.moc"
