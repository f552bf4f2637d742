// Every kind of file a player might pick, loaded through the same path as
// "Incarca Poza": the good ones load with the layout the board's arithmetic
// gives, the others are refused with a message and change nothing.
#include "BoardPixels.h"
#include "CatalogueFiles.h"
#include "HeifFiles.h"
#include "TestFiles.h"
#include "UiDriving.h"
#include "app/Form1.h"
#include "app/PictureLoading.h"
#include "app/SurfaceView.h"
#include "picture/DecodeJob.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageWriter>
#include <QMimeData>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QtEndian>
#include <algorithm>
#include <csignal>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <zlib.h>

using namespace tivra;
using namespace tivra::testing;
using tivra::testing::answerNextMessageBox;
using tivra::testing::encoded;
using tivra::testing::randomBytes;
using tivra::testing::SeenMessage;

namespace {

enum class Outcome { Loads, Refused, Either };

struct Case {
    const char* row; // the test row's title
    QString name;
    std::function<void(const QString& path)> make;
    Outcome outcome;
    QSize size;      // for a picture that loads
    QRgb topLeft{0}; // where it matters, the picture's first pixel, near enough
};

void write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A JPEG of the coded test picture, made once.
const QByteArray& sampleJpeg() {
    static const QByteArray jpeg = encoded(tivra::testing::codedPicture(640, 480), "JPG");
    return jpeg;
}

// A PNG whose compressed comment (zTXt) inflates to 256 MB of nothing: a
// decoder that kept what it inflates would hold all of it.
QByteArray textBomb() {
    z_stream stream{};
    deflateInit(&stream, 9);
    const QByteArray nothing(1 << 20, '\0');
    QByteArray packed(1 << 20, '\0');
    stream.next_out = reinterpret_cast<Bytef*>(packed.data());
    stream.avail_out = uInt(packed.size());
    for (int i = 0; i < 256; ++i) {
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(nothing.constData()));
        stream.avail_in = uInt(nothing.size());
        deflate(&stream, i == 255 ? Z_FINISH : Z_NO_FLUSH);
    }
    packed.truncate(qsizetype(stream.total_out));
    deflateEnd(&stream);
    const QByteArray png = encoded(tivra::testing::codedPicture(300, 200), "PNG");
    const qsizetype idat = png.indexOf("IDAT") - 4;
    return png.left(idat) + pngChunk("zTXt", QByteArray("Comment\0\0", 9) + packed) + png.mid(idat);
}

// A progressive JPEG of the coded test picture.
QByteArray progressiveJpeg(int width, int height) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    writer.write(tivra::testing::codedPicture(width, height));
    return bytes;
}

// A "scan bomb": a progressive JPEG's headers, then a thousand tiny scans,
// each of which would cost the decoder a pass over the whole picture.
// Arithmetic coding has a frame marker of its own.
QByteArray scanBomb(bool arithmetic) {
    QByteArray jpeg = progressiveJpeg(64, 48);
    QByteArray bytes = jpeg.left(jpeg.indexOf("\xFF\xDA"));
    if (arithmetic)
        bytes.replace("\xFF\xC2", "\xFF\xCA");
    const QByteArray scan("\xFF\xDA\x00\x08\x01\x01\x00\x00\x00\x00\x12\x34", 12);
    for (int i = 0; i < 1000; ++i)
        bytes += scan;
    return bytes + "\xFF\xD9";
}

const std::vector<Case>& cases() {
    static const std::vector<Case> all = {
        {"empty", "empty.jpg", [](const QString& p) { write(p, {}); }, Outcome::Refused, {}},
        {"JPEG cut in half",
         "half.jpg",
         [](const QString& p) { write(p, sampleJpeg().left(sampleJpeg().size() / 2)); },
         Outcome::Refused,
         {}},
        {"JPEG with damaged middle", "damaged.jpg",
         [](const QString& p) {
             QByteArray bytes = sampleJpeg();
             const QByteArray junk = randomBytes(200, 11);
             bytes.replace(bytes.size() / 2, junk.size(), junk);
             write(p, bytes);
         },
         Outcome::Either, QSize(640, 480)},
        {"random bytes as .jpg",
         "random.jpg",
         [](const QString& p) { write(p, randomBytes(20000, 1)); },
         Outcome::Refused,
         {}},
        {"random bytes as .bmp",
         "random.bmp",
         [](const QString& p) { write(p, randomBytes(20000, 2)); },
         Outcome::Refused,
         {}},
        {"PNG named .jpg", "really-png.jpg",
         [](const QString& p) { write(p, encoded(tivra::testing::codedPicture(300, 200), "PNG")); },
         Outcome::Loads, QSize(300, 200)},
        {"BMP claiming 60000 x 60000",
         "liar.bmp",
         [](const QString& p) { write(p, lyingBitmap(60000, 60000)); },
         Outcome::Refused,
         {}},
        {"PNG claiming 60000 x 60000",
         "liar.png",
         [](const QString& p) { write(p, lyingPng(60000, 60000)); },
         Outcome::Refused,
         {}},
        {"1 x 1", "dot.bmp",
         [](const QString& p) { write(p, plainBitmap(1, 1, qRgb(200, 10, 10))); }, Outcome::Loads,
         QSize(1, 1)},
        {"1 x 4000",
         "needle.bmp",
         [](const QString& p) { write(p, plainBitmap(1, 4000, qRgb(1, 2, 3))); },
         Outcome::Refused,
         {}},
        {"20000 x 50",
         "ribbon.bmp",
         [](const QString& p) { write(p, plainBitmap(20000, 50, qRgb(1, 2, 3))); },
         Outcome::Refused,
         {}},
        {"100 megapixel JPEG", "huge.jpg", [](const QString& p) { write(p, photo(12000, 8400)); },
         Outcome::Loads, QSize(12000, 8400)},
        {"folder named x.jpg",
         "x.jpg",
         [](const QString& p) { QVERIFY(QDir().mkpath(p)); },
         Outcome::Refused,
         {}},
        {"no read permission", "locked.jpg",
         [](const QString& p) {
             write(p, sampleJpeg());
             QFile::setPermissions(p, {});
         },
         Outcome::Either, QSize(640, 480)}, // root reads it anyway
        {"removed before loading",
         "gone.jpg",
         [](const QString& p) {
             write(p, sampleJpeg());
             QFile::remove(p);
         },
         Outcome::Refused,
         {}},
        {"upright photo with orientation tag", "phone.jpg",
         [](const QString& p) {
             // Stored 500 x 300 on its side, tagged to be turned a quarter.
             QImage stored(500, 300, QImage::Format_RGB32);
             stored.fill(qRgb(40, 90, 200));
             QImageWriter writer(p, "jpeg");
             writer.setTransformation(QImageIOHandler::TransformationRotate90);
             QVERIFY(writer.write(stored));
         },
         Outcome::Loads, QSize(300, 500)},
        {"motion photo", "motion.jpg", [](const QString& p) { write(p, motionPhoto()); },
         Outcome::Loads, QSize(1600, 1200)},
        {"JPEG with stray bytes before a marker", "stray.jpg",
         [](const QString& p) { write(p, strayBytesBeforeAMarker(sampleJpeg())); }, Outcome::Loads,
         QSize(640, 480)},
        {"top-down bitmap", "topdown.bmp",
         [](const QString& p) { write(p, topDownBitmap(tivra::testing::codedPicture(300, 200))); },
         Outcome::Loads, QSize(300, 200), tivra::testing::codedPicture(1, 1).pixel(0, 0)},
        {"HEIC", "IMG_0042.HEIC",
         [](const QString& p) {
             write(p, tivra::testing::heifFile(scene(640, 480), tivra::testing::HeifCodec::Hevc));
         },
         Outcome::Loads, QSize(640, 480), qRgb(0, 0, 90)},
        {"AVIF", "picture.avif",
         [](const QString& p) {
             write(p, tivra::testing::heifFile(scene(480, 640), tivra::testing::HeifCodec::Av1));
         },
         Outcome::Loads, QSize(480, 640), qRgb(0, 0, 90)},
        {"AVIF sequence: its first frame", "animation.avif",
         [](const QString& p) {
             QImage later = scene(320, 240);
             later.fill(qRgb(200, 30, 30));
             write(p, tivra::testing::avifSequence({scene(320, 240), later, later}));
         },
         Outcome::Loads, QSize(320, 240), qRgb(0, 0, 90)},
        // Grids as cameras write them, honest and lying: a grid whose data
        // claims 30,000 x 30,000 behind a size property of 640 x 480 would
        // take gigabytes, and is refused.
        {"HEIC grid", "grid.heic",
         [](const QString& p) {
             write(p, tivra::testing::heifGridFile(scene(640, 480), tivra::testing::HeifCodec::Hevc,
                                                   {640, 480}, {640, 480}));
         },
         Outcome::Loads, QSize(640, 480), qRgb(0, 0, 90)},
        {"HEIC grid lying about its size",
         "lying-grid.heic",
         [](const QString& p) {
             write(p, tivra::testing::heifGridFile(scene(640, 480), tivra::testing::HeifCodec::Hevc,
                                                   {30000, 30000}, {640, 480}));
         },
         Outcome::Refused,
         {}},
        {"AVIF grid lying about its size",
         "lying-grid.avif",
         [](const QString& p) {
             write(p, tivra::testing::heifGridFile(scene(480, 640), tivra::testing::HeifCodec::Av1,
                                                   {30000, 30000}, {480, 640}));
         },
         Outcome::Refused,
         {}},
        {"40 megapixel TIFF", "scan.tiff",
         [](const QString& p) {
             QImage big(7300, 5480, QImage::Format_RGB32);
             big.fill(qRgb(200, 60, 30));
             QImageWriter writer(p, "tiff");
             writer.setCompression(1); // LZW
             QVERIFY(writer.write(big));
         },
         Outcome::Loads, QSize(7300, 5480), qRgb(200, 60, 30)},
        {"4 GB file that starts as a JPEG",
         "huge-sparse.jpg",
         [](const QString& p) {
             QFile file(p);
             QVERIFY(file.open(QIODevice::WriteOnly));
             file.write(photo(64, 64).left(600));
             QVERIFY(file.resize(qint64(4) << 30));
         },
         Outcome::Refused,
         {}},
        {"PNG of 120 megapixels",
         "giant.png",
         [](const QString& p) { write(p, lyingPng(12000, 10000)); },
         Outcome::Refused,
         {}},
        {"named pipe",
         "pipe.jpg",
         [](const QString& p) { QCOMPARE(::mkfifo(qPrintable(p), 0600), 0); },
         Outcome::Refused,
         {}},
        {"one byte repeated as .bmp",
         "junk.bmp",
         [](const QString& p) { write(p, QByteArray(5000, '\x5A')); },
         Outcome::Refused,
         {}},
        {"never existed", "missing.jpg", [](const QString&) {}, Outcome::Refused, {}},
        {"PNG with transparent pixels that store pink", "logo.png",
         [](const QString& p) { QVERIFY(seeThrough(false).save(p, "PNG")); }, Outcome::Loads,
         QSize(300, 200), qRgb(255, 255, 255)},
        {"PNG half see-through", "glass.png",
         [](const QString& p) { QVERIFY(seeThrough(true).save(p, "PNG")); }, Outcome::Loads,
         QSize(300, 200), qRgb(255, 127, 127)},
        {"scan bomb, Huffman coded",
         "scans.jpg",
         [](const QString& p) { write(p, scanBomb(false)); },
         Outcome::Refused,
         {}},
        {"scan bomb, arithmetic coded",
         "scans-arith.jpg",
         [](const QString& p) { write(p, scanBomb(true)); },
         Outcome::Refused,
         {}},
        {"progressive JPEG claiming 65000 x 65000",
         "vast-progressive.jpg",
         [](const QString& p) {
             write(p, resized(progressiveJpeg(64, 48), "\xFF\xC2", 65000, 65000));
         },
         Outcome::Refused,
         {}},
        {"baseline JPEG claiming 65000 x 65000",
         "vast.jpg",
         [](const QString& p) { write(p, resized(sampleJpeg(), "\xFF\xC0", 65000, 65000)); },
         Outcome::Refused,
         {}},
        {"TGA", "sprite.tga",
         [](const QString& p) { write(p, targa(tivra::testing::codedPicture(200, 100))); },
         Outcome::Loads, QSize(200, 100), tivra::testing::codedPicture(1, 1).pixel(0, 0)},
        {"TGA 1.0, without a footer", "old.tga",
         [](const QString& p) { write(p, targa(tivra::testing::codedPicture(200, 100), false)); },
         Outcome::Loads, QSize(200, 100), tivra::testing::codedPicture(1, 1).pixel(0, 0)},
        {"ICNS, which tells no size before decoding", "app.icns",
         [](const QString& p) { QVERIFY(scene(256, 256).save(p, "icns")); }, Outcome::Loads,
         QSize(256, 256)},
        {"WebP of 4096 x 4096, decoded at the board's size", "wallpaper.webp",
         [](const QString& p) {
             QImage big(4096, 4096, QImage::Format_RGB32);
             big.fill(qRgb(30, 120, 200));
             QVERIFY(big.save(p, "webp"));
         },
         Outcome::Loads, QSize(4096, 4096), qRgb(30, 120, 200)},
        {"WebP with transparency", "sticker.webp",
         [](const QString& p) { QVERIFY(seeThrough(false).save(p, "webp", 100)); }, Outcome::Loads,
         QSize(300, 200), qRgb(255, 255, 255)},
        {"PNG with a comment that inflates to 256 MB", "bomb.png",
         [](const QString& p) { write(p, textBomb()); }, Outcome::Loads, QSize(300, 200),
         tivra::testing::codedPicture(1, 1).pixel(0, 0)},
        {"JPEG with 100 MB of comments", "wordy.jpg",
         [](const QString& p) { write(p, wordyJpeg(sampleJpeg())); }, Outcome::Loads,
         QSize(640, 480)},
    };
    return all;
}

} // namespace

class BadPicturesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void eachFile_data();
    void eachFile();
    void misbehavingDecoders_data();
    void misbehavingDecoders();
    void waitingCanBeCancelledOrReplaced();

private:
    std::unique_ptr<Form1> form;
    QTemporaryDir dir;
};

void BadPicturesTest::initTestCase() {
    form = tivra::testing::openGameWindow(5);
    QVERIFY(form);
}

void BadPicturesTest::cleanupTestCase() {
    form.reset();
}

void BadPicturesTest::eachFile_data() {
    QTest::addColumn<QString>("name");
    for (const Case& c : cases())
        QTest::newRow(c.row) << c.name;
}

void BadPicturesTest::eachFile() {
    QFETCH(QString, name);
    const auto found =
        std::find_if(cases().begin(), cases().end(), [&](const Case& c) { return c.name == name; });
    QVERIFY(found != cases().end());
    const Case& c = *found;
    const QString path = dir.filePath(c.name);
    c.make(path);

    Puzzle& p = form->puzzle();
    const QImage before = form->surfaces().window.image().copy();
    const QSize pictureBefore = form->surfaces().Picture1.pixelSize;
    const bool activeBefore = p.GameActive;
    SeenMessage seen;
    QObject row; // a message box watched for and not shown is not watched for after
    answerNextMessageBox(&seen, {}, &row);
    const bool loaded = tivra::testing::loadPicture(*form, path);
    QVERIFY(!QApplication::overrideCursor()); // the busy pointer is gone

    if (c.outcome == Outcome::Loads)
        QVERIFY2(loaded, qPrintable(c.name));
    if (c.outcome == Outcome::Refused)
        QVERIFY2(!loaded, qPrintable(c.name));
    if (loaded) {
        QCOMPARE(form->surfaces().Picture1.pixelSize, c.size);
        const QSize client = form->clientArea()->size();
        const auto expected = layoutFor(client, c.size);
        QVERIFY(expected);
        QCOMPARE(p.BoardWidth, expected->BoardWidth);
        QCOMPARE(p.BoardHeight, expected->BoardHeight);
        QCOMPARE(p.CellWidth, expected->CellWidth);
        // No grey half: the bottom rows are the picture's, not a filler.
        const QImage& image = form->surfaces().Picture1.image;
        const QRgb lastRow = image.pixel(image.width() / 2, image.height() - 1);
        QVERIFY(lastRow != qRgb(128, 128, 128));
        if (c.topLeft != 0) {
            const QRgb first = image.pixel(0, 0);
            QVERIFY2(tivra::testing::colourDistance(first, c.topLeft) < 24,
                     qPrintable(QString::number(first, 16)));
        }
        QCOMPARE(tivra::testing::boardFault(
                     p, form->surfaces().window,
                     tivra::testing::freshHomeGrid(form->surfaces().Picture1, client, 4)),
                 QString());
    } else {
        QTRY_VERIFY(!seen.text.isEmpty());
        QCOMPARE(seen.title, QStringLiteral("Tivra"));
        QCOMPARE(seen.buttons, 1);
        QVERIFY2(seen.text.contains(c.name), qPrintable(seen.text));
        QCOMPARE(form->surfaces().window.image(), before);
        QCOMPARE(form->surfaces().Picture1.pixelSize, pictureBefore);
        QCOMPARE(p.GameActive, activeBefore);
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QFile::remove(path); // the large ones take room
}

void BadPicturesTest::misbehavingDecoders_data() {
    QTest::addColumn<QByteArray>("how");
    QTest::addColumn<bool>("killedFromOutside");
    for (const char* how : {"crash", "garbage", "oversized", "open", "socket", "exec", "hang"})
        QTest::newRow(how) << QByteArray(how) << false;
    QTest::newRow("killed") << QByteArray("hang") << true;
}

// A good picture, through a helper that crashes, is killed, hangs, answers
// nonsense or breaks its confinement: the player gets the usual refusal,
// the board is untouched, and the window goes on answering meanwhile.
void BadPicturesTest::misbehavingDecoders() {
    QFETCH(QByteArray, how);
    QFETCH(bool, killedFromOutside);
    const QString path = dir.filePath(QStringLiteral("honest.png"));
    QVERIFY(tivra::testing::codedPicture(300, 200).save(path, "PNG"));
    qputenv("TIVRA_MISBEHAVE", how);
    form->setDecodeHelper(QStringLiteral(TIVRA_MISBEHAVING_DECODER));
    auto restore = qScopeGuard([this] {
        qunsetenv("TIVRA_MISBEHAVE");
        form->setDecodeHelper(QStringLiteral(TIVRA_DECODE_HELPER));
    });

    const QImage before = form->surfaces().window.image().copy();
    const QSize pictureBefore = form->surfaces().Picture1.pixelSize;
    int ticks = 0;
    QTimer clock;
    connect(&clock, &QTimer::timeout, [&] {
        ++ticks;
        if (killedFromOutside && ticks == 20 && form->pictureLoading().decoding())
            ::kill(static_cast<pid_t>(form->pictureLoading().decoding()->helperPid()), SIGKILL);
    });
    clock.start(10);
    SeenMessage seen;
    QObject row;
    answerNextMessageBox(&seen, {}, &row);
    QElapsedTimer waited;
    waited.start();
    QVERIFY(!tivra::testing::loadPicture(*form, path));
    const qint64 elapsed = waited.elapsed();
    clock.stop();
    QTRY_VERIFY(!seen.text.isEmpty());
    QVERIFY2(seen.text.contains(QStringLiteral("honest.png")), qPrintable(seen.text));
    QCOMPARE(form->surfaces().window.image(), before);
    QCOMPARE(form->surfaces().Picture1.pixelSize, pictureBefore);
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(form->action(QStringLiteral("IncarcaPoza"))->isEnabled());
    // A helper that never answers is given up after the time limit, and the
    // window answered all along (its timer kept firing).
    if (how == "hang") {
        QVERIFY(ticks > 10);
        QVERIFY2(killedFromOutside || elapsed >= DecodeJob::kTimeLimitMs,
                 qPrintable(QString::number(elapsed)));
    }
}

// While a picture decodes, Esc gives it up without a message, and a picture
// dropped on the window takes its place.
void BadPicturesTest::waitingCanBeCancelledOrReplaced() {
    const QString slow = dir.filePath(QStringLiteral("slow.png"));
    const QString dropped = dir.filePath(QStringLiteral("dropped.png"));
    QVERIFY(tivra::testing::codedPicture(300, 200).save(slow, "PNG"));
    QVERIFY(tivra::testing::codedPicture(240, 320).save(dropped, "PNG"));
    qputenv("TIVRA_MISBEHAVE", "hang");
    auto restore = qScopeGuard([this] {
        qunsetenv("TIVRA_MISBEHAVE");
        form->setDecodeHelper(QStringLiteral(TIVRA_DECODE_HELPER));
    });
    const QImage before = form->surfaces().window.image().copy();
    const QSize pictureBefore = form->surfaces().Picture1.pixelSize;

    form->setDecodeHelper(QStringLiteral(TIVRA_MISBEHAVING_DECODER));
    QVERIFY(tivra::testing::activateMainWindow(*form)); // the player's keys go there
    SeenMessage seen;
    QObject watching;
    answerNextMessageBox(&seen, {}, &watching);
    QTimer::singleShot(200, form.get(), [this] { QTest::keyClick(form.get(), Qt::Key_Escape); });
    QElapsedTimer waited;
    waited.start();
    QVERIFY(!tivra::testing::loadPicture(*form, slow));
    QVERIFY(waited.elapsed() < DecodeJob::kTimeLimitMs);
    QTest::qWait(50);
    QCOMPARE(seen.text, QString()); // given up by the player: nothing to tell
    QCOMPARE(form->surfaces().window.image(), before);
    QCOMPARE(form->surfaces().Picture1.pixelSize, pictureBefore);

    QTimer::singleShot(200, form.get(), [this, dropped] {
        form->setDecodeHelper(QStringLiteral(TIVRA_DECODE_HELPER));
        tivra::testing::dropFile(*form, dropped, QPointF(100, 100));
    });
    form->setDecodeHelper(QStringLiteral(TIVRA_MISBEHAVING_DECODER));
    QVERIFY(tivra::testing::loadPicture(*form, slow));
    QCOMPARE(form->surfaces().Picture1.pixelSize, QSize(240, 320));
}

QTEST_MAIN(BadPicturesTest)
#include "BadPicturesTest.moc"
