#include "app/Form1.h"
#include "BoardPixels.h"
#include "UiDriving.h"
#include "app/Module1.h"
#include "app/PictureDialog.h"
#include "app/SurfaceView.h"

#include <QAction>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QMessageBox>
#include <QSortFilterProxyModel>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace tivra;
using tivra::testing::answerNextMessageBox;
using tivra::testing::boardFault;
using tivra::testing::countColour;
using tivra::testing::freshHomeGrid;
using tivra::testing::SeenMessage;
using tivra::testing::tableState;

namespace {

QPoint cellCentre(const Puzzle& p, int side, int col, int row) {
    const CellRec& cell = p.Board(side, col, row);
    return {cell.X + p.CellWidth / 2, cell.Y + p.CellHeight / 2};
}

// The decoding helpers this process has started and that still run.
QList<int> runningHelpers() {
    QList<int> helpers;
    for (const QString& thread :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children(QStringLiteral("/proc/self/task/%1/children").arg(thread));
        if (!children.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& pid : children.readAll().split(' ')) {
            QFile name(QStringLiteral("/proc/%1/comm").arg(QString::fromLatin1(pid)));
            if (name.open(QIODevice::ReadOnly) && name.readAll() == "tivra-decode\n")
                helpers << pid.toInt();
        }
    }
    return helpers;
}

bool confined(int pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    return status.open(QIODevice::ReadOnly) && status.readAll().contains("Seccomp:\t2");
}

} // namespace

class Form1Test : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void startsIdleWithTheWholePicture();
    void firstFrameIsLaidOutOnceAtItsSize();
    void menuBarAsDesigned();
    void gameStatesSwitchTheMenus();
    void cursorStopsAtTheEdges();
    void keysAndClicksDoNothingWhileIdle();
    void takeAndReturnByClicks();
    void movesDoNotWaitForAStalledSoundServer();
    void winningShowsTheCongratulation();
    void referencePictureToggles();
    void pictureDialogOffersBitmapsAndJpegs();
    void hugePhotoLoads();
    void resizeDuringAGameKeepsEveryPiece();
    void idleResizeKeepsTheGridOnScreen();
    void shrinkingNeverLeavesAGameUnwinnable();
    void wholeGameByKeysAlone();
    void sourceCursorStopsAtTheEdgesAndGoesAway();
    void keyboardMovesOnlyDuringAVisibleGame();
    void aboutBox();

private:
    void press(int key) { QTest::keyClick(form->clientArea(), static_cast<Qt::Key>(key)); }
    void click(Qt::MouseButton button, QPoint at) {
        QTest::mouseClick(form->clientArea(), button, {}, at);
    }
    void moveCursorTo(int col, int row);
    void moveSourceCursorTo(int col, int row);
    void takeHome(int col, int row);
    void takeHomeByKeys(int col, int row, Qt::Key action);
    QImage homes() const {
        return freshHomeGrid(form->surfaces().Picture1, form->clientArea()->size(),
                             form->puzzle().gridSize());
    }
    QString fault() const { return boardFault(form->puzzle(), form->surfaces().window, homes()); }
    QImage shown() const { return form->surfaces().window.image().copy(); }

    std::unique_ptr<Form1> form;
    QTemporaryDir dir;
};

void Form1Test::init() {
    form = tivra::testing::openGameWindow(12345);
    QVERIFY(form);
}

void Form1Test::cleanup() {
    form.reset();
}

void Form1Test::moveCursorTo(int col, int row) {
    QVERIFY(form->puzzle().GameActive);
    QVERIFY(tivra::testing::arrowsTo(*form, false, col, row));
}

void Form1Test::moveSourceCursorTo(int col, int row) {
    QVERIFY(form->arrowsOnSource() && form->puzzle().GameActive);
    QVERIFY(tivra::testing::arrowsTo(*form, true, col, row));
}

void Form1Test::takeHomeByKeys(int col, int row, Qt::Key action) {
    QVERIFY(!form->arrowsOnSource());
    QVERIFY(tivra::testing::takeHomeByKeys(*form, col, row, action));
}

// Puts piece (col, row) into its home cell with the keys and a right-click.
void Form1Test::takeHome(int col, int row) {
    moveCursorTo(col, row);
    const QPoint slot = tivra::testing::slotOf(form->puzzle(), col, row);
    QVERIFY2(slot.x() >= 0, "piece not on the source grid");
    click(Qt::RightButton, cellCentre(form->puzzle(), kSource, slot.x(), slot.y()));
}

void Form1Test::startsIdleWithTheWholePicture() {
    QCOMPARE(form->windowTitle(), QStringLiteral("Have fun!"));
    QVERIFY(!form->puzzle().GameActive);
    QCOMPARE(Module1::Divisions, 4);
    QCOMPARE(form->puzzle().gridSize(), 4);
    QCOMPARE(form->surfaces().Picture1.pixelSize, QSize(400, 339));
    QCOMPARE(form->AppPath(), QCoreApplication::applicationDirPath());
    // The client area is all under the menu bar and the layout uses it all.
    const QSize client = form->clientArea()->size();
    QCOMPARE(form->puzzle().scaleWidth(), client.width());
    Puzzle expected;
    expected.ComputeLayout(client.width(), client.height(), 400, 339, 4);
    QCOMPARE(form->puzzle().BoardHeight, expected.BoardHeight);
    QCOMPARE(form->puzzle().BoardWidth, expected.BoardWidth);
    QCOMPARE(fault(), QString());
    QCOMPARE(countColour(shown(), kCursorColour), 0);
    // The built-in picture shows the detail of the board's own size, not
    // 400 x 339 enlarged.
    const auto seen = tivra::testing::builtInSharpness(form->puzzle(), form->surfaces().window);
    QVERIFY2(seen.looksSharp(), qPrintable(seen.describe()));
    // The widget shows the surface 1:1.
    const QImage onScreen =
        form->clientArea()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(onScreen, form->surfaces().window.image());
}

void Form1Test::firstFrameIsLaidOutOnceAtItsSize() {
    // Sizes the window passes through before it is first on screen (a
    // window manager's frame, a compositor's maximized size) are not drawn.
    Form1 fresh;
    fresh.show();
    fresh.resize(700, 500);
    QVERIFY(fresh.surfaces().window.size().isEmpty());
    QVERIFY(QTest::qWaitForWindowExposed(&fresh));
    const QSize client = fresh.clientArea()->size();
    QCOMPARE(fresh.surfaces().window.size(), client);
    Puzzle expected;
    expected.ComputeLayout(client.width(), client.height(), 400, 339, 4);
    QCOMPARE(fresh.puzzle().BoardWidth, expected.BoardWidth);
    QCOMPARE(fresh.clientArea()->grab().toImage().convertToFormat(QImage::Format_RGB32),
             fresh.surfaces().window.image());
    // A command before the first frame finds the board laid out.
    Form1 early;
    early.show();
    early.JocNou_Click();
    QVERIFY(early.puzzle().GameActive);
    QCOMPARE(early.surfaces().window.size(), early.clientArea()->size());
    QVERIFY(early.puzzle().BoardWidth > 0);
}

void Form1Test::menuBarAsDesigned() {
    const QList<QAction*> menus = form->menuBar()->actions();
    QCOMPARE(menus.size(), 2);
    QCOMPARE(menus[0]->text(), QStringLiteral("File"));
    QCOMPARE(menus[1]->text(), QStringLiteral("Help"));
    QStringList captions;
    QStringList keys;
    for (QAction* item : menus[0]->menu()->actions() + menus[1]->menu()->actions()) {
        captions << item->text();
        keys << item->shortcut().toString();
    }
    QCOMPARE(captions, QStringList({"Joc Nou", "Optiuni", "Incarca Poza", "Arata / Ascunde Poza",
                                    "Renunta", "Exit", "Despre", "Informatii"}));
    QCOMPARE(keys, QStringList({"F2", "F3", "F8", "F9", "F5", "F4", "", "F1"}));
}

void Form1Test::gameStatesSwitchTheMenus() {
    auto enabled = [this] {
        QStringList names;
        for (const char* name : {"JocNou", "Optiuni", "IncarcaPoza", "ArataPoza", "Renunta", "Exit",
                                 "Despre", "Informatii"})
            if (form->action(QString::fromLatin1(name))->isEnabled())
                names << QString::fromLatin1(name);
        return names;
    };
    const QStringList all{"JocNou",  "Optiuni", "IncarcaPoza", "ArataPoza",
                          "Renunta", "Exit",    "Despre",      "Informatii"};
    QCOMPARE(enabled(), all);

    // Give Up while Idle repaints the same board.
    const QImage idle = shown();
    QTest::keyClick(form.get(), Qt::Key_F5);
    QCOMPARE(shown(), idle);
    QVERIFY(!form->puzzle().GameActive);

    QTest::keyClick(form.get(), Qt::Key_F2); // the shortcut, menu closed
    QVERIFY(form->puzzle().GameActive);
    QCOMPARE(enabled(),
             QStringList({"JocNou", "ArataPoza", "Renunta", "Exit", "Despre", "Informatii"}));
    QCOMPARE(fault(), QString());
    QVERIFY(shown() != idle); // shuffled
    QCOMPARE(countColour(shown(), kCursorColour),
             2 * (form->puzzle().CellWidth + form->puzzle().CellHeight));

    // Disabled commands do nothing from their keys either.
    QTest::keyClick(form.get(), Qt::Key_F8);
    QTest::keyClick(form.get(), Qt::Key_F3);
    QVERIFY(!form->optionsWindow());

    // New Game while Playing starts over.
    press(Qt::Key_Right);
    click(Qt::RightButton, cellCentre(form->puzzle(), kSource, 2, 2));
    QTest::keyClick(form.get(), Qt::Key_F2);
    QVERIFY(form->puzzle().GameActive);
    QCOMPARE(form->puzzle().CursorCol, 0);
    QCOMPARE(form->puzzle().Board(kReceiving, 1, 0).Full, kFalse);
    QCOMPARE(fault(), QString());

    QTest::keyClick(form.get(), Qt::Key_F5);
    QVERIFY(!form->puzzle().GameActive);
    QCOMPARE(enabled(), all);
    QCOMPARE(shown(), idle); // the whole picture again, no cursor
}

void Form1Test::cursorStopsAtTheEdges() {
    QTest::keyClick(form.get(), Qt::Key_F2);
    Puzzle& p = form->puzzle();
    press(Qt::Key_Left);
    press(Qt::Key_Up);
    QCOMPARE(p.CursorCol, 0);
    QCOMPARE(p.CursorRow, 0);
    for (int i = 0; i < 6; ++i) {
        press(Qt::Key_Right);
        press(Qt::Key_Down);
    }
    QCOMPARE(p.CursorCol, 3);
    QCOMPARE(p.CursorRow, 3);
    const QImage before = shown();
    press(Qt::Key_A); // another key only redraws the cursor
    press(Qt::Key_Escape);
    QCOMPARE(p.CursorCol, 3);
    QCOMPARE(shown(), before);
    press(Qt::Key_Up);
    QCOMPARE(p.CursorRow, 2);
    QCOMPARE(shown().pixel(cellCentre(p, kReceiving, 3, 2).x(), p.Board(0, 3, 2).Y), kCursorColour);
    QCOMPARE(shown().pixel(cellCentre(p, kReceiving, 3, 3).x(), p.Board(0, 3, 3).Y + p.CellHeight),
             kOutlineColour);
}

void Form1Test::keysAndClicksDoNothingWhileIdle() {
    const QImage idle = shown();
    press(Qt::Key_Right);
    press(Qt::Key_Down);
    click(Qt::RightButton, cellCentre(form->puzzle(), kSource, 1, 1));
    QCOMPARE(form->puzzle().CursorCol, 0);
    QCOMPARE(shown(), idle);
    QCOMPARE(form->puzzle().Board(kSource, 1, 1).Full, kTrue);
}

void Form1Test::takeAndReturnByClicks() {
    QTest::keyClick(form.get(), Qt::Key_F2);
    Puzzle& p = form->puzzle();
    // Left-clicks do nothing until a piece has been taken.
    click(Qt::LeftButton, cellCentre(p, kReceiving, 0, 0));
    QCOMPARE(p.Board(kSource, 0, 0).Full, kTrue);

    const CellRec slot = p.Board(kSource, 2, 1);
    click(Qt::MiddleButton, cellCentre(p, kSource, 2, 1));
    QCOMPARE(p.Board(kSource, 2, 1).Full, kTrue);
    click(Qt::RightButton, {slot.X, slot.Y + 10}); // on the outline
    QCOMPARE(p.Board(kSource, 2, 1).Full, kTrue);

    click(Qt::RightButton, cellCentre(p, kSource, 2, 1));
    QCOMPARE(p.Board(kSource, 2, 1).Full, kFalse);
    QCOMPARE(p.Board(kReceiving, 0, 0).PieceCol, slot.PieceCol);
    QCOMPARE(p.Board(kReceiving, 0, 0).PieceRow, slot.PieceRow);
    QCOMPARE(p.FreeCol, 2);
    QCOMPARE(p.FreeRow, 1);
    QCOMPARE(fault(), QString());

    // A right-click on a full cursor cell does nothing.
    click(Qt::RightButton, cellCentre(p, kSource, 3, 3));
    QCOMPARE(p.Board(kSource, 3, 3).Full, kTrue);

    click(Qt::LeftButton, cellCentre(p, kReceiving, 0, 0));
    QCOMPARE(p.Board(kReceiving, 0, 0).Full, kFalse);
    QCOMPARE(p.Board(kSource, 2, 1).Full, kTrue);
    QCOMPARE(fault(), QString());
    // The window shows what the surface holds.
    const QImage onScreen =
        form->clientArea()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(onScreen, form->surfaces().window.image());
}

// Run by the stalled_sound test, whose sound library never returns from its
// first click.
void Form1Test::movesDoNotWaitForAStalledSoundServer() {
    const QString log = qEnvironmentVariable("TIVRA_STALLED_SOUND_LOG");
    if (log.isEmpty())
        QSKIP("needs the stalled sound library");
    QFile::remove(log); // a run before this one
    auto soundCalls = [&] {
        QFile file(log);
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
    };
    QTest::keyClick(form.get(), Qt::Key_F2); // the sound server is opened with the first game
    QTRY_VERIFY(soundCalls().contains(QStringLiteral("open")));
    Puzzle& p = form->puzzle();
    auto takeAndReturn = [&] {
        click(Qt::RightButton, cellCentre(p, kSource, 2, 1));
        QCOMPARE(p.Board(kReceiving, 0, 0).Full, kTrue);
        click(Qt::LeftButton, cellCentre(p, kReceiving, 0, 0));
        QCOMPARE(p.Board(kReceiving, 0, 0).Full, kFalse);
    };
    // Clicks asked for before the server was ready are silent.
    for (int i = 0; i < 500 && !soundCalls().contains(QStringLiteral("play")); ++i) {
        takeAndReturn();
        QTest::qWait(5);
    }
    QVERIFY(soundCalls().contains(QStringLiteral("play")));
    // The server never answers that click; the game goes on all the same.
    for (int i = 0; i < 5; ++i)
        takeAndReturn();
    QCOMPARE(fault(), QString());
}

void Form1Test::winningShowsTheCongratulation() {
    QTest::keyClick(form.get(), Qt::Key_F2);
    Puzzle& p = form->puzzle();
    // All but the last piece; a wrong last piece does not win.
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col)
            if (row != 3 || col != 3)
                takeHome(col, row);
    QVERIFY(p.GameActive);
    QCOMPARE(fault(), QString());

    SeenMessage seen;
    bool finishedWhileOpen = false;
    answerNextMessageBox(&seen, [&] {
        // The box comes before the repaint: the finished picture is still there.
        finishedWhileOpen = p.GameActive && p.Board(kReceiving, 3, 3).Full == kTrue &&
                            boardFault(p, form->surfaces().window, homes()).isEmpty();
    });
    takeHome(3, 3);
    QCOMPARE(seen.title, QStringLiteral("Tivra"));
    QCOMPARE(seen.text, QStringLiteral("Felicitari, ati terminat jocul!"));
    QCOMPARE(seen.buttons, 1);
    QVERIFY(finishedWhileOpen);
    QVERIFY(!p.GameActive);
    QVERIFY(form->action("IncarcaPoza")->isEnabled());
    QVERIFY(form->action("Optiuni")->isEnabled());
    QCOMPARE(countColour(shown(), kCursorColour), 0);
    QCOMPARE(shown().pixel(cellCentre(p, kReceiving, 1, 1)), kWindowBackground);
}

void Form1Test::referencePictureToggles() {
    QTest::keyClick(form.get(), Qt::Key_F2);
    Puzzle& p = form->puzzle();
    const QImage board = shown();
    auto* overlay = form->clientArea()->findChild<SurfaceView*>("Picture2");
    QTest::keyClick(form.get(), Qt::Key_F9);
    QVERIFY(overlay->isVisible());
    QCOMPARE(overlay->geometry(), form->clientArea()->rect());
    // Presses reach the picture, not the board.
    QTest::mouseClick(overlay, Qt::RightButton, {}, cellCentre(p, kSource, 1, 1));
    QCOMPARE(p.Board(kReceiving, 0, 0).Full, kFalse);
    const QImage onScreen =
        form->clientArea()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    // A 2-pixel sunken frame, the picture's first pixel just inside it.
    const Surface& picture2 = form->surfaces().Picture2;
    QCOMPARE(picture2.size(), form->clientArea()->size() - QSize(4, 4));
    QCOMPARE(onScreen.pixel(2, 2), picture2.pixel(0, 0));
    QCOMPARE(onScreen.pixel(7, 7), picture2.pixel(5, 5));
    const int right = onScreen.width() - 1;
    const int bottom = onScreen.height() - 1;
    const int face = qGray(kFaceColour);
    for (int edge : {0, 1}) {
        QVERIFY(qGray(onScreen.pixel(edge, 100)) < face);          // left
        QVERIFY(qGray(onScreen.pixel(100, edge)) < face);          // top
        QVERIFY(qGray(onScreen.pixel(right - edge, 100)) >= face); // right
        QVERIFY(qGray(onScreen.pixel(100, bottom - edge)) >= face);
    }
    QVERIFY(qGray(onScreen.pixel(right - 1, 100)) > qGray(onScreen.pixel(1, 100)));
    QCOMPARE(onScreen.pixel(right - 2, bottom - 2), kFaceColour);
    QTest::keyClick(form.get(), Qt::Key_F9);
    QVERIFY(!overlay->isVisible());
    QCOMPARE(shown(), board);
    QCOMPARE(fault(), QString());
}

void Form1Test::pictureDialogOffersBitmapsAndJpegs() {
    const QImage picture = tivra::testing::codedPicture(300, 200);
    QVERIFY(picture.save(dir.filePath("IMG_0001.JPG"), "JPG"));
    QVERIFY(picture.save(dir.filePath("scan.bmp"), "BMP"));
    QVERIFY(picture.save(dir.filePath("photo.jpeg"), "JPG"));
    QVERIFY(picture.save(dir.filePath("notes.png"), "PNG"));
    QVERIFY(matchesPictureFilter("IMG_0001.JPG", picturesFilter()));
    QVERIFY(!matchesPictureFilter("notes.png", picturesFilter()));
    QVERIFY(matchesPictureFilter("notes.PNG", allPicturesFilter()));

    // While the player chooses, the decoding helper starts and confines
    // itself. Cancel changes nothing, and leaves no helper behind.
    const QImage before = shown();
    QList<int> helpers;
    tivra::testing::handleNextDialog<QFileDialog>([&](QFileDialog* d) {
        QTRY_COMPARE((helpers = runningHelpers()).size(), 1);
        QTRY_VERIFY(confined(helpers.first()));
        d->reject();
    });
    form->IncarcaPoza_Click();
    QCOMPARE(helpers.size(), 1);
    QCOMPARE(shown(), before);
    QCOMPARE(runningHelpers(), QList<int>());

    QStringList filters;
    QStringList listed;
    tivra::testing::handleNextDialog<QFileDialog>([&](QFileDialog* d) {
        filters = d->nameFilters();
        // Started as the dialog opens, it is known by its name once it runs.
        QTRY_COMPARE((helpers = runningHelpers()).size(), 1);
        d->setDirectory(dir.path());
        auto* view = d->findChild<QListView*>("listView");
        QTRY_VERIFY(view->model()->rowCount(view->rootIndex()) >= 3);
        for (int i = 0; i < view->model()->rowCount(view->rootIndex()); ++i)
            listed << view->model()->index(i, 0, view->rootIndex()).data().toString();
        // Typed as a player would, in the dialog's file name box.
        auto* name = d->findChild<QLineEdit*>("fileNameEdit");
        QVERIFY(name);
        name->setText("IMG_0001.JPG");
        static_cast<QDialog*>(d)->accept(); // the file dialog's own accept
    });
    form->IncarcaPoza_Click();
    QCOMPARE(filters.value(0), QStringLiteral("Pictures (*.bmp;*.jpg)"));
    // The helper started for the dialog decoded the picture, and is gone.
    QCOMPARE(helpers.size(), 1);
    QCOMPARE(runningHelpers(), QList<int>());
    listed.sort();
    QCOMPARE(listed, QStringList({"IMG_0001.JPG", "photo.jpeg", "scan.bmp"}));
    QCOMPARE(form->surfaces().Picture1.pixelSize, QSize(300, 200));
    QVERIFY(!form->puzzle().GameActive);
    QCOMPARE(fault(), QString());
}

void Form1Test::hugePhotoLoads() {
    // 48 megapixels: more than Qt decodes whole by default.
    QImage photo(8000, 6000, QImage::Format_RGB32);
    photo.fill(qRgb(20, 120, 220));
    for (int y = 0; y < 6000; y += 500)
        for (int x = 0; x < 8000; x += 500)
            photo.setPixel(x, y, qRgb(255, 255, 255));
    QVERIFY(photo.save(dir.filePath("huge.jpg"), "JPG", 80));
    photo = QImage();
    QVERIFY(form->loadPictureFile(dir.filePath("huge.jpg")));
    QCOMPARE(form->surfaces().Picture1.pixelSize, QSize(8000, 6000));
    QVERIFY(form->surfaces().Picture1.image.width() < 8000);
    Puzzle expected;
    const QSize client = form->clientArea()->size();
    expected.ComputeLayout(client.width(), client.height(), 8000, 6000, 4);
    QCOMPARE(form->puzzle().BoardWidth, expected.BoardWidth);
    QCOMPARE(form->puzzle().BoardHeight, expected.BoardHeight);
    const QColor middle = shown().pixel(cellCentre(form->puzzle(), kSource, 1, 1));
    QVERIFY(std::abs(middle.red() - 20) + std::abs(middle.green() - 120) +
                std::abs(middle.blue() - 220) <
            8); // JPEG is near, not exact
}

void Form1Test::resizeDuringAGameKeepsEveryPiece() {
    QTest::keyClick(form.get(), Qt::Key_F2);
    Puzzle& p = form->puzzle();
    press(Qt::Key_Right);
    click(Qt::RightButton, cellCentre(p, kSource, 3, 2));
    press(Qt::Key_Down);
    click(Qt::RightButton, cellCentre(p, kSource, 0, 0));
    const QList<int> before = tableState(p);
    form->resize(640, 500);
    QTRY_COMPARE(p.scaleWidth(), form->clientArea()->width());
    QCOMPARE(p.CursorCol, 1);
    QCOMPARE(p.CursorRow, 1);
    QCOMPARE(p.FreeCol, 0);
    QCOMPARE(fault(), QString());
    QCOMPARE(form->surfaces().Picture2.size(), form->clientArea()->size() - QSize(4, 4));
    QCOMPARE(tableState(p), before);
    // The smallest window still has a playable 10 x 10 board.
    form->resize(100, 100);
    QTRY_VERIFY(form->clientArea()->width() >= 320);
    Puzzle smallest;
    QVERIFY(smallest.ComputeLayout(form->clientArea()->width(), form->clientArea()->height(), 400,
                                   339, 10));
}

void Form1Test::idleResizeKeepsTheGridOnScreen() {
    Module1::Divisions = 7; // as the Options window's arrows do
    form->resize(800, 600);
    QTRY_COMPARE(form->puzzle().scaleWidth(), form->clientArea()->width());
    QCOMPARE(form->puzzle().gridSize(), 4);
    QCOMPARE(fault(), QString());
    QTest::keyClick(form.get(), Qt::Key_F2);
    QCOMPARE(form->puzzle().gridSize(), 7);
}

void Form1Test::shrinkingNeverLeavesAGameUnwinnable() {
    // Wide enough that its cells at grid 10 vanish on the smallest window
    // the built-in picture allows.
    QVERIFY(tivra::testing::codedPicture(4000, 400).save(dir.filePath("strip.png"), "PNG"));
    QVERIFY(form->loadPictureFile(dir.filePath("strip.png")));
    Module1::Divisions = 10;
    QTest::keyClick(form.get(), Qt::Key_F2);
    form->resize(100, 100);
    QTRY_VERIFY(form->puzzle().scaleWidth() == form->clientArea()->width());
    const QSize client = form->clientArea()->size();
    QVERIFY(client.width() > 320);
    Puzzle& p = form->puzzle();
    QVERIFY(p.CellWidth >= 2 && p.CellHeight >= 2);
    QCOMPARE(fault(), QString());
    // Still winnable, by keys alone; Give Up and New Game still lay it out.
    QTest::keyClick(form.get(), Qt::Key_F5);
    QTest::keyClick(form.get(), Qt::Key_F2);
    QCOMPARE(p.gridSize(), 10);
    SeenMessage seen;
    answerNextMessageBox(&seen);
    for (int row = 0; row < 10 && !QTest::currentTestFailed(); ++row)
        for (int col = 0; col < 10 && !QTest::currentTestFailed(); ++col)
            takeHomeByKeys(col, row, Qt::Key_Space);
    QCOMPARE(seen.text, QStringLiteral("Felicitari, ati terminat jocul!"));
    Module1::Divisions = 4;
}

void Form1Test::wholeGameByKeysAlone() {
    QTest::keyClick(form.get(), Qt::Key_F2);
    Puzzle& p = form->puzzle();
    // A wrong piece first, sent back with Return on the receiving grid.
    const CellRec wrong = p.Board(kSource, 3, 3);
    moveCursorTo(0, 0);
    press(Qt::Key_Tab);
    moveSourceCursorTo(3, 3);
    press(Qt::Key_Return);
    QCOMPARE(p.Board(kReceiving, 0, 0).PieceCol, wrong.PieceCol);
    QCOMPARE(p.Board(kSource, 3, 3).Full, kFalse);
    QCOMPARE(fault(), QString());
    // Space on an empty slot, or with the blue cursor's cell full: nothing.
    const QList<int> state = tableState(p);
    press(Qt::Key_Space);
    QCOMPARE(tableState(p), state);
    press(Qt::Key_Tab);
    press(Qt::Key_Return);
    QCOMPARE(p.Board(kReceiving, 0, 0).Full, kFalse);
    QCOMPARE(p.Board(kSource, 3, 3).Full, kTrue);
    QCOMPARE(fault(), QString());
    const QList<int> returned = tableState(p);
    press(Qt::Key_Return); // an empty cell: nothing
    QCOMPARE(tableState(p), returned);

    SeenMessage seen;
    answerNextMessageBox(&seen);
    for (int row = 0; row < 4 && !QTest::currentTestFailed(); ++row)
        for (int col = 0; col < 4 && !QTest::currentTestFailed(); ++col) {
            takeHomeByKeys(col, row, (row + col) % 2 ? Qt::Key_Space : Qt::Key_Return);
            if (p.GameActive)
                QCOMPARE(fault(), QString());
        }
    QCOMPARE(seen.text, QStringLiteral("Felicitari, ati terminat jocul!"));
    QVERIFY(!p.GameActive);
    QVERIFY(!form->arrowsOnSource());
    QCOMPARE(countColour(shown(), kSourceCursorColour), 0);
}

void Form1Test::sourceCursorStopsAtTheEdgesAndGoesAway() {
    QTest::keyClick(form.get(), Qt::Key_F2);
    Puzzle& p = form->puzzle();
    const QImage withoutIt = shown();
    press(Qt::Key_Tab);
    QVERIFY(form->arrowsOnSource());
    QCOMPARE(countColour(shown(), kSourceCursorColour), 2 * (p.CellWidth + p.CellHeight));
    QCOMPARE(shown().pixel(p.Board(kSource, 0, 0).X, p.Board(kSource, 0, 0).Y + 5),
             kSourceCursorColour);
    press(Qt::Key_Left);
    press(Qt::Key_Up);
    QCOMPARE(form->sourceCursorCol(), 0);
    QCOMPARE(form->sourceCursorRow(), 0);
    for (int i = 0; i < 6; ++i) {
        press(Qt::Key_Right);
        press(Qt::Key_Down);
    }
    QCOMPARE(form->sourceCursorCol(), 3);
    QCOMPARE(form->sourceCursorRow(), 3);
    // The blue cursor stayed where it was, drawn as always.
    QCOMPARE(p.CursorCol, 0);
    QCOMPARE(p.CursorRow, 0);
    QCOMPARE(countColour(shown(), kCursorColour), 2 * (p.CellWidth + p.CellHeight));
    const CellRec& last = p.Board(kSource, 3, 3);
    QCOMPARE(shown().pixel(last.X + p.CellWidth, last.Y + 5), kSourceCursorColour);

    // Tab back: the source grid's outlines as before.
    press(Qt::Key_Tab);
    QVERIFY(!form->arrowsOnSource());
    QCOMPARE(shown(), withoutIt);
    // It keeps its place through the game, and starts over with the next one.
    press(Qt::Key_Tab);
    QCOMPARE(form->sourceCursorCol(), 3);
    QTest::keyClick(form.get(), Qt::Key_F5);
    QVERIFY(!form->arrowsOnSource());
    QCOMPARE(countColour(shown(), kSourceCursorColour), 0);
    QTest::keyClick(form.get(), Qt::Key_F2);
    press(Qt::Key_Tab);
    QCOMPARE(form->sourceCursorCol(), 0);
    QTest::keyClick(form.get(), Qt::Key_F2);
    QVERIFY(!form->arrowsOnSource());
    QCOMPARE(countColour(shown(), kSourceCursorColour), 0);
}

void Form1Test::keyboardMovesOnlyDuringAVisibleGame() {
    const QImage idle = shown();
    for (Qt::Key k : {Qt::Key_Tab, Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter})
        press(k);
    QCOMPARE(shown(), idle);
    QVERIFY(!form->arrowsOnSource());

    // Under the whole picture the board takes no keyboard moves.
    QTest::keyClick(form.get(), Qt::Key_F2);
    Puzzle& p = form->puzzle();
    QTest::keyClick(form.get(), Qt::Key_F9);
    const QList<int> state = tableState(p);
    press(Qt::Key_Tab);
    press(Qt::Key_Space);
    QVERIFY(!form->arrowsOnSource());
    QCOMPARE(tableState(p), state);
    QTest::keyClick(form.get(), Qt::Key_F9);

    // The mouse works as ever with the arrows on the source grid.
    press(Qt::Key_Tab);
    click(Qt::RightButton, cellCentre(p, kSource, 2, 2));
    QCOMPARE(p.Board(kSource, 2, 2).Full, kFalse);
    click(Qt::LeftButton, cellCentre(p, kReceiving, 0, 0));
    QCOMPARE(p.Board(kSource, 2, 2).Full, kTrue);
    QCOMPARE(fault(), QString());
}

void Form1Test::aboutBox() {
    SeenMessage seen;
    answerNextMessageBox(&seen);
    form->action("Despre")->trigger();
    QCOMPARE(seen.title, QStringLiteral("Tivra v.02"));
    QVERIFY(!seen.text.contains(u'\n'));
    QVERIFY(seen.text.contains(u'@'));
    QCOMPARE(seen.buttons, 1);
}

QTEST_MAIN(Form1Test)
#include "Form1Test.moc"
