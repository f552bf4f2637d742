// The real program on a real X server: keys and clicks from xdotool, and the
// screen read back as pixels.
#include "board/Puzzle.h"
#include "paint/Colours.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace tivra;

namespace {

const QSize kScreen(1920, 1080);

bool near(QRgb a, QRgb b) {
    return qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b)) < 12;
}

} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void playsOnARealScreen();

private:
    QString run(const QStringList& args);
    void xdotool(const QStringList& args) { run(QStringList{"xdotool"} + args); }
    QImage screenshot(const QString& name = {});
    QPoint screenPoint(int side, int col, int row, bool centre = true) const;
    QRgb pixelAt(const QImage& shot, int side, int col, int row) const {
        return shot.pixel(screenPoint(side, col, row));
    }
    bool windowExists(const QString& title);

    QProcess server;
    QProcess game;
    QString display;
    QProcessEnvironment env;
    QTemporaryDir work;
    int clientTop = 0;
    Puzzle layout;
};

QString EndToEndTest::run(const QStringList& args) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(args.first(), args.mid(1));
    if (!process.waitForFinished(20000))
        qWarning() << "timed out:" << args;
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

bool EndToEndTest::windowExists(const QString& title) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start("xdotool", {"search", "--name", "^" + title + "$"});
    process.waitForFinished(5000);
    return process.exitCode() == 0 && !process.readAllStandardOutput().trimmed().isEmpty();
}

QImage EndToEndTest::screenshot(const QString& name) {
    QTest::qWait(300); // let the program finish painting
    const QString file = work.filePath("shot.png");
    run({"import", "-window", "root", file});
    QImage shot(file);
    if (const QByteArray keep = qgetenv("TIVRA_SCREENSHOTS"); !keep.isEmpty() && !name.isEmpty())
        shot.save(QDir(QString::fromLocal8Bit(keep)).filePath(name + ".png"));
    return shot.convertToFormat(QImage::Format_RGB32);
}

QPoint EndToEndTest::screenPoint(int side, int col, int row, bool centre) const {
    const CellRec& cell = layout.Board(side, col, row);
    const QPoint offset = centre ? QPoint(layout.CellWidth / 2, layout.CellHeight / 2) : QPoint();
    return QPoint(cell.X, cell.Y + clientTop) + offset;
}

void EndToEndTest::initTestCase() {
    env = QProcessEnvironment::systemEnvironment();
    // A display number nobody uses.
    int number = 70 + static_cast<int>(QCoreApplication::applicationPid() % 100);
    while (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)))
        ++number;
    display = QStringLiteral(":%1").arg(number);
    server.start("Xvfb", {display, "-screen", "0", "1920x1080x24", "-noreset", "-nolisten", "tcp"});
    QVERIFY(server.waitForStarted());
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.remove("QT_QPA_PLATFORMTHEME");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)),
                             10000);
}

void EndToEndTest::cleanupTestCase() {
    if (game.state() != QProcess::NotRunning) {
        game.kill();
        game.waitForFinished();
    }
    server.terminate();
    server.waitForFinished();
}

void EndToEndTest::playsOnARealScreen() {
    game.setProcessEnvironment(env);
    game.setProcessChannelMode(QProcess::ForwardedChannels);
    game.start(QStringLiteral(TIVRA_EXE), {});
    QVERIFY(game.waitForStarted());
    const QString window =
        run({"xdotool", "search", "--sync", "--name", "^Have fun!$"}).section('\n', 0, 0);
    QVERIFY(!window.isEmpty());
    xdotool({"windowfocus", "--sync", window});

    // Start-up: find the client area under the menu bar and lay the board out
    // as the game must have.
    QImage shot = screenshot("startup");
    QCOMPARE(shot.size(), kScreen);
    while (clientTop < 200 && !near(shot.pixel(kScreen.width() - 3, clientTop), kWindowBackground))
        ++clientTop;
    QVERIFY2(clientTop > 5 && clientTop < 100, "no menu bar above the board");
    QVERIFY(layout.ComputeLayout(kScreen.width(), kScreen.height() - clientTop, 400, 339, 4));
    layout.InitCells();
    const QPoint corner = screenPoint(kReceiving, 0, 0, false);
    QCOMPARE(shot.pixel(corner), kOutlineColour);
    QCOMPARE(shot.pixel(corner + QPoint(layout.CellWidth, 10)), kOutlineColour);
    QCOMPARE(pixelAt(shot, kReceiving, 1, 1), kWindowBackground);
    QVERIFY(pixelAt(shot, kSource, 1, 1) != kWindowBackground);   // the picture
    QCOMPARE(shot.pixel(corner + QPoint(10, 0)), kOutlineColour); // no cursor yet
    const QImage startup = shot;

    // F2 shuffles and shows the cursor; the arrow keys move it.
    xdotool({"key", "F2"});
    shot = screenshot("new-game");
    QCOMPARE(shot.pixel(corner + QPoint(10, 0)), kCursorColour);
    QVERIFY(shot.copy(QRect(screenPoint(kSource, 0, 0, false),
                            QSize(layout.BoardWidth, layout.BoardHeight))) !=
            startup.copy(QRect(screenPoint(kSource, 0, 0, false),
                               QSize(layout.BoardWidth, layout.BoardHeight))));
    xdotool({"key", "Right"});
    shot = screenshot();
    const QPoint second = screenPoint(kReceiving, 1, 0, false);
    QCOMPARE(shot.pixel(second + QPoint(10, 0)), kCursorColour);
    QCOMPARE(shot.pixel(corner + QPoint(10, 0)), kOutlineColour);

    // A right-click takes a piece into the cursor cell, a left-click sends it back.
    const QRgb piece = pixelAt(shot, kSource, 2, 1);
    const QPoint slot = screenPoint(kSource, 2, 1);
    xdotool({"mousemove", "--sync", QString::number(slot.x()), QString::number(slot.y()), "click",
             "3"});
    shot = screenshot("piece-taken");
    QCOMPARE(pixelAt(shot, kSource, 2, 1), kWindowBackground);
    QCOMPARE(pixelAt(shot, kReceiving, 1, 0), piece);
    const QPoint cell = screenPoint(kReceiving, 1, 0);
    xdotool({"mousemove", "--sync", QString::number(cell.x()), QString::number(cell.y()), "click",
             "1"});
    shot = screenshot();
    QCOMPARE(pixelAt(shot, kReceiving, 1, 0), kWindowBackground);
    QCOMPARE(pixelAt(shot, kSource, 2, 1), piece);
    const QImage board = shot;

    // F9 shows the whole picture over everything; F9 again gives the board back.
    xdotool({"key", "F9"});
    shot = screenshot("reference");
    QCOMPARE(shot.pixel(kScreen.width() - 5, kScreen.height() - 5), kFaceColour);
    xdotool({"key", "F9"});
    shot = screenshot();
    QCOMPARE(shot, board);

    // F5 gives up: the whole picture again, as at start-up; then F3 and F1
    // open their windows.
    xdotool({"key", "F5"});
    shot = screenshot();
    QCOMPARE(shot, startup);
    xdotool({"key", "F3"});
    QTRY_VERIFY_WITH_TIMEOUT(windowExists("Optiuni"), 5000);
    xdotool({"windowfocus", "--sync", window});
    xdotool({"key", "F1"});
    QTRY_VERIFY_WITH_TIMEOUT(windowExists("Ajutor"), 5000);
    screenshot("windows");

    // F4 ends the program, every window with it, with status 0.
    xdotool({"windowfocus", "--sync", window});
    xdotool({"key", "F4"});
    QVERIFY(game.waitForFinished(5000));
    QCOMPARE(game.exitStatus(), QProcess::NormalExit);
    QCOMPARE(game.exitCode(), 0);
}

QTEST_GUILESS_MAIN(EndToEndTest)
#include "EndToEndTest.moc"
