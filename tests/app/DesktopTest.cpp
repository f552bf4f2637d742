// What a desktop user expects beyond the menu: dropping a picture on the
// window, and pictures in every format this Qt reads.
#include "BoardPixels.h"
#include "UiDriving.h"
#include "app/Form1.h"
#include "app/PictureDialog.h"
#include "app/SurfaceView.h"

#include <QImageReader>
#include <QImageWriter>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <memory>

using namespace tivra;

class DesktopTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void dropLoadsBetweenGamesOnly();
    void dropOfABadFileIsRefusedWithTheMessage();
    void everyReadableFormatLoads_data();
    void everyReadableFormatLoads();

private:
    bool drop(const QString& file);

    std::unique_ptr<Form1> form;
    QTemporaryDir dir;
};

void DesktopTest::init() {
    form = tivra::testing::openGameWindow(3);
    QVERIFY(form);
}

void DesktopTest::cleanup() {
    form.reset();
}

// Drags a file over the middle of the window and drops it; returns whether
// the window took the drop.
bool DesktopTest::drop(const QString& file) {
    return tivra::testing::dropFile(*form, file,
                                    QPointF(form->width() / 2.0, form->height() / 2.0));
}

void DesktopTest::dropLoadsBetweenGamesOnly() {
    const QString file = dir.filePath("holiday.JPG");
    QVERIFY(tivra::testing::codedPicture(500, 250).save(file, "JPG"));

    form->JocNou_Click();
    const QImage playing = form->surfaces().window.image().copy();
    QVERIFY(!drop(file)); // refused, as "Incarca Poza" is disabled
    QTest::qWait(20);
    QCOMPARE(form->surfaces().Picture1.pixelSize, QSize(400, 339));
    QCOMPARE(form->surfaces().window.image(), playing);

    form->Renunta_Click();
    QVERIFY(drop(file));
    QTRY_COMPARE(form->surfaces().Picture1.pixelSize, QSize(500, 250));
    QVERIFY(!form->puzzle().GameActive);
    const auto expected = tivra::testing::layoutFor(form->clientArea()->size(), {500, 250});
    QVERIFY(expected);
    QCOMPARE(form->puzzle().BoardWidth, expected->BoardWidth);
    QCOMPARE(form->puzzle().BoardHeight, expected->BoardHeight);

    // A game started before the dropped picture's turn came keeps its board.
    form->Renunta_Click();
    const QString other = dir.filePath("other.png");
    QVERIFY(tivra::testing::codedPicture(300, 300).save(other, "PNG"));
    QVERIFY(drop(other));
    form->JocNou_Click();
    QTest::qWait(20);
    QVERIFY(form->puzzle().GameActive);
    QCOMPARE(form->surfaces().Picture1.pixelSize, QSize(500, 250));

    // Not a file: nothing to take.
    QMimeData text;
    text.setText("just words");
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &enter);
    QVERIFY(!enter.isAccepted());
}

void DesktopTest::dropOfABadFileIsRefusedWithTheMessage() {
    const QString file = dir.filePath("notes.jpg");
    QFile junk(file);
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a picture at all");
    junk.close();
    const QImage before = form->surfaces().window.image().copy();
    tivra::testing::SeenMessage seen;
    tivra::testing::answerNextMessageBox(&seen);
    QVERIFY(drop(file));
    QTRY_VERIFY(!seen.text.isEmpty());
    QVERIFY(seen.text.contains("notes.jpg"));
    QCOMPARE(form->surfaces().window.image(), before);
}

void DesktopTest::everyReadableFormatLoads_data() {
    QTest::addColumn<QByteArray>("format");
    const QList<QByteArray> readable = QImageReader::supportedImageFormats();
    const QList<QByteArray> writable = QImageWriter::supportedImageFormats();
    // Formats this Qt both reads and can make a sample of.
    for (const char* format : {"png", "bmp", "jpg", "webp", "tiff", "ppm", "xpm", "tga"})
        if (readable.contains(format) && writable.contains(format))
            QTest::newRow(format) << QByteArray(format);
}

void DesktopTest::everyReadableFormatLoads() {
    QFETCH(QByteArray, format);
    // Named in capitals, as cameras and old systems do.
    const QString file = dir.filePath("SAMPLE." + QString::fromLatin1(format).toUpper());
    QVERIFY(tivra::testing::codedPicture(320, 200).save(file, format.constData()));
    QVERIFY(matchesPictureFilter(QFileInfo(file).fileName(), allPicturesFilter()));
    QVERIFY(tivra::testing::loadPicture(*form, file));
    QCOMPARE(form->surfaces().Picture1.pixelSize, QSize(320, 200));
    QCOMPARE(
        tivra::testing::boardFault(form->puzzle(), form->surfaces().window,
                                   tivra::testing::freshHomeGrid(form->surfaces().Picture1,
                                                                 form->clientArea()->size(), 4)),
        QString());
}

QTEST_MAIN(DesktopTest)
#include "DesktopTest.moc"
