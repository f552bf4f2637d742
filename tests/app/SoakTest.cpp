// A long game of random events through the real main window: whatever is
// pressed, clicked, resized, moved to another screen or loaded, the board
// stays whole.
//   TIVRA_SOAK_SEED=n TIVRA_SOAK_EVENTS=n replay or lengthen a run.
#include "BoardPixels.h"
#include "SeededRandom.h"
#include "UiDriving.h"
#include "app/Form1.h"
#include "app/Form2.h"
#include "app/Module1.h"
#include "app/PictureLoading.h"
#include "app/SurfaceView.h"
#include "paint/DevicePixels.h"

#include <QAction>
#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <tuple>

using namespace tivra;

namespace {

unsigned envNumber(const char* name, unsigned fallback) {
    bool ok = false;
    const unsigned value = qEnvironmentVariable(name).toUInt(&ok);
    return ok ? value : fallback;
}

// The touchscreen every touch of the soak comes from.
QPointingDevice* touchScreen() {
    static QPointingDevice* const device = QTest::createTouchDevice();
    return device;
}

struct Touch {
    int id;
    QEventPoint::State state;
    QPointF at; // in the client area's pixels
};

} // namespace

class SoakTest : public QObject {
    Q_OBJECT
private slots:
    void randomEventsKeepTheBoardWhole();

private:
    int pick(int n) { return random.below(n); }
    void key(Qt::Key k) { QTest::keyClick(form->clientArea(), k); }
    // A function key pressed in the main window.
    void shortcut(Qt::Key k) {
        if (QApplication::activeWindow() != form.get() &&
            !tivra::testing::activateMainWindow(*form))
            qWarning("the main window did not become active");
        QTest::keyClick(form.get(), k);
    }
    void pressAt(QPoint at, Qt::MouseButton button);
    void pressAtDevicePixel(QPoint pixel, Qt::MouseButton button);
    double ratio() const { return form->clientArea()->devicePixelRatioF(); }
    QPoint randomPointIn(int side);
    int decodedAgain = 0;
    int screenMoves = 0;
    int decodedAgainOnAnotherScreen = 0;
    void touch(const QList<Touch>& points);
    QPointF randomTouchPoint();
    void randomTouch();
    QPoint drawnCellMiddle(int side, int col, int row);
    void solveWith(const std::function<void(int col, int row)>& sendBack,
                   const std::function<void(int col, int row)>& fetch);
    void solve();
    void solveByTaps();
    void solveByKeys();
    void options();
    void loadSomething();
    void resize();
    void moveToAnotherScreen();
    void playWhileDecodedAgain();
    QString fault();
    const tivra::testing::FreshBoard& expected();

    std::unique_ptr<Form1> form;
    tivra::testing::SeededRandom random;
    QTemporaryDir dir;
    QStringList pictures;
    std::map<std::tuple<qint64, int, int, int>, tivra::testing::FreshBoard> cache;
};

void SoakTest::pressAt(QPoint at, Qt::MouseButton button) {
    // The press goes to whatever is under the pointer: the board, or the
    // whole picture over it.
    QWidget* client = form->clientArea();
    QWidget* target = client->childAt(at);
    if (!target)
        target = client;
    QTest::mouseClick(target, button, {}, target->mapFrom(client, at));
}

// On a screen scaled by a fraction the pointer reports the position of a
// device pixel, between the layout's whole pixels.
void SoakTest::pressAtDevicePixel(QPoint pixel, Qt::MouseButton button) {
    QWidget* client = form->clientArea();
    const QPointF at(pixel.x() / ratio(), pixel.y() / ratio());
    QWidget* target = client->childAt(at.toPoint());
    if (!target)
        target = client;
    const QPointF local = target->mapFrom(client, at);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, local, target->mapToGlobal(local), button,
                          type == QEvent::MouseButtonPress ? button : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }
}

QPoint SoakTest::randomPointIn(int side) {
    const Puzzle& p = form->puzzle();
    const int n = p.gridSize();
    const CellRec& cell = p.Board(side, pick(n), pick(n));
    // Grid lines included.
    return {cell.X + pick(std::max(1, p.CellWidth + 1)),
            cell.Y + pick(std::max(1, p.CellHeight + 1))};
}

// Fingers on the screen, through the window system's own path: each touch
// lands on whatever is under it, the board or the whole picture over it.
void SoakTest::touch(const QList<Touch>& points) {
    QWindow* window = form->windowHandle();
    QList<QEventPoint> events;
    for (const Touch& point : points) {
        const QPointF global = form->clientArea()->mapToGlobal(point.at);
        events << QEventPoint(point.id, point.state, window->mapFromGlobal(global), global);
    }
    qt_handleTouchEvent(window, touchScreen(), events);
}

// On a grid or anywhere, between the layout's pixels: at a device pixel on
// a scaled screen, at a fraction of a pixel at ratio 1.
QPointF SoakTest::randomTouchPoint() {
    const QSize client = form->clientArea()->size();
    const QPoint at =
        pick(4) ? randomPointIn(pick(2)) : QPoint(pick(client.width()), pick(client.height()));
    if (ratio() == 1.0)
        return QPointF(at) + QPointF(pick(4) / 4.0, pick(4) / 4.0);
    const int spread = static_cast<int>(std::ceil(ratio()));
    return {(static_cast<int>(at.x() * ratio()) + pick(spread)) / ratio(),
            (static_cast<int>(at.y() * ratio()) + pick(spread)) / ratio()};
}

// A tap, held or not; a drag along a few points; or two fingers at once,
// either lifted first.
void SoakTest::randomTouch() {
    using State = QEventPoint::State;
    const QPointF from = randomTouchPoint();
    switch (pick(6)) {
    case 0:
    case 1:
    case 2:
        touch({{0, State::Pressed, from}});
        if (pick(2))
            touch({{0, State::Updated, from + QPointF(pick(3) - 1, pick(3) - 1)}});
        touch({{0, State::Released, from}});
        break;
    case 3:
    case 4: {
        touch({{0, State::Pressed, from}});
        QPointF at = from;
        for (int k = pick(4); k >= 0; --k) {
            at = randomTouchPoint();
            touch({{0, State::Updated, at}});
        }
        touch({{0, State::Released, at}});
        break;
    }
    default: {
        const QPointF second = randomTouchPoint();
        touch({{0, State::Pressed, from}});
        touch({{0, State::Stationary, from}, {1, State::Pressed, second}});
        if (pick(2)) {
            touch({{0, State::Released, from}, {1, State::Stationary, second}});
            touch({{1, State::Released, second}});
        } else {
            touch({{0, State::Stationary, from}, {1, State::Released, second}});
            touch({{0, State::Released, from}});
        }
    }
    }
}

// Where a player aims at a cell on a screen scaled by a fraction: the
// middle of the cell as drawn, in device pixels (a tiny cell's middle in the
// layout may fall on its outline).
QPoint SoakTest::drawnCellMiddle(int side, int col, int row) {
    const int line = tivra::lineOnDevice(ratio());
    return tivra::testing::deviceCell(form->puzzle(), side, col, row, ratio())
        .adjusted(line, line, 0, 0)
        .center();
}

// What every player who finishes the picture does: the whole picture hidden
// first, each wrong piece sent back, then each empty cell filled until the
// last move wins. Nothing between games.
void SoakTest::solveWith(const std::function<void(int col, int row)>& sendBack,
                         const std::function<void(int col, int row)>& fetch) {
    Puzzle& p = form->puzzle();
    if (!p.GameActive)
        return;
    if (form->surfaces().Picture2.Visible())
        shortcut(Qt::Key_F9);
    const int n = p.gridSize();
    for (int row = 0; row < n; ++row)
        for (int col = 0; col < n; ++col) {
            const CellRec& cell = p.Board(kReceiving, col, row);
            if (cell.Full == kTrue && (cell.PieceCol != col || cell.PieceRow != row))
                sendBack(col, row);
        }
    for (int row = 0; row < n && p.GameActive; ++row)
        for (int col = 0; col < n && p.GameActive; ++col)
            if (p.Board(kReceiving, col, row).Full != kTrue)
                fetch(col, row);
}

// With the mouse: a left-click sends a piece back, the arrows bring the
// cursor to the cell and a right-click fetches its piece.
void SoakTest::solve() {
    const Puzzle& p = form->puzzle();
    auto pressCell = [&](int side, int col, int row, Qt::MouseButton button) {
        if (ratio() == 1.0)
            pressAt(tivra::testing::cellCentre(p, side, col, row), button);
        else
            pressAtDevicePixel(drawnCellMiddle(side, col, row), button);
    };
    solveWith([&](int col, int row) { pressCell(kReceiving, col, row, Qt::LeftButton); },
              [&](int col, int row) {
                  if (!tivra::testing::arrowsTo(*form, false, col, row))
                      qFatal("the arrows did not reach (%d, %d)", col, row);
                  const QPoint slot = tivra::testing::slotOf(p, col, row);
                  pressCell(kSource, slot.x(), slot.y(), Qt::RightButton);
              });
}

// With a finger only: a tap sends a wrong piece back, a tap on a cell moves
// the cursor there and a tap on its piece fetches it.
void SoakTest::solveByTaps() {
    const Puzzle& p = form->puzzle();
    auto tapCell = [&](int side, int col, int row) {
        QPointF at;
        if (ratio() == 1.0) {
            at = tivra::testing::cellCentre(p, side, col, row);
        } else {
            const QPoint pixel = drawnCellMiddle(side, col, row);
            at = QPointF(pixel.x() / ratio(), pixel.y() / ratio());
        }
        touch({{0, QEventPoint::State::Pressed, at}});
        touch({{0, QEventPoint::State::Released, at}});
    };
    solveWith([&](int col, int row) { tapCell(kReceiving, col, row); },
              [&](int col, int row) {
                  tapCell(kReceiving, col, row);
                  if (p.CursorCol != col || p.CursorRow != row)
                      qFatal("a tap did not bring the cursor to (%d, %d)", col, row);
                  const QPoint slot = tivra::testing::slotOf(p, col, row);
                  tapCell(kSource, slot.x(), slot.y());
              });
}

// Without a mouse: Return sends wrong pieces back, Tab and Space fetch each
// missing piece.
void SoakTest::solveByKeys() {
    solveWith(
        [&](int col, int row) {
            if (!tivra::testing::arrowsTo(*form, false, col, row))
                qFatal("the arrows did not reach (%d, %d) on side 0", col, row);
            key(Qt::Key_Return);
        },
        [&](int col, int row) {
            if (!tivra::testing::takeHomeByKeys(*form, col, row, Qt::Key_Space))
                qFatal("piece (%d, %d) could not be fetched by keys", col, row);
        });
}

void SoakTest::options() {
    Form2* window = form->optionsWindow();
    if (!window || !window->isVisible()) {
        shortcut(Qt::Key_F3); // does nothing during a game
        return;
    }
    switch (pick(5)) {
    case 0:
        window->close();
        break;
    case 1:
        shortcut(Qt::Key_F3);
        break;
    default:
        tivra::testing::clickScrollArrow(window->VScroll1, pick(2) ? QStyle::SC_ScrollBarSubLine
                                                                   : QStyle::SC_ScrollBarAddLine);
    }
    // Back to the game, as a player would after setting the size.
    if (pick(2) && !tivra::testing::activateMainWindow(*form))
        qWarning("the main window did not become active");
}

void SoakTest::loadSomething() {
    if (!form->action("IncarcaPoza")->isEnabled())
        return; // as the menu: pictures load between games only
    tivra::testing::loadPicture(*form, pictures.at(pick(static_cast<int>(pictures.size()))));
}

// Smaller, larger, and past the screen, where a photo is decoded again for
// the larger board: keys and presses meanwhile must move nothing.
void SoakTest::resize() {
    const QSize screen = form->screen()->availableGeometry().size();
    form->resize(300 + pick(screen.width() * 3 / 2 - 300),
                 200 + pick(screen.height() * 3 / 2 - 200));
    QCoreApplication::processEvents();
    playWhileDecodedAgain();
}

// Onto another screen, as a player drags the window there, sometimes grown
// to fill it: on a screen of a higher ratio or a larger one a photo is
// decoded again, and keys and presses meanwhile must move nothing.
void SoakTest::moveToAnotherScreen() {
    const QList<QScreen*> screens = QGuiApplication::screens();
    const int count = static_cast<int>(screens.size());
    const int from = static_cast<int>(screens.indexOf(form->screen()));
    QScreen* to = screens.at((from + 1 + pick(count - 1)) % count);
    const QSize room = to->availableGeometry().size() - QSize(40, 80);
    // Sized to fit first: a window moves to the screen under its middle.
    form->resize(pick(2) ? room : form->size().boundedTo(room));
    form->move(to->geometry().topLeft() + QPoint(pick(40), pick(40)));
    if (!QTest::qWaitFor([&] { return form->screen() == to; }))
        qFatal("the window did not reach screen %s", qPrintable(to->name()));
    // The board is drawn again for a new ratio when it is next painted,
    // under the whole picture too.
    // A photo the new screen needs decoded again is awaited first.
    auto drawnForTheScreen = [&] { return form->surfaces().window.ratio() == ratio(); };
    if (!QTest::qWaitFor([&] { return form->pictureLoading().busy() || drawnForTheScreen(); }))
        qFatal("the board was not drawn again for screen %s", qPrintable(to->name()));
    ++screenMoves;
    const int before = decodedAgain;
    playWhileDecodedAgain();
    decodedAgainOnAnotherScreen += decodedAgain - before;
    if (!QTest::qWaitFor(drawnForTheScreen))
        qFatal("the board was not laid out for screen %s", qPrintable(to->name()));
}

// A photo decoded again for a larger board: keys and presses meanwhile must
// move nothing, and the game goes on once it is back.
void SoakTest::playWhileDecodedAgain() {
    if (!form->pictureLoading().busy())
        return;
    ++decodedAgain;
    const QList<int> before = tivra::testing::tableState(form->puzzle());
    key(Qt::Key_Right);
    pressAt(randomPointIn(pick(2)), pick(2) ? Qt::RightButton : Qt::LeftButton);
    if (tivra::testing::tableState(form->puzzle()) != before)
        qFatal("a move was made while the photo was decoded again");
    QTRY_VERIFY_WITH_TIMEOUT(!form->pictureLoading().busy(), 10000);
}

const tivra::testing::FreshBoard& SoakTest::expected() {
    const LoadedPicture& picture = form->surfaces().Picture1;
    const QSize client = form->clientArea()->size();
    const int n = form->puzzle().gridSize();
    const auto key = std::make_tuple(picture.image.cacheKey(), client.width(), client.height(), n);
    auto found = cache.find(key);
    if (found != cache.end())
        return found->second;
    if (cache.size() > 64)
        cache.clear();
    return cache.emplace(key, tivra::testing::paintFreshBoard(picture, client, n)).first->second;
}

QString SoakTest::fault() {
    const Puzzle& p = form->puzzle();
    const bool idle = !p.GameActive;
    if (form->action("IncarcaPoza")->isEnabled() != idle ||
        form->action("Optiuni")->isEnabled() != idle)
        return QStringLiteral("the menu does not match the game state");
    for (const char* always : {"JocNou", "ArataPoza", "Renunta", "Exit", "Despre", "Informatii"})
        if (!form->action(QString::fromLatin1(always))->isEnabled())
            return QStringLiteral("%1 is disabled").arg(always);
    if (p.CursorCol < 0 || p.CursorCol >= p.gridSize() || p.CursorRow < 0 ||
        p.CursorRow >= p.gridSize())
        return QStringLiteral("the cursor left the grid");
    const QSize client = form->clientArea()->size();
    auto onDevice = [this](QSize size) { return tivra::surfaceOnDevice(size, ratio()); };
    if (form->surfaces().window.size() != onDevice(client) ||
        form->surfaces().Picture2.size() != onDevice(client - QSize(4, 4)))
        return QStringLiteral("a surface does not follow the client size");
    // At a fractional ratio a game's pixels are checked as far as any ratio
    // allows (the scaled-screen test checks the idle board there).
    if (ratio() != 1.0)
        return idle ? QString() : tivra::testing::scaledBoardFault(p, form->surfaces().window);
    const tivra::testing::FreshBoard& want = expected();
    if (!tivra::testing::shows(form->surfaces().Picture2, want.reference))
        return QStringLiteral("Picture2 does not hold the whole picture");
    if (idle)
        return tivra::testing::shows(form->surfaces().window, want.idle)
                   ? QString()
                   : QStringLiteral("the idle board is not the whole picture");
    return tivra::testing::boardFault(p, form->surfaces().window, want.homes);
}

void SoakTest::randomEventsKeepTheBoardWhole() {
    const unsigned seed = envNumber("TIVRA_SOAK_SEED", 20261207);
    const unsigned events = envNumber("TIVRA_SOAK_EVENTS", 20000);
    random.seed(seed);

    // Pictures to load between games, good and bad.
    auto save = [&](const QString& name, const QImage& image, const char* format) {
        pictures << dir.filePath(name);
        QVERIFY(image.save(pictures.last(), format));
    };
    save("scene.jpg", tivra::testing::codedPicture(400, 339), "JPG");
    save("wide.png", tivra::testing::codedPicture(900, 200), "PNG");
    save("tall.bmp", tivra::testing::codedPicture(150, 600), "BMP");
    // Decoded for the screen, and again for a window grown past it.
    save("photo.jpg", tivra::testing::codedPicture(3000, 2250), "JPG");
    pictures << dir.filePath("nothing.jpg");
    QFile broken(dir.filePath("broken.jpg"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray(3000, '\xFF'));
    broken.close();
    pictures << broken.fileName();

    form = tivra::testing::openGameWindow(seed);
    QVERIFY(form);
    tivra::testing::MessageBoxAnswerer answerer;
    // With screens to move to, the game starts on a camera's photo, large
    // enough that a screen of twice the ratio or the size needs it decoded
    // again, and it is among the pictures loaded later.
    const bool screensToMoveTo = QGuiApplication::screens().size() > 1;
    if (screensToMoveTo) {
        save("camera.jpg", tivra::testing::codedPicture(6000, 4000), "JPG");
        QVERIFY(tivra::testing::loadPicture(*form, pictures.last()));
    }

    // A player closes a message box before going on (one that tells of a
    // refused picture comes once the load has ended).
    auto closeMessageBox = [] {
        QCoreApplication::sendPostedEvents();
        if (QApplication::activeModalWidget())
            QTRY_VERIFY(!QApplication::activeModalWidget());
    };
    int wins = 0;
    for (unsigned event = 0; event < events; ++event) {
        const int roll = pick(1000);
        const char* what = "";
        if (roll < 30) {
            what = "new game";
            shortcut(Qt::Key_F2);
        } else if (roll < 45) {
            what = "give up";
            shortcut(Qt::Key_F5);
        } else if (roll < 330) {
            what = "key";
            // The arrows, the keyboard's moves and a key that means nothing.
            static const Qt::Key keys[] = {Qt::Key_Left,   Qt::Key_Right, Qt::Key_Up,
                                           Qt::Key_Down,   Qt::Key_Tab,   Qt::Key_Space,
                                           Qt::Key_Return, Qt::Key_A};
            key(keys[pick(8)]);
        } else if (roll < 680) {
            what = "press";
            const QSize client = form->clientArea()->size();
            const QPoint at = pick(4) ? randomPointIn(pick(2))
                                      : QPoint(pick(client.width()), pick(client.height()));
            static const Qt::MouseButton buttons[] = {Qt::RightButton, Qt::RightButton,
                                                      Qt::LeftButton, Qt::MiddleButton};
            if (ratio() == 1.0) {
                pressAt(at, buttons[pick(4)]);
            } else {
                const int spread = static_cast<int>(std::ceil(ratio()));
                pressAtDevicePixel(QPoint(static_cast<int>(at.x() * ratio()) + pick(spread),
                                          static_cast<int>(at.y() * ratio()) + pick(spread)),
                                   buttons[pick(4)]);
            }
        } else if (roll < 780) {
            what = "touch";
            randomTouch();
        } else if (roll < 800) {
            what = "reference picture";
            shortcut(Qt::Key_F9);
        } else if (roll < 880) {
            what = "options";
            options();
        } else if (roll < 900) {
            // Another screen only where there is one: on a single screen the
            // events are drawn as they always were.
            if (screensToMoveTo && pick(2)) {
                what = "another screen";
                moveToAnotherScreen();
            } else {
                what = "resize";
                resize();
            }
        } else if (roll < 930) {
            what = "load";
            loadSomething();
        } else if (roll < 960) {
            const bool byTaps = pick(2);
            what = byTaps ? "solve by taps" : "solve";
            const int before = answerer.answered();
            if (byTaps)
                solveByTaps();
            else
                solve();
            closeMessageBox();
            wins += answerer.answered() > before;

        } else {
            what = "keyboard solve";
            const int before = answerer.answered();
            solveByKeys();
            closeMessageBox();
            wins += answerer.answered() > before;
        }
        closeMessageBox();
        const QString problem = fault();
        if (!problem.isEmpty())
            QFAIL(qPrintable(QStringLiteral("seed %1, event %2 (%3): %4")
                                 .arg(seed)
                                 .arg(event)
                                 .arg(what)
                                 .arg(problem)));
    }
    qInfo("%u events, %d wins, %d message boxes, %d photos decoded again for a larger board",
          events, wins, answerer.answered(), decodedAgain);
    QVERIFY(decodedAgain > 0);
    QVERIFY(wins > 10);
    if (screensToMoveTo) {
        qInfo("%d moves to another screen, %d of them decoding the photo again", screenMoves,
              decodedAgainOnAnotherScreen);
        QVERIFY(screenMoves > 0);
        QVERIFY(decodedAgainOnAnotherScreen > 0);
    }
    form.reset();
}

QTEST_MAIN(SoakTest)
#include "SoakTest.moc"
