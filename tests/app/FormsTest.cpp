#include "UiDriving.h"
#include "app/Form1.h"
#include "app/Form2.h"
#include "app/Form3.h"
#include "app/Module1.h"
#include "app/SurfaceView.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace tivra;

namespace {

void upperArrow(Form2* options) {
    tivra::testing::clickScrollArrow(options->VScroll1, QStyle::SC_ScrollBarSubLine);
}
void lowerArrow(Form2* options) {
    tivra::testing::clickScrollArrow(options->VScroll1, QStyle::SC_ScrollBarAddLine);
}

const QString kHelpText = QStringLiteral(
    "Pentru a fixa celula receptoare, folositi tastele cursor (sagetile), iar pentru transfer "
    "de celule click de dreapta sau de stanga");

} // namespace

class FormsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void optionsOpenAtFour();
    void arrowsStepTheGridSizeAndStopAtTheEnds();
    void reopeningResetsButBringingForwardDoesNot();
    void typedTextChangesNothing();
    void changeDuringAGameWaitsForTheNextOne();
    void helpShowsItsSentence();
    void secondaryWindowsOutliveTheMainWindow();
    void exitEndsEverything();

private:
    Form2* openOptions() {
        QTest::keyClick(form.get(), Qt::Key_F3);
        Form2* options = form->optionsWindow();
        if (options && !QTest::qWaitForWindowExposed(options))
            return nullptr;
        return options;
    }

    std::unique_ptr<Form1> form;
};

void FormsTest::init() {
    form = tivra::testing::openGameWindow(777);
    QVERIFY(form);
}

void FormsTest::cleanup() {
    form.reset();
}

void FormsTest::optionsOpenAtFour() {
    Module1::Divisions = 7;
    Form2* options = openOptions();
    QVERIFY(options);
    QVERIFY(options->isWindow());
    QVERIFY(!options->parentWidget());
    QCOMPARE(options->windowHandle()->transientParent(), form->windowHandle());
    QCOMPARE(options->windowTitle(), QStringLiteral("Optiuni"));
    QCOMPARE(options->size(), QSize(254, 93));
    QCOMPARE(options->palette().color(QPalette::Window), QColor(128, 128, 255));
    QVERIFY(options->windowFlags() & Qt::WindowMaximizeButtonHint ||
            options->windowFlags() == Qt::Window);
    QCOMPARE(Module1::Divisions, 4);
    QCOMPARE(options->VScroll1->value(), 9);
    QCOMPARE(options->Text1->text(), QStringLiteral("4"));
    QCOMPARE(options->Label1->text(), QStringLiteral("Diviziuni pe latura"));
    QCOMPARE(options->Label1->font().pointSizeF(), 13.5);
    QCOMPARE(options->VScroll1->geometry(), QRect(192, 24, 25, 25));
    QCOMPARE(options->Text1->geometry(), QRect(216, 24, 33, 25));
    QCOMPARE(options->Label1->geometry(), QRect(16, 24, 169, 25));
    QVERIFY(options->Label1->autoFillBackground());
    QTRY_COMPARE(QApplication::focusWidget(), options->VScroll1);
}

void FormsTest::arrowsStepTheGridSizeAndStopAtTheEnds() {
    Form2* options = openOptions();
    upperArrow(options);
    QCOMPARE(Module1::Divisions, 5);
    QCOMPARE(options->Text1->text(), QStringLiteral("5"));
    lowerArrow(options);
    lowerArrow(options);
    QCOMPARE(Module1::Divisions, 3);
    QCOMPARE(options->Text1->text(), QStringLiteral("3"));

    QSignalSpy changes(options->VScroll1, &QScrollBar::valueChanged);
    lowerArrow(options); // already at 3
    QCOMPARE(changes.count(), 0);
    QCOMPARE(Module1::Divisions, 3);
    for (int i = 0; i < 9; ++i)
        upperArrow(options);
    QCOMPARE(Module1::Divisions, 10);
    QCOMPARE(options->Text1->text(), QStringLiteral("10"));
    QCOMPARE(changes.count(), 7);

    // The arrow keys work while the scroll bar has the focus.
    options->VScroll1->setFocus();
    QTest::keyClick(options->VScroll1, Qt::Key_Down);
    QCOMPARE(Module1::Divisions, 9);
}

void FormsTest::reopeningResetsButBringingForwardDoesNot() {
    Form2* options = openOptions();
    upperArrow(options);
    upperArrow(options);
    upperArrow(options);
    QCOMPARE(Module1::Divisions, 7);
    // F3 while open only brings the window forward.
    QVERIFY(tivra::testing::activateMainWindow(*form));
    QCOMPARE(openOptions(), options);
    QCOMPARE(Module1::Divisions, 7);
    QCOMPARE(options->Text1->text(), QStringLiteral("7"));
    // Closed and opened again: back to 4.
    options->close();
    QVERIFY(!options->isVisible());
    QVERIFY(tivra::testing::activateMainWindow(*form));
    QCOMPARE(openOptions(), options);
    QCOMPARE(Module1::Divisions, 4);
    QCOMPARE(options->Text1->text(), QStringLiteral("4"));
    QCOMPARE(options->VScroll1->value(), 9);
}

void FormsTest::typedTextChangesNothing() {
    Form2* options = openOptions();
    options->Text1->selectAll();
    QTest::keyClicks(options->Text1, "12");
    QCOMPARE(options->Text1->text(), QStringLiteral("12"));
    QCOMPARE(Module1::Divisions, 4);
    // The next arrow replaces it.
    lowerArrow(options);
    QCOMPARE(options->Text1->text(), QStringLiteral("3"));
}

void FormsTest::changeDuringAGameWaitsForTheNextOne() {
    Form2* options = openOptions();
    QVERIFY(tivra::testing::activateMainWindow(*form));
    QTest::keyClick(form.get(), Qt::Key_F2);
    Puzzle& p = form->puzzle();
    QVERIFY(p.GameActive);
    QVERIFY(!form->action("Optiuni")->isEnabled());
    QVERIFY(options->isVisible()); // an open window stays usable
    auto outlinePixels = [this] {
        const QImage& image = form->surfaces().window.image();
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixel(x, y) == kOutlineColour || image.pixel(x, y) == kCursorColour;
        return count;
    };
    const int outlines = outlinePixels();

    upperArrow(options);
    upperArrow(options);
    QCOMPARE(Module1::Divisions, 6);
    // The running game keeps its 4 x 4 grid: cursor limits, hits, outlines.
    QCOMPARE(p.gridSize(), 4);
    for (int i = 0; i < 8; ++i)
        form->Form_KeyDown(39);
    QCOMPARE(p.CursorCol, 3);
    QCOMPARE(p.HitColumn(p.Board(kSource, 3, 0).X + 5, kSource), 3);
    QCOMPARE(p.HitColumn(p.Board(kSource, 3, 0).X + p.CellWidth + 5, kSource), -1);
    QCOMPARE(outlinePixels(), outlines); // still 4 x 4 boxes
    QVERIFY(!p.IsSolved());

    // Give Up repaints the old grid; the next New Game uses the new size.
    form->Renunta_Click();
    QCOMPARE(p.gridSize(), 4);
    form->JocNou_Click();
    QCOMPARE(p.gridSize(), 6);
    options->close();
}

void FormsTest::helpShowsItsSentence() {
    QTest::keyClick(form.get(), Qt::Key_F1);
    Form3* help = form->helpWindow();
    QVERIFY(help);
    QVERIFY(QTest::qWaitForWindowExposed(help));
    QVERIFY(!help->parentWidget());
    // A tiling window manager floats it over the board.
    QCOMPARE(help->windowHandle()->transientParent(), form->windowHandle());
    QCOMPARE(help->windowTitle(), QStringLiteral("Ajutor"));
    QCOMPARE(help->size(), QSize(312, 213));
    QCOMPARE(help->minimumSize(), help->maximumSize()); // not resizable
    QVERIFY(help->windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!(help->windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(help->Text1->toPlainText(), kHelpText);
    QCOMPARE(kHelpText.size(), 129);
    QCOMPARE(help->Text1->geometry(), QRect(0, 0, 312, 213));
    QVERIFY(help->Text1->isReadOnly());
    QCOMPARE(help->Text1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QTRY_COMPARE(QApplication::focusWidget(), help->Text1);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QVERIFY(qAbs(help->frameGeometry().center().x() - screen.center().x()) <= 1);

    // Typing changes nothing; selecting and copying is allowed.
    QTest::keyClicks(help->Text1, "abc");
    QCOMPARE(help->Text1->toPlainText(), kHelpText);
    QVERIFY(help->Text1->textInteractionFlags() & Qt::TextSelectableByMouse);

    // F1 while open does not place or fill the box again; F1 works in a game.
    help->Text1->setGeometry(5, 5, 50, 50);
    QVERIFY(tivra::testing::activateMainWindow(*form));
    QTest::keyClick(form.get(), Qt::Key_F2);
    QTest::keyClick(form.get(), Qt::Key_F1);
    QCOMPARE(help->Text1->geometry(), QRect(5, 5, 50, 50));
    help->close();
    form->Informatii_Click();
    QCOMPARE(form->helpWindow(), help);
    QCOMPARE(help->Text1->geometry(), QRect(0, 0, 312, 213));
    help->close();
}

// Run in the application's own event loop, where closing the last window quits.
void FormsTest::secondaryWindowsOutliveTheMainWindow() {
    Form2* options = openOptions();
    form->Informatii_Click();
    Form3* help = form->helpWindow();
    QVERIFY(QTest::qWaitForWindowExposed(help));
    QStringList running;
    auto stillRunning = [&](const QString& step) { running << step; };
    QTimer::singleShot(0, form.get(), [&] { form->close(); });
    QTimer::singleShot(100, form.get(), [&] {
        stillRunning("main closed");
        options->close();
    });
    QTimer::singleShot(200, form.get(), [&] {
        stillRunning("options closed");
        help->close();
    });
    QTimer::singleShot(400, form.get(), [&] {
        stillRunning("help closed");
        QCoreApplication::exit(7);
    });
    qApp->setQuitOnLastWindowClosed(true);
    const int status = QApplication::exec();
    qApp->setQuitOnLastWindowClosed(false);
    QCOMPARE(running, QStringList({"main closed", "options closed"}));
    QCOMPARE(status, 0);
}

void FormsTest::exitEndsEverything() {
    openOptions();
    form->Informatii_Click();
    QEventLoop loop;
    QTimer::singleShot(0, form.get(), [this] { form->action("Exit")->trigger(); });
    QCOMPARE(loop.exec(), 0);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false); // the test closes windows on purpose
    FormsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "FormsTest.moc"
