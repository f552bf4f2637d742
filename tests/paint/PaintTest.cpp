#include "BoardPixels.h"
#include "SeededRandom.h"
#include "WiredBoard.h"
#include "paint/BoardPainter.h"
#include "paint/DevicePixels.h"

#include <QTest>
#include <cmath>

using namespace tivra;
using tivra::testing::boardFault;
using tivra::testing::codedPicture;
using tivra::testing::homeGrid;
using tivra::testing::referenceFault;

namespace {

// Records what a window would be told.
struct RecordingObserver : SurfaceObserver {
    QList<QRegion> refreshed;
    int drawn = 0;
    void surfaceRefreshed(const QRegion& area) override { refreshed << area; }
    void surfaceDrawn() override { ++drawn; }
    void surfaceVisibilityChanged(bool) override {}
};

// A board on a picture of its own, that counts the pixels it shows.
struct Game : tivra::testing::WiredBoard {
    Game(QSize client, const QImage& picture) : WiredBoard(client, {picture, picture.size()}) {}

    int countPixels(QRgb colour) const {
        return tivra::testing::countColour(surfaces.window.image(), colour);
    }
};

} // namespace

class PaintTest : public QObject {
    Q_OBJECT
private slots:
    void coloursAreReadRedInTheLowByte();
    void stretchIsNearestNeighbour();
    void blocksClipAtTheEdges();
    void refreshReportsWhatChanged();
    void gridOutlineIsEveryBoxOutline();
    void partStoredSurfaceShowsEveryPixel();
    void outlinesGivenAgainReplaceTheLastOnes();
    void movingTheCursorStoresAndShowsOnlyItsBoxes();
    void setupShowsOutlinesAndTheWholePicture();
    void cursorTwiceLeavesOneBlueBox();
    void exchangeWithItselfChangesNothing();
    void piecesKeepTheirPixels_data();
    void piecesKeepTheirPixels();
    void resizeDuringAGameKeepsEveryPiece();
    void scaledPiecesHoldOnlyThePicture();
};

void PaintTest::coloursAreReadRedInTheLowByte() {
    QCOMPARE(kWindowBackground, qRgb(255, 128, 0));
    QCOMPARE(kCursorColour, qRgb(0, 0, 255));
    QCOMPARE(fromBgr(0xFF8080), qRgb(128, 128, 255));
}

void PaintTest::stretchIsNearestNeighbour() {
    QImage source(2, 2, QImage::Format_RGB32);
    source.setPixel(0, 0, qRgb(255, 0, 0));
    source.setPixel(1, 0, qRgb(0, 255, 0));
    source.setPixel(0, 1, qRgb(0, 0, 255));
    source.setPixel(1, 1, qRgb(9, 9, 9));
    Surface dest(qRgb(1, 1, 1), QSize(6, 6));
    StretchBlt(dest, 1, 1, 4, 4, source, 0, 0, 2, 2);
    QCOMPARE(dest.image().pixel(0, 0), qRgb(1, 1, 1));
    QCOMPARE(dest.image().pixel(1, 1), qRgb(255, 0, 0));
    QCOMPARE(dest.image().pixel(2, 2), qRgb(255, 0, 0));
    QCOMPARE(dest.image().pixel(3, 1), qRgb(0, 255, 0));
    QCOMPARE(dest.image().pixel(4, 4), qRgb(9, 9, 9)); // no blending at all
    QCOMPARE(dest.image().pixel(5, 5), qRgb(1, 1, 1));
}

void PaintTest::blocksClipAtTheEdges() {
    Surface a(qRgb(10, 10, 10), QSize(8, 8));
    Surface b(qRgb(20, 20, 20), QSize(4, 4));
    BitBlt(a, -2, 6, 5, 5, b, 0, 0); // hangs over two edges
    QCOMPARE(a.image().pixel(0, 6), qRgb(20, 20, 20));
    QCOMPARE(a.image().pixel(1, 7), qRgb(20, 20, 20));
    QCOMPARE(a.image().pixel(2, 7), qRgb(10, 10, 10)); // the source ran out
    QCOMPARE(a.image().pixel(3, 6), qRgb(10, 10, 10));
    BitBlt(a, 0, 0, -3, 4, b, 0, 0); // nothing to copy
    BitBlt(a, 0, 0, 100, 100, b, 50, 50);
    QCOMPARE(a.image().pixel(0, 0), qRgb(10, 10, 10));
    // An overlapping copy within one surface reads before it writes.
    Surface c(qRgb(0, 0, 0), QSize(1, 4));
    for (int y = 0; y < 4; ++y)
        c.fillRect(QRect(0, y, 1, 1), qRgb(y, y, y));
    BitBlt(c, 0, 1, 1, 3, c, 0, 0);
    QCOMPARE(c.image().pixel(0, 3), qRgb(2, 2, 2));
}

void PaintTest::refreshReportsWhatChanged() {
    Surface s(qRgb(0, 0, 0), QSize(100, 100));
    RecordingObserver observer;
    s.Refresh();
    s.setObserver(&observer);
    s.BoxOutline(10, 10, 20, 30, qRgb(1, 2, 3));
    s.fillRect(QRect(50, 50, 5, 5), qRgb(1, 2, 3));
    QCOMPARE(observer.drawn, 1); // told once that drawing waits to be shown
    s.Refresh();
    // Just the two places drawn on, not the box around them.
    QCOMPARE(observer.refreshed.size(), 1);
    QCOMPARE(observer.refreshed[0],
             QRegion(QRect(QPoint(10, 10), QPoint(20, 30))) + QRegion(QRect(50, 50, 5, 5)));
    s.Refresh(); // nothing new
    QCOMPARE(observer.refreshed.size(), 1);
    // Outlines drawn over themselves change nothing to show.
    s.GridOutline(0, 60, 10, 10, 3, qRgb(7, 7, 7));
    s.Refresh();
    s.GridOutline(0, 60, 10, 10, 3, qRgb(7, 7, 7));
    s.Refresh();
    QCOMPARE(observer.refreshed.size(), 2);
    s.setObserver(nullptr);
}

void PaintTest::gridOutlineIsEveryBoxOutline() {
    // Grids inside, across the edges and beyond the surface.
    for (const QRect& grid :
         {QRect(3, 4, 10, 7), QRect(-15, 20, 13, 9), QRect(50, 55, 1, 1), QRect(60, 2, 0, 5)}) {
        for (int n : {1, 3, 5}) {
            Surface boxes(qRgb(9, 9, 9), QSize(80, 70));
            Surface lines(qRgb(9, 9, 9), QSize(80, 70));
            for (int row = 0; row < n; ++row)
                for (int col = 0; col < n; ++col) {
                    const int x = grid.x() + col * grid.width();
                    const int y = grid.y() + row * grid.height();
                    boxes.BoxOutline(x, y, x + grid.width(), y + grid.height(), qRgb(1, 2, 3));
                }
            lines.GridOutline(grid.x(), grid.y(), grid.width(), grid.height(), n, qRgb(1, 2, 3));
            QCOMPARE(lines.image(), boxes.image());
        }
    }
}

// A surface that stores only what is drawn on it shows exactly the pixels of
// one that stores them all, whatever is drawn where, and reports every
// pixel that changes.
void PaintTest::partStoredSurfaceShowsEveryPixel() {
    tivra::testing::SeededRandom random(20261208);
    const QSize size(64, 48);
    const QRgb colours[] = {qRgb(255, 128, 0), qRgb(0, 0, 0), qRgb(0, 0, 255), qRgb(5, 6, 7)};
    int outlinesUnstored = 0;
    Surface other(qRgb(9, 9, 9), size);
    StretchBlt(other, 0, 0, 64, 48, codedPicture(16, 12), 0, 0, 16, 12);
    for (int round = 0; round < 300; ++round) {
        Surface whole(colours[0], size);
        Surface part(colours[0], size, Surface::Storage::DrawnPartOnly);
        RecordingObserver observer;
        part.setObserver(&observer);
        if (round % 2)
            part.reserve(QRect(8, 6, 40, 30));
        QImage before = part.image();
        std::vector<Lattice> outlines;
        for (int step = 0; step < 16; ++step) {
            auto any = [&](int limit) { return random.below(limit); };
            // Outlines from a few places and sizes, so that some are drawn
            // again over themselves and over each other.
            const bool onGrid = any(2) == 0;
            const int x = onGrid ? 4 + 10 * any(3) : any(80) - 8;
            const int y = onGrid ? -6 + 10 * any(3) : any(64) - 8;
            const int w = onGrid ? 10 * (1 + any(3)) : any(24);
            const int h = onGrid ? w : any(20);
            const QRgb colour = colours[onGrid ? 1 + any(2) : any(4)];
            const int count = onGrid ? w / 10 : 1 + any(4);
            const int sx = any(64), sy = any(48);
            // Mostly outlines, which stay unstored until other drawing
            // comes near them. The board's are given whole at each redraw:
            // the same again, the same with more over them (a cursor box on
            // a cell of the grid, drawn after the grid), without the last
            // ones, or others.
            int drawing = any(16);
            if (round % 4 < 2 && drawing < 6)
                drawing = 12 + drawing % 4; // only the board's outlines
            if (drawing == 12 && !outlines.empty() && any(2) == 0) {
                const Lattice& grid = outlines.front();
                outlines.push_back({grid.left + any(grid.count) * grid.cellWidth,
                                    grid.top + any(grid.count) * grid.cellHeight, grid.cellWidth,
                                    grid.cellHeight, 1, colour});
            } else if (drawing == 13 && !outlines.empty()) {
                outlines.pop_back();
            } else if (drawing >= 12 && drawing != 15) {
                if (drawing == 14 || outlines.size() > 4)
                    outlines.clear();
                outlines.push_back({x, y, w / count, h / count, count, colour});
            }
            for (Surface* s : {&whole, &part}) {
                if (drawing < 3)
                    s->GridOutline(x, y, w / count, h / count, count, colour);
                else if (drawing < 6)
                    s->BoxOutline(x, y, x + w, y + h, colour);
                else if (drawing < 8)
                    BitBlt(*s, x, y, w, h, *s, sx, sy);
                else if (drawing < 10)
                    BitBlt(*s, x, y, w, h, other, sx, sy);
                else if (drawing < 12)
                    s->fillRect(QRect(x, y, w, h), colour);
                else if (s == &part)
                    s->drawOutlines(outlines);
                else // what they come to: each drawn in turn
                    for (const Lattice& l : outlines)
                        s->GridOutline(l.left, l.top, l.cellWidth, l.cellHeight, l.count, l.colour);
            }
            part.Refresh();
            const QImage now = part.image();
            QCOMPARE(now, whole.image());
            const QRegion refreshed =
                observer.refreshed.isEmpty() ? QRegion() : observer.refreshed.last();
            observer.refreshed.clear();
            int misread = 0, unreported = 0;
            for (int py = 0; py < size.height(); ++py)
                for (int px = 0; px < size.width(); ++px) {
                    misread += part.pixel(px, py) != now.pixel(px, py);
                    unreported += now.pixel(px, py) != before.pixel(px, py) &&
                                  !refreshed.contains(QPoint(px, py));
                }
            QVERIFY2(misread == 0 && unreported == 0,
                     qPrintable(QStringLiteral("round %1 step %2: %3 pixels misread, %4 changed "
                                               "unreported")
                                    .arg(round)
                                    .arg(step)
                                    .arg(misread)
                                    .arg(unreported)));
            before = now;
            outlinesUnstored += !outlines.empty() && part.storedArea() != part.rect();
        }
    }
    QVERIFY(outlinesUnstored > 300); // of 4800 steps
}

// Where nothing is stored, the outlines given replace the last ones they
// cover; the rest stay, as pixels.
void PaintTest::outlinesGivenAgainReplaceTheLastOnes() {
    const QRgb ground = qRgb(255, 128, 0), black = qRgb(0, 0, 0), blue = qRgb(0, 0, 255);
    Surface s(ground, QSize(100, 80), Surface::Storage::DrawnPartOnly);
    const Lattice grid{10, 10, 20, 15, 3, black};
    const Lattice cursor{30, 25, 20, 15, 1, blue};
    s.drawOutlines({grid, cursor});
    QCOMPARE(s.pixel(30, 30), blue);
    QCOMPARE(s.pixel(50, 40), blue);
    s.drawOutlines({grid});
    QCOMPARE(s.pixel(30, 30), black); // the grid's line again
    QCOMPARE(s.pixel(50, 40), black);
    QCOMPARE(s.pixel(40, 30), ground);
    QCOMPARE(s.storedArea(), QRect());
    // The grid moved: the old one is not covered and stays as drawn.
    const Lattice moved{15, 12, 20, 15, 3, black};
    s.drawOutlines({moved});
    QCOMPARE(s.pixel(10, 10), black);
    QCOMPARE(s.pixel(15, 12), black);
    QVERIFY(s.storedArea().contains(grid.bounds()));
    QVERIFY(!s.storedArea().contains(moved.bounds()));
    s.Cls(); // and a Cls forgets them all
    QCOMPARE(s.pixel(15, 12), ground);
    QCOMPARE(s.storedArea(), QRect());
}

// An idle board stores only the picture: the cursor, drawn and moved over the
// empty receiving grid, adds nothing to it, and the screen is told only of
// the two boxes.
void PaintTest::movingTheCursorStoresAndShowsOnlyItsBoxes() {
    Game game(QSize(1016, 714), codedPicture(400, 339));
    QVERIFY(game.painter.SetupBoard(4));
    Surface& window = game.surfaces.window;
    const QRect picture = window.storedArea();
    game.painter.DrawCursor();
    window.takeDrawnArea();
    RecordingObserver observer;
    window.setObserver(&observer);
    game.puzzle.CursorCol = 1;
    game.painter.DrawCursor();
    window.Refresh();
    window.setObserver(nullptr);
    QCOMPARE(window.storedArea(), picture);
    QRegion told;
    for (const QRegion& area : observer.refreshed)
        told += area;
    const QRegion boxes = QRegion(QRect(50, 50, 109, 93)) + QRegion(QRect(50 + 108, 50, 109, 93));
    QCOMPARE(told, boxes);
    QCOMPARE(game.countPixels(kCursorColour), 2 * (108 + 92));
    QCOMPARE(window.pixel(50 + 108, 60), kCursorColour);
    QCOMPARE(window.pixel(50, 60), kOutlineColour);
}

void PaintTest::setupShowsOutlinesAndTheWholePicture() {
    Game game(QSize(1016, 714), codedPicture(400, 339));
    QVERIFY(game.painter.SetupBoard(4));
    const Puzzle& p = game.puzzle;
    const QImage& shown = game.surfaces.window.image();
    // Receiving grid: black outlines on the background, nothing else.
    for (int y = 50; y <= 50 + 4 * p.CellHeight; ++y)
        for (int x = 50; x <= 50 + 4 * p.CellWidth; ++x) {
            const bool outline = (x - 50) % p.CellWidth == 0 || (y - 50) % p.CellHeight == 0;
            QCOMPARE(shown.pixel(x, y), outline ? kOutlineColour : kWindowBackground);
        }
    // Source grid: the picture covers it, outlines and all.
    QCOMPARE(shown.pixel(533, 50), game.surfaces.Picture1.image.pixel(0, 0));
    QCOMPARE(shown.pixel(533 + 432, 50 + 366), game.surfaces.Picture1.image.pixel(399, 338));
    QCOMPARE(game.countPixels(kCursorColour), 0);
    // Until a piece comes to it, the empty receiving grid takes no memory.
    QCOMPARE(game.surfaces.window.storedArea(), QRect(533, 50, 433, 367));
    // Picture2 holds the same picture at its top-left corner, on its own grey.
    for (QPoint at : {QPoint(0, 0), QPoint(200, 100), QPoint(432, 366)})
        QCOMPARE(game.surfaces.Picture2.pixel(at.x(), at.y()), shown.pixel(at + QPoint(533, 50)));
    QCOMPARE(game.surfaces.Picture2.pixel(433, 0), kFaceColour);
}

void PaintTest::cursorTwiceLeavesOneBlueBox() {
    Game game(QSize(1016, 714), codedPicture(400, 339));
    game.painter.SetupBoard(4);
    game.puzzle.CursorCol = 2;
    game.puzzle.CursorRow = 1;
    game.painter.DrawCursor();
    const int blue = game.countPixels(kCursorColour);
    QCOMPARE(blue, 2 * (108 + 92)); // the outline of one 108 x 92 cell
    game.painter.DrawCursor();
    QCOMPARE(game.countPixels(kCursorColour), blue);
    game.puzzle.CursorCol = 3;
    game.painter.DrawCursor();
    QCOMPARE(game.countPixels(kCursorColour), blue);
    QCOMPARE(game.surfaces.window.image().pixel(50 + 3 * 108, 50 + 92 + 10), kCursorColour);
    QCOMPARE(game.surfaces.window.image().pixel(50 + 2 * 108, 50 + 92 + 10), kOutlineColour);
}

void PaintTest::exchangeWithItselfChangesNothing() {
    Game game(QSize(1016, 714), codedPicture(400, 339));
    game.painter.SetupBoard(4);
    const QImage before = game.surfaces.window.image().copy();
    const CellRec& cell = game.puzzle.Board(kSource, 1, 2);
    game.painter.ExchangeCells(cell, cell);
    QCOMPARE(game.surfaces.window.image(), before);
}

void PaintTest::piecesKeepTheirPixels_data() {
    QTest::addColumn<QSize>("client");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<int>("divisions");
    QTest::newRow("worked example") << QSize(1016, 714) << QSize(400, 339) << 4;
    QTest::newRow("3 tall cells, over 181 x 157") << QSize(1920, 1080) << QSize(300, 900) << 3;
    QTest::newRow("3 big cells") << QSize(1920, 1080) << QSize(400, 339) << 3;
    QTest::newRow("10 cells") << QSize(1920, 1080) << QSize(400, 339) << 10;
    QTest::newRow("wide picture") << QSize(1280, 1000) << QSize(1600, 400) << 7;
    QTest::newRow("cells past the picture") << QSize(800, 607) << QSize(400, 339) << 9;
    QTest::newRow("one cell") << QSize(800, 600) << QSize(400, 339) << 1;
}

// After the shuffle and after every move, each cell shows exactly the pixels
// of the piece its table entry names, and Picture2 keeps the whole picture.
void PaintTest::piecesKeepTheirPixels() {
    QFETCH(QSize, client);
    QFETCH(QSize, picture);
    QFETCH(int, divisions);
    Game game(client, codedPicture(picture.width(), picture.height()));
    Puzzle& p = game.puzzle;
    QVERIFY(game.painter.SetupBoard(divisions));
    game.painter.DrawCursor();
    const QImage homes = homeGrid(p, game.surfaces.window);
    tivra::testing::SeededRandom random(static_cast<unsigned>(divisions * 1000 + client.width()));
    p.ShuffleBoard(random.fractions());
    QCOMPARE(boardFault(p, game.surfaces.window, homes), QString());
    QCOMPARE(referenceFault(p, game.surfaces.Picture2, homes), QString());

    const int n = p.gridSize();
    for (int move = 0; move < 150; ++move) {
        p.CursorCol = static_cast<std::int16_t>(random.below(n));
        p.CursorRow = static_cast<std::int16_t>(random.below(n));
        game.painter.DrawCursor();
        const int side = random.below(2);
        const CellRec& target =
            p.Board(side == 0 ? kSource : kReceiving, random.below(n), random.below(n));
        const int x = target.X + 1 + random.below(std::max(1, p.CellWidth - 1));
        const int y = target.Y + 1 + random.below(std::max(1, p.CellHeight - 1));
        if (side == 0 && p.Board(kReceiving, p.CursorCol, p.CursorRow).Full == kFalse)
            p.TakePiece(x, y);
        else if (side == 1 && p.freeSlotEmpty())
            p.ReturnPiece(x, y);
        const QString fault = boardFault(p, game.surfaces.window, homes);
        QVERIFY2(fault.isEmpty(), qPrintable(QStringLiteral("move %1: %2").arg(move).arg(fault)));
    }
    QCOMPARE(referenceFault(p, game.surfaces.Picture2, homes), QString());
}

void PaintTest::resizeDuringAGameKeepsEveryPiece() {
    Game game(QSize(1016, 714), codedPicture(400, 339));
    Puzzle& p = game.puzzle;
    game.painter.SetupBoard(5);
    game.painter.DrawCursor();
    tivra::testing::SeededRandom random(99);
    p.ShuffleBoard(random.fractions());
    p.CursorCol = 2;
    p.TakePiece(p.Board(kSource, 3, 1).X + 4, p.Board(kSource, 3, 1).Y + 4);
    p.CursorCol = 4;
    p.CursorRow = 4;
    p.TakePiece(p.Board(kSource, 0, 0).X + 4, p.Board(kSource, 0, 0).Y + 4);
    const auto snapshot = [&] {
        return tivra::testing::tableState(p)
               << p.CursorCol << p.CursorRow << p.FreeCol << p.FreeRow;
    };
    const QList<int> before = snapshot();

    for (QSize size : {QSize(1600, 1000), QSize(700, 500), QSize(1016, 714)}) {
        game.surfaces.window.resize(size);
        game.surfaces.Picture2.resize(size);
        QVERIFY(game.painter.RelayoutGame());
        QCOMPARE(snapshot(), before);
        QCOMPARE(p.scaleWidth(), size.width());
        // The pieces are cut again from the picture at the new size.
        const QImage homes = tivra::testing::freshHomeGrid(game.surfaces.Picture1, size, 5);
        QCOMPARE(boardFault(p, game.surfaces.window, homes), QString());
        QCOMPARE(referenceFault(p, game.surfaces.Picture2, homes), QString());
    }
}

// On a screen scaled by a fraction each cell rounds to whole device pixels,
// and n of them may reach past the picture scaled by the ratio: the picture
// is stretched over the cells as in the layout, so a piece inside the
// picture never shows a strip of the window's background.
void PaintTest::scaledPiecesHoldOnlyThePicture() {
    int checked = 0;
    for (double ratio : {1.25, 1.5, 1.75})
        for (int width = 600; width < 700; width += 3) {
            const QSize client(width, width * 3 / 4);
            Game game(client, codedPicture(400, 339));
            game.painter.setClient(client, ratio);
            game.surfaces.window.setRatio(ratio);
            game.surfaces.window.resize(surfaceOnDevice(client, ratio));
            QVERIFY(game.painter.SetupBoard(4));
            const Puzzle& p = game.puzzle;
            if (4 * p.CellWidth > p.BoardWidth || 4 * p.CellHeight > p.BoardHeight)
                continue; // cells past the picture show background by design
            ++checked;
            const int line = lineOnDevice(ratio);
            const QImage& image = game.surfaces.window.image();
            for (int row = 0; row < 4; ++row)
                for (int col = 0; col < 4; ++col) {
                    const QRect inside = tivra::testing::deviceCell(p, kSource, col, row, ratio)
                                             .adjusted(line, line, 0, 0);
                    const int background =
                        tivra::testing::countColour(image.copy(inside), kWindowBackground);
                    QVERIFY2(background == 0,
                             qPrintable(QStringLiteral("%1 at %2, %3 x %4: cell (%5, %6)")
                                            .arg(background)
                                            .arg(ratio)
                                            .arg(client.width())
                                            .arg(client.height())
                                            .arg(col)
                                            .arg(row)));
                }
        }
    QVERIFY(checked > 30); // of 102
}

QTEST_GUILESS_MAIN(PaintTest)
#include "PaintTest.moc"
