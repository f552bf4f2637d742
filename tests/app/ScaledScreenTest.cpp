// The game on a scaled screen (the runner sets QT_SCALE_FACTOR): the layout
// stays in the design's pixels, the surfaces hold the screen's own.
#include "BoardPixels.h"
#include "UiDriving.h"
#include "app/Form1.h"
#include "app/SurfaceView.h"

#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <cmath>
#include <memory>

using namespace tivra;

namespace {

int onDevice(int length, double ratio) {
    return static_cast<int>(std::lround(length * ratio));
}

// A cell's place in device pixels: each grid's origin rounded once, every
// cell the same whole number of device pixels.
QRect deviceCell(const Puzzle& p, int side, int col, int row, double ratio) {
    const CellRec& first = p.Board(side, 0, 0);
    const int w = onDevice(p.CellWidth, ratio);
    const int h = onDevice(p.CellHeight, ratio);
    return QRect(onDevice(first.X, ratio) + col * w, onDevice(first.Y, ratio) + row * h, w, h);
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
    void movingToAScreenOfAnotherRatioKeepsTheGame();

private:
    double ratio() const { return form->clientArea()->devicePixelRatioF(); }
    int line() const { return std::max(1, static_cast<int>(std::lround(ratio()))); }

    std::unique_ptr<Form1> form;
    QTemporaryDir dir;
};

// Run with QT_SCALE_FACTOR above 1, or on two screens of ratios 1 and 2.
bool twoScreens() {
    return QGuiApplication::screens().size() > 1;
}

void ScaledScreenTest::init() {
    const bool moving =
        QTest::currentTestFunction() == QByteArray("movingToAScreenOfAnotherRatioKeepsTheGame");
    if (moving != twoScreens())
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
    QCOMPARE(window.size(), QSize(static_cast<int>(std::ceil(client.width() * ratio())),
                                  static_cast<int>(std::ceil(client.height() * ratio()))));
    // The layout is the design's, in the client's own pixels.
    Puzzle expected;
    expected.ComputeLayout(client.width(), client.height(), 400, 339, 4);
    const Puzzle& p = form->puzzle();
    QCOMPARE(p.BoardWidth, expected.BoardWidth);
    QCOMPARE(p.CellHeight, expected.CellHeight);
    // The view shows the surface pixel for pixel.
    QImage shown = form->clientArea()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    shown.setDevicePixelRatio(1);
    QCOMPARE(shown, tivra::testing::wholeImage(window));
    // The built-in picture has the detail of the screen's pixels.
    const auto seen = tivra::testing::builtInSharpness(p, window);
    QVERIFY2(seen.looksSharp(), qPrintable(seen.describe()));
    // Outlines are whole device pixels thick, sharp: black, then background.
    QTest::keyClick(form.get(), Qt::Key_F2);
    const QImage image = tivra::testing::wholeImage(window);
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
    QVERIFY(form->loadPictureFile(dir.filePath("photo.png")));
    const Puzzle& p = form->puzzle();
    // Decoded for the board's device size, not its size in the layout.
    QVERIFY(form->surfaces().Picture1.image.width() >= onDevice(p.BoardWidth, ratio()) - 1);
    QVERIFY(form->surfaces().Picture1.image.width() > p.BoardWidth);
}

// After a whole game, played by keys, every receiving cell holds exactly the
// pixels its piece had on the untouched board: at a fractional ratio too,
// moves copy pixels without seams or blur.
void ScaledScreenTest::aWholeGameMovesExactPixels() {
    const QImage untouched = tivra::testing::wholeImage(form->surfaces().window);
    QTest::keyClick(form.get(), Qt::Key_F2);
    Puzzle& p = form->puzzle();
    const int n = p.gridSize();
    QString fault;
    bool checked = false;
    tivra::testing::SeenMessage seen;
    tivra::testing::answerNextMessageBox(&seen, [&] {
        checked = true;
        const QImage finished = tivra::testing::wholeImage(form->surfaces().window);
        for (int row = 0; row < n && fault.isEmpty(); ++row)
            for (int col = 0; col < n && fault.isEmpty(); ++col)
                if (interior(finished, deviceCell(p, kReceiving, col, row, ratio()), line()) !=
                    interior(untouched, deviceCell(p, kSource, col, row, ratio()), line()))
                    fault = QStringLiteral("cell (%1, %2)").arg(col).arg(row);
    });
    for (int row = 0; row < n; ++row)
        for (int col = 0; col < n; ++col)
            QVERIFY(tivra::testing::takeHomeByKeys(*form, col, row, Qt::Key_Space));
    QVERIFY(checked);
    QCOMPARE(fault, QString());
    QVERIFY(!p.GameActive);
    QCOMPARE(tivra::testing::wholeImage(form->surfaces().window), untouched);
}

void ScaledScreenTest::movingToAScreenOfAnotherRatioKeepsTheGame() {
    QCOMPARE(ratio(), 1.0);
    QTest::keyClick(form.get(), Qt::Key_F2);
    Puzzle& p = form->puzzle();
    QTest::keyClick(form->clientArea(), Qt::Key_Right);
    QTest::mouseClick(form->clientArea(), Qt::RightButton, {},
                      QPoint(p.Board(kSource, 2, 1).X + p.CellWidth / 2,
                             p.Board(kSource, 2, 1).Y + p.CellHeight / 2));
    const QList<int> before = tivra::testing::tableState(p);
    const QSize client = form->clientArea()->size();

    form->windowHandle()->setScreen(QGuiApplication::screens().at(1));
    form->move(QGuiApplication::screens().at(1)->geometry().topLeft());
    QTRY_COMPARE(form->surfaces().window.ratio(), 2.0);
    QTRY_COMPARE(form->clientArea()->devicePixelRatioF(), 2.0);
    QVERIFY(p.GameActive);
    QCOMPARE(tivra::testing::tableState(p), before);
    QCOMPARE(form->clientArea()->size(), client);
    QCOMPARE(form->surfaces().window.size(), client * 2);
    // The piece taken is drawn at the new ratio, in its cell.
    const QImage image = tivra::testing::wholeImage(form->surfaces().window);
    const QRect taken = deviceCell(p, kReceiving, 1, 0, 2.0);
    QVERIFY(image.pixel(taken.center()) != kWindowBackground);
    QCOMPARE(image.pixel(deviceCell(p, kSource, 2, 1, 2.0).center()), kWindowBackground);
}

QTEST_MAIN(ScaledScreenTest)
#include "ScaledScreenTest.moc"
