// The game on a scaled screen (the runner sets QT_SCALE_FACTOR): the layout
// stays in the layout's pixels, the surfaces hold the screen's own.
#include "BoardPixels.h"
#include "UiDriving.h"
#include "app/Form1.h"
#include "app/Module1.h"
#include "app/PictureLoading.h"
#include "app/SurfaceView.h"
#include "paint/DevicePixels.h"

#include <QMouseEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <cmath>
#include <memory>

using namespace tivra;
using tivra::testing::deviceCell;

namespace {

// The touchscreen every touch of these tests comes from.
QPointingDevice* touchScreen() {
    static QPointingDevice* const device = QTest::createTouchDevice();
    return device;
}

// Inside a cell's top and left outline.
QImage interior(const QImage& image, const QRect& cell, int line) {
    return image.copy(cell.adjusted(line, line, 0, 0));
}

} // namespace

class ScaledScreenTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void surfacesHoldTheScreensPixels();
    void photosKeepTheirDetail();
    void aWholeGameMovesExactPixels();
    void clicksHitTheCellsAsDrawn_data();
    void clicksHitTheCellsAsDrawn();
    void tapsHitTheCellsAsDrawn();
    void aWholeGameByTapsAlone();
    void movingToAScreenOfAnotherRatioKeepsTheGame();
    void movingToALargerScreenDecodesThePhotoAgain();

private:
    double ratio() const { return form->clientArea()->devicePixelRatioF(); }
    int line() const { return lineOnDevice(ratio()); }
    // A press where the pointer reports this device pixel of the client area.
    void pressAt(Qt::MouseButton button, QPoint pixel);
    // A finger's tap where the screen reports this device pixel, through
    // the window system's own path.
    void tapAt(QPoint pixel);
    QPoint insideOf(int side, QPoint cell) const {
        return deviceCell(form->puzzle(), side, cell.x(), cell.y(), ratio())
            .adjusted(line(), line(), 0, 0)
            .center();
    }
    // The cell whose inside, as drawn, holds a device pixel; (-1, -1) on an
    // outline or off the grid.
    QPoint drawnCell(int side, QPoint pixel) const;
    // The device pixels along the middle row and the middle column of a
    // grid's cells, a little beyond its edges.
    QList<QPoint> crossing(int side) const;

    // A game with a 6000 x 4000 photo, one piece taken into cell (1, 0):
    // returns the width the photo was decoded at.
    int playAPhoto();

    std::unique_ptr<Form1> form;
    QTemporaryDir dir;
};

int ScaledScreenTest::playAPhoto() {
    if (!tivra::testing::codedPicture(6000, 4000).save(dir.filePath("photo.png"), "PNG") ||
        !tivra::testing::loadPicture(*form, dir.filePath("photo.png")))
        return -1;
    QTest::keyClick(form.get(), Qt::Key_F2);
    const Puzzle& p = form->puzzle();
    QTest::keyClick(form->clientArea(), Qt::Key_Right);
    QTest::mouseClick(form->clientArea(), Qt::RightButton, {},
                      tivra::testing::cellCentre(p, kSource, 2, 1));
    return form->surfaces().Picture1.image.width();
}

// Run with QT_SCALE_FACTOR above 1, or on two screens of ratios 1 and 2.
bool twoScreens() {
    return QGuiApplication::screens().size() > 1;
}

QScreen* screenNamed(const QString& name) {
    for (QScreen* screen : QGuiApplication::screens())
        if (screen->name() == name)
            return screen;
    return nullptr;
}

void ScaledScreenTest::init() {
    const QByteArray test = QTest::currentTestFunction();
    const bool moving = test.startsWith("movingTo");
    const char* to = test == "movingToALargerScreenDecodesThePhotoAgain" ? "large" : "scaled";
    if (moving != twoScreens() || (moving && !screenNamed(QString::fromLatin1(to))))
        QSKIP("for the other screen set-up");
    form = tivra::testing::openGameWindow(77);
    QVERIFY(form);
    QVERIFY2(moving || ratio() > 1.0, "run with QT_SCALE_FACTOR above 1");
}

void ScaledScreenTest::cleanup() {
    form.reset();
}

void ScaledScreenTest::surfacesHoldTheScreensPixels() {
    const QSize client = form->clientArea()->size();
    const Surface& window = form->surfaces().window;
    QCOMPARE(window.size(), surfaceOnDevice(client, ratio()));
    // The layout is the board's own, in the client's pixels.
    const auto expected = tivra::testing::layoutFor(client, {400, 339});
    QVERIFY(expected);
    const Puzzle& p = form->puzzle();
    QCOMPARE(p.BoardWidth, expected->BoardWidth);
    QCOMPARE(p.CellHeight, expected->CellHeight);
    // The view shows the surface pixel for pixel.
    QImage shown = tivra::testing::grabbed(*form->clientArea());
    shown.setDevicePixelRatio(1);
    // (A grab is as many whole device pixels as the client covers; the
    // surface holds the last one it covers in part too.)
    QCOMPARE(shown, window.image().copy(QRect(QPoint(0, 0), shown.size())));
    // The built-in picture has the detail of the screen's pixels.
    const auto seen = tivra::testing::builtInSharpness(p, window);
    QVERIFY2(seen.looksSharp(), qPrintable(seen.describe()));
    // Outlines are whole device pixels thick, sharp: black, then background.
    QTest::keyClick(form.get(), Qt::Key_F2);
    const QImage image = window.image();
    const QRect cell = deviceCell(p, kReceiving, 1, 1, ratio());
    const int y = cell.center().y();
    for (int k = 0; k < line(); ++k)
        QCOMPARE(image.pixel(cell.x() + k, y), kOutlineColour);
    QCOMPARE(image.pixel(cell.x() + line(), y), kWindowBackground);
    QCOMPARE(image.pixel(cell.x() - 1, y), kWindowBackground);
    // The cursor box likewise, in blue.
    const QRect cursor = deviceCell(p, kReceiving, 0, 0, ratio());
    QCOMPARE(image.pixel(cursor.center().x(), cursor.y() + line() - 1), kCursorColour);
    QCOMPARE(image.pixel(cursor.center().x(), cursor.y() + line()), kWindowBackground);
}

void ScaledScreenTest::photosKeepTheirDetail() {
    QVERIFY(tivra::testing::codedPicture(3000, 2000).save(dir.filePath("photo.png"), "PNG"));
    QVERIFY(tivra::testing::loadPicture(*form, dir.filePath("photo.png")));
    const Puzzle& p = form->puzzle();
    // Decoded for the board's device size, not its size in the layout.
    QVERIFY(form->surfaces().Picture1.image.width() >= onDevice(p.BoardWidth, ratio()) - 1);
    QVERIFY(form->surfaces().Picture1.image.width() > p.BoardWidth);
}

// After a whole game, played by keys, every receiving cell holds exactly the
// pixels its piece had on the untouched board: at a fractional ratio too,
// moves copy pixels without seams or blur.
void ScaledScreenTest::aWholeGameMovesExactPixels() {
    const QImage untouched = form->surfaces().window.image();
    QTest::keyClick(form.get(), Qt::Key_F2);
    Puzzle& p = form->puzzle();
    const int n = p.gridSize();
    QString fault;
    bool checked = false;
    tivra::testing::SeenMessage seen;
    tivra::testing::answerNextMessageBox(&seen, [&] {
        checked = true;
        const QImage finished = form->surfaces().window.image();
        for (int row = 0; row < n && fault.isEmpty(); ++row)
            for (int col = 0; col < n && fault.isEmpty(); ++col)
                if (interior(finished, deviceCell(p, kReceiving, col, row, ratio()), line()) !=
                    interior(untouched, deviceCell(p, kSource, col, row, ratio()), line()))
                    fault = QStringLiteral("cell (%1, %2)").arg(col).arg(row);
    });
    for (int row = 0; row < n; ++row)
        for (int col = 0; col < n; ++col)
            QVERIFY(tivra::testing::takeHomeByKeys(*form, col, row, Qt::Key_Space));
    QTRY_VERIFY(checked);
    QCOMPARE(fault, QString());
    QVERIFY(!p.GameActive);
    QCOMPARE(form->surfaces().window.image(), untouched);
}

void ScaledScreenTest::pressAt(Qt::MouseButton button, QPoint pixel) {
    SurfaceView* view = form->clientArea();
    const QPointF at(pixel.x() / ratio(), pixel.y() / ratio());
    QMouseEvent press(QEvent::MouseButtonPress, at, view->mapToGlobal(at), button, button,
                      Qt::NoModifier);
    QApplication::sendEvent(view, &press);
}

QPoint ScaledScreenTest::drawnCell(int side, QPoint pixel) const {
    const Puzzle& p = form->puzzle();
    for (int row = 0; row < p.gridSize(); ++row)
        for (int col = 0; col < p.gridSize(); ++col)
            if (deviceCell(p, side, col, row, ratio())
                    .adjusted(line(), line(), 0, 0)
                    .contains(pixel))
                return {col, row};
    return {-1, -1};
}

QList<QPoint> ScaledScreenTest::crossing(int side) const {
    const Puzzle& p = form->puzzle();
    const int n = p.gridSize();
    const QRect first = deviceCell(p, side, 0, 0, ratio());
    const QRect last = deviceCell(p, side, n - 1, n - 1, ratio());
    const QRect middle = deviceCell(p, side, n / 2, n / 2, ratio());
    QList<QPoint> pixels;
    for (int x = first.left() - 3; x <= last.right() + 3; ++x)
        pixels << QPoint(x, middle.center().y());
    for (int y = first.top() - 3; y <= last.bottom() + 3; ++y)
        pixels << QPoint(middle.center().x(), y);
    return pixels;
}

// Along a row and a column of each grid, device pixel by device pixel: a
// press inside a drawn cell moves that cell's piece, a press on a drawn
// outline moves nothing.
void ScaledScreenTest::clicksHitTheCellsAsDrawn_data() {
    QTest::addColumn<int>("divisions");
    QTest::newRow("3 x 3") << 3;
    QTest::newRow("10 x 10") << 10;
}

void ScaledScreenTest::clicksHitTheCellsAsDrawn() {
    QFETCH(int, divisions);
    Module1::Divisions = static_cast<std::int16_t>(divisions);
    QTest::keyClick(form.get(), Qt::Key_F2);
    Puzzle& p = form->puzzle();
    QCOMPARE(p.gridSize(), divisions);
    auto emptied = [&](int side, int full) {
        for (int row = 0; row < divisions; ++row)
            for (int col = 0; col < divisions; ++col)
                if (p.Board(side, col, row).Full != full)
                    return QPoint(col, row);
        return QPoint(-1, -1);
    };
    auto middleOf = [&](int side, QPoint cell) {
        return deviceCell(p, side, cell.x(), cell.y(), ratio()).center();
    };

    // The source grid is full; a right-click takes a piece to the cursor
    // cell (0, 0), and a left-click there sends it back.
    for (const QPoint pixel : crossing(kSource)) {
        pressAt(Qt::RightButton, pixel);
        const QPoint taken = emptied(kSource, kTrue);
        QVERIFY2(taken == drawnCell(kSource, pixel),
                 qPrintable(QStringLiteral("source pixel (%1, %2)").arg(pixel.x()).arg(pixel.y())));
        if (taken.x() >= 0)
            pressAt(Qt::LeftButton, middleOf(kReceiving, {0, 0}));
        QCOMPARE(emptied(kSource, kTrue), QPoint(-1, -1));
    }

    // Every receiving cell the presses cross holds a piece; a left-click
    // sends one back, and it is fetched again.
    const int m = divisions / 2;
    for (int k = 0; k < divisions; ++k)
        for (const QPoint cell : {QPoint(k, m), QPoint(m, k)}) {
            if (p.Board(kReceiving, cell.x(), cell.y()).Full == kTrue)
                continue;
            QVERIFY(tivra::testing::arrowsTo(*form, false, cell.x(), cell.y()));
            pressAt(Qt::RightButton, middleOf(kSource, emptied(kSource, kFalse))); // a full slot
            QCOMPARE(p.Board(kReceiving, cell.x(), cell.y()).Full, kTrue);
        }
    auto placed = [&] {
        QList<QPoint> cells;
        for (int row = 0; row < divisions; ++row)
            for (int col = 0; col < divisions; ++col)
                if (p.Board(kReceiving, col, row).Full == kTrue)
                    cells << QPoint(col, row);
        return cells;
    };
    const QList<QPoint> before = placed();
    for (const QPoint pixel : crossing(kReceiving)) {
        const QPoint freeSlot(p.FreeCol, p.FreeRow); // where a piece sent back goes
        pressAt(Qt::LeftButton, pixel);
        const QList<QPoint> now = placed();
        QPoint returned(-1, -1);
        for (const QPoint cell : before)
            if (!now.contains(cell))
                returned = cell;
        QVERIFY2(
            returned == drawnCell(kReceiving, pixel),
            qPrintable(QStringLiteral("receiving pixel (%1, %2)").arg(pixel.x()).arg(pixel.y())));
        if (returned.x() >= 0) {
            QVERIFY(tivra::testing::arrowsTo(*form, false, returned.x(), returned.y()));
            pressAt(Qt::RightButton, middleOf(kSource, freeSlot));
        }
        QCOMPARE(placed(), before);
    }
}

void ScaledScreenTest::tapAt(QPoint pixel) {
    QWindow* window = form->windowHandle();
    const QPointF global =
        form->clientArea()->mapToGlobal(QPointF(pixel.x() / ratio(), pixel.y() / ratio()));
    for (const QEventPoint::State state :
         {QEventPoint::State::Pressed, QEventPoint::State::Released})
        qt_handleTouchEvent(window, touchScreen(),
                            {QEventPoint(0, state, window->mapFromGlobal(global), global)});
}

// Along a row and a column of the source grid, device pixel by device
// pixel: a tap inside a drawn cell takes that cell's piece, a tap on a
// drawn outline takes nothing.
void ScaledScreenTest::tapsHitTheCellsAsDrawn() {
    QTest::keyClick(form.get(), Qt::Key_F2);
    Puzzle& p = form->puzzle();
    const int n = p.gridSize();
    QSignalSpy clicks(form->clientArea(), &SurfaceView::mousePressed);
    auto emptySlot = [&] {
        for (int row = 0; row < n; ++row)
            for (int col = 0; col < n; ++col)
                if (p.Board(kSource, col, row).Full != kTrue)
                    return QPoint(col, row);
        return QPoint(-1, -1);
    };
    for (const QPoint pixel : crossing(kSource)) {
        tapAt(pixel);
        const QPoint taken = emptySlot();
        QVERIFY2(taken == drawnCell(kSource, pixel),
                 qPrintable(QStringLiteral("source pixel (%1, %2)").arg(pixel.x()).arg(pixel.y())));
        if (taken.x() >= 0)
            tapAt(insideOf(kReceiving, {0, 0})); // sent back
        QCOMPARE(emptySlot(), QPoint(-1, -1));
        QCOMPARE(p.CursorCol, 0);
    }
    // Across the receiving grid's first row, a tap inside an empty cell
    // moves the cursor there; one on an outline leaves it.
    const QRect first = deviceCell(p, kReceiving, 0, 0, ratio());
    const QRect last = deviceCell(p, kReceiving, n - 1, 0, ratio());
    for (int x = first.left() - 3; x <= last.right() + 3; ++x) {
        const QPoint pixel(x, first.center().y());
        const QPoint before(p.CursorCol, p.CursorRow);
        tapAt(pixel);
        const QPoint cell = drawnCell(kReceiving, pixel);
        QCOMPARE(QPoint(p.CursorCol, p.CursorRow), cell.x() >= 0 ? cell : before);
    }
    QCOMPARE(clicks.size(), 0);
}

// A whole game by taps at device pixels, the pieces' pixels exact.
void ScaledScreenTest::aWholeGameByTapsAlone() {
    const QImage untouched = form->surfaces().window.image();
    QTest::keyClick(form.get(), Qt::Key_F2);
    Puzzle& p = form->puzzle();
    const int n = p.gridSize();
    tivra::testing::SeenMessage seen;
    tivra::testing::answerNextMessageBox(&seen);
    for (int row = 0; row < n && !QTest::currentTestFailed(); ++row)
        for (int col = 0; col < n && !QTest::currentTestFailed(); ++col) {
            tapAt(insideOf(kReceiving, {col, row}));
            QCOMPARE(QPoint(p.CursorCol, p.CursorRow), QPoint(col, row));
            const QPoint slot = tivra::testing::slotOf(p, col, row);
            QVERIFY(slot.x() >= 0);
            tapAt(insideOf(kSource, slot));
            QCOMPARE(p.Board(kReceiving, col, row).Full, kTrue);
        }
    QTRY_COMPARE(seen.text, QStringLiteral("Felicitari, ati terminat jocul!"));
    QVERIFY(!p.GameActive);
    QCOMPARE(form->surfaces().window.image(), untouched);
}

void ScaledScreenTest::movingToAScreenOfAnotherRatioKeepsTheGame() {
    QCOMPARE(ratio(), 1.0);
    const int decodedWidth = playAPhoto();
    QVERIFY(decodedWidth > 0 && decodedWidth < 3000);
    Puzzle& p = form->puzzle();
    const QList<int> before = tivra::testing::tableState(p);
    const QSize client = form->clientArea()->size();

    // Moved as a player drags it: the window finds itself on the other screen.
    form->move(screenNamed(QStringLiteral("scaled"))->geometry().topLeft());
    QTRY_COMPARE(form->surfaces().window.ratio(), 2.0);
    QTRY_COMPARE(form->clientArea()->devicePixelRatioF(), 2.0);
    QVERIFY(p.GameActive);
    QCOMPARE(tivra::testing::tableState(p), before);
    QCOMPARE(form->clientArea()->size(), client);
    QCOMPARE(form->surfaces().window.size(), client * 2);
    // The piece taken is drawn at the new ratio, in its cell.
    const QImage image = form->surfaces().window.image();
    const QRect taken = deviceCell(p, kReceiving, 1, 0, 2.0);
    QVERIFY(image.pixel(taken.center()) != kWindowBackground);
    QCOMPARE(image.pixel(deviceCell(p, kSource, 2, 1, 2.0).center()), kWindowBackground);
    // The photo is decoded again for the new screen's pixels, not stretched.
    QCOMPARE(form->surfaces().Picture1.pixelSize, QSize(6000, 4000));
    QVERIFY(form->surfaces().Picture1.image.width() >= onDevice(p.BoardWidth, 2.0) - 1);
    QVERIFY(form->surfaces().Picture1.image.width() > decodedWidth);

    // Back, with the whole picture over the board: both follow the screen.
    QTest::keyClick(form.get(), Qt::Key_F9);
    QVERIFY(form->surfaces().Picture2.Visible());
    form->move(screenNamed(QStringLiteral("plain"))->geometry().topLeft());
    QTRY_COMPARE(form->surfaces().window.ratio(), 1.0);
    QCOMPARE(form->surfaces().window.size(), client);
    QCOMPARE(form->surfaces().Picture2.size(), client - QSize(4, 4));
    QCOMPARE(tivra::testing::tableState(p), before);
}

// Moved to a larger screen of the same ratio, and grown to it, the photo is
// decoded again for the larger board; keys and presses meanwhile move
// nothing, and the board is laid out once, for the new size, when it is back.
void ScaledScreenTest::movingToALargerScreenDecodesThePhotoAgain() {
    // Moved as a player drags it, and grown to the screen's size.
    auto moveTo = [this](QScreen* screen) {
        form->move(screen->geometry().topLeft());
        form->resize(screen->availableGeometry().size() - QSize(40, 80));
    };
    moveTo(screenNamed(QStringLiteral("plain")));
    QTRY_COMPARE(form->puzzle().scaleWidth(), form->clientArea()->width());
    const int decodedWidth = playAPhoto();
    QVERIFY(decodedWidth > 0);
    Puzzle& p = form->puzzle();
    const QList<int> before = tivra::testing::tableState(p);

    qputenv("TIVRA_MISBEHAVE", "slow");
    form->setDecodeHelper(QStringLiteral(TIVRA_MISBEHAVING_DECODER));
    auto restore = qScopeGuard([this] {
        qunsetenv("TIVRA_MISBEHAVE");
        form->setDecodeHelper(QStringLiteral(TIVRA_DECODE_HELPER));
    });
    bool pressedMeanwhile = false;
    QTimer::singleShot(100, form.get(), [&] {
        pressedMeanwhile = form->pictureLoading().busy();
        QTest::keyClick(form->clientArea(), Qt::Key_Down);
        QTest::mouseClick(form->clientArea(), Qt::RightButton, {},
                          tivra::testing::cellCentre(p, kSource, 0, 0));
    });
    moveTo(screenNamed(QStringLiteral("large")));
    QTRY_VERIFY(pressedMeanwhile);
    QTRY_VERIFY_WITH_TIMEOUT(!form->pictureLoading().busy(), 10000);

    QCOMPARE(tivra::testing::tableState(p), before);
    QCOMPARE(p.CursorRow, 0);
    QCOMPARE(p.scaleWidth(), form->clientArea()->width());
    QCOMPARE(p.scaleHeight(), form->clientArea()->height());
    QVERIFY(form->clientArea()->width() > 1280);
    QCOMPARE(form->surfaces().window.size(), form->clientArea()->size());
    const QImage image = form->surfaces().window.image();
    QVERIFY(image.pixel(deviceCell(p, kReceiving, 1, 0, 1.0).center()) != kWindowBackground);
    QCOMPARE(image.pixel(deviceCell(p, kSource, 2, 1, 1.0).center()), kWindowBackground);
    QVERIFY(form->surfaces().Picture1.image.width() > decodedWidth);
    QVERIFY(form->surfaces().Picture1.image.width() >= p.BoardWidth - 1);
}

QTEST_MAIN(ScaledScreenTest)
#include "ScaledScreenTest.moc"
