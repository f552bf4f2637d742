// Every kind of file a player might pick, loaded through the same path as
// "Incarca Poza": the good ones load with the layout the board's arithmetic
// gives, the others are refused with a message and change nothing.
#include "BoardPixels.h"
#include "HeifFiles.h"
#include "UiDriving.h"
#include "app/Form1.h"
#include "app/ScaledJpeg.h"
#include "app/SurfaceView.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <sys/stat.h>

using namespace tivra;
using tivra::testing::answerNextMessageBox;
using tivra::testing::SeenMessage;

namespace {

enum class Outcome { Loads, Refused, Either };

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray randomBytes(int count, unsigned seed) {
    std::mt19937 gen(seed);
    QByteArray bytes(count, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(gen() & 0xFF);
    return bytes;
}

void put32le(QByteArray& bytes, int at, quint32 value) {
    qToLittleEndian(value, bytes.data() + at);
}

// A bitmap whose header claims width x height but that holds a few bytes only.
QByteArray lyingBitmap(int width, int height) {
    QByteArray bytes(54 + 64, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32le(bytes, 2, static_cast<quint32>(bytes.size()));
    put32le(bytes, 10, 54);
    put32le(bytes, 14, 40);
    put32le(bytes, 18, static_cast<quint32>(width));
    put32le(bytes, 22, static_cast<quint32>(height));
    bytes[26] = 1;  // planes
    bytes[28] = 24; // bits per pixel
    return bytes;
}

quint32 crc32(const QByteArray& data) {
    quint32 crc = 0xFFFFFFFFu;
    for (char c : data) {
        crc ^= static_cast<quint8>(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray pngChunk(const char* type, const QByteArray& body) {
    QByteArray chunk(4, '\0');
    qToBigEndian(static_cast<quint32>(body.size()), chunk.data());
    const QByteArray typed = QByteArray(type) + body;
    QByteArray crc(4, '\0');
    qToBigEndian(crc32(typed), crc.data());
    return chunk + typed + crc;
}

// A PNG whose header claims width x height, with almost no pixel data.
QByteArray lyingPng(int width, int height) {
    QByteArray header(13, '\0');
    qToBigEndian(static_cast<quint32>(width), header.data());
    qToBigEndian(static_cast<quint32>(height), header.data() + 4);
    header[8] = 8; // bits per channel
    header[9] = 2; // RGB
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) +
           pngChunk("IDAT", QByteArray::fromHex("789c030000000001")) + pngChunk("IEND", {});
}

// A bitmap of one colour.
QByteArray plainBitmap(int width, int height, QRgb colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return encoded(image, "BMP");
}

QByteArray photo(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(qRgb(30, 160, 90));
    for (int y = 0; y < height; y += 97)
        for (int x = 0; x < width; x += 89)
            image.setPixel(x, y, qRgb(250, 250, 250));
    return encoded(image, "JPG");
}

// A phone's motion photo: the picture, then a video that happens to hold a
// start-of-scan marker and no end-of-image marker after it.
QByteArray motionPhoto() {
    QByteArray video = randomBytes(2 << 20, 21);
    video.replace("\xFF\xD9", "\xFF\x00");
    video.replace(1000, 2, "\xFF\xDA");
    return photo(1600, 1200) + video;
}

// Three stray bytes before the JPEG's first Huffman table, which the decoder
// skips with a warning and no harm.
QByteArray strayBytesBeforeAMarker(const QByteArray& jpeg) {
    QByteArray bytes = jpeg;
    bytes.insert(static_cast<int>(bytes.indexOf("\xFF\xC4")), "\x12\x34\x56");
    return bytes;
}

// A bitmap stored top-down: a negative height, the first row first.
QByteArray topDownBitmap(const QImage& picture) {
    QByteArray bytes = encoded(picture.convertToFormat(QImage::Format_RGB888), "BMP");
    const int offset = qFromLittleEndian<qint32>(bytes.constData() + 10);
    const int height = qFromLittleEndian<qint32>(bytes.constData() + 22);
    const int row = static_cast<int>((bytes.size() - offset) / height);
    QByteArray flipped = bytes.left(offset);
    for (int y = height - 1; y >= 0; --y)
        flipped += bytes.mid(offset + y * row, row);
    put32le(flipped, 22, static_cast<quint32>(-height));
    return flipped;
}

// A smooth scene, as a camera's picture is.
QImage scene(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, 90));
    return image;
}

struct Case {
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

} // namespace

class BadPicturesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void eachFile_data();
    void eachFile();
    void builtInPictureDecoder();

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
    QTest::addColumn<int>("index");
    QTest::newRow("empty") << 0;
    QTest::newRow("JPEG cut in half") << 1;
    QTest::newRow("JPEG with damaged middle") << 2;
    QTest::newRow("random bytes as .jpg") << 3;
    QTest::newRow("random bytes as .bmp") << 4;
    QTest::newRow("PNG named .jpg") << 5;
    QTest::newRow("BMP claiming 60000 x 60000") << 6;
    QTest::newRow("PNG claiming 60000 x 60000") << 7;
    QTest::newRow("1 x 1") << 8;
    QTest::newRow("1 x 4000") << 9;
    QTest::newRow("20000 x 50") << 10;
    QTest::newRow("100 megapixel JPEG") << 11;
    QTest::newRow("folder named x.jpg") << 12;
    QTest::newRow("no read permission") << 13;
    QTest::newRow("removed before loading") << 14;
    QTest::newRow("upright photo with orientation tag") << 15;
    QTest::newRow("motion photo") << 16;
    QTest::newRow("JPEG with stray bytes before a marker") << 17;
    QTest::newRow("top-down bitmap") << 18;
    QTest::newRow("HEIC") << 19;
    QTest::newRow("AVIF") << 20;
    QTest::newRow("40 megapixel TIFF") << 21;
    QTest::newRow("4 GB file that starts as a JPEG") << 22;
    QTest::newRow("PNG of 120 megapixels") << 23;
    QTest::newRow("named pipe") << 24;
}

void BadPicturesTest::eachFile() {
    QFETCH(int, index);
    const QByteArray jpeg = encoded(tivra::testing::codedPicture(640, 480), "JPG");
    const std::vector<Case> cases = {
        {"empty.jpg", [](const QString& p) { write(p, {}); }, Outcome::Refused, {}},
        {"half.jpg",
         [&](const QString& p) { write(p, jpeg.left(jpeg.size() / 2)); },
         Outcome::Refused,
         {}},
        {"damaged.jpg",
         [&](const QString& p) {
             QByteArray bytes = jpeg;
             const QByteArray junk = randomBytes(200, 11);
             bytes.replace(bytes.size() / 2, junk.size(), junk);
             write(p, bytes);
         },
         Outcome::Either, QSize(640, 480)},
        {"random.jpg",
         [](const QString& p) { write(p, randomBytes(20000, 1)); },
         Outcome::Refused,
         {}},
        {"random.bmp",
         [](const QString& p) { write(p, randomBytes(20000, 2)); },
         Outcome::Refused,
         {}},
        {"really-png.jpg",
         [](const QString& p) { write(p, encoded(tivra::testing::codedPicture(300, 200), "PNG")); },
         Outcome::Loads, QSize(300, 200)},
        {"liar.bmp",
         [](const QString& p) { write(p, lyingBitmap(60000, 60000)); },
         Outcome::Refused,
         {}},
        {"liar.png",
         [](const QString& p) { write(p, lyingPng(60000, 60000)); },
         Outcome::Refused,
         {}},
        {"dot.bmp", [](const QString& p) { write(p, plainBitmap(1, 1, qRgb(200, 10, 10))); },
         Outcome::Loads, QSize(1, 1)},
        {"needle.bmp",
         [](const QString& p) { write(p, plainBitmap(1, 4000, qRgb(1, 2, 3))); },
         Outcome::Refused,
         {}},
        {"ribbon.bmp",
         [](const QString& p) { write(p, plainBitmap(20000, 50, qRgb(1, 2, 3))); },
         Outcome::Refused,
         {}},
        {"huge.jpg", [](const QString& p) { write(p, photo(12000, 8400)); }, Outcome::Loads,
         QSize(12000, 8400)},
        {"x.jpg", [](const QString& p) { QVERIFY(QDir().mkpath(p)); }, Outcome::Refused, {}},
        {"locked.jpg",
         [&](const QString& p) {
             write(p, jpeg);
             QFile::setPermissions(p, {});
         },
         Outcome::Either, QSize(640, 480)}, // root reads it anyway
        {"gone.jpg",
         [&](const QString& p) {
             write(p, jpeg);
             QFile::remove(p);
         },
         Outcome::Refused,
         {}},
        {"phone.jpg",
         [](const QString& p) {
             // Stored 500 x 300 on its side, tagged to be turned a quarter.
             QImage stored(500, 300, QImage::Format_RGB32);
             stored.fill(qRgb(40, 90, 200));
             QImageWriter writer(p, "jpeg");
             writer.setTransformation(QImageIOHandler::TransformationRotate90);
             QVERIFY(writer.write(stored));
         },
         Outcome::Loads, QSize(300, 500)},
        {"motion.jpg", [](const QString& p) { write(p, motionPhoto()); }, Outcome::Loads,
         QSize(1600, 1200)},
        {"stray.jpg", [&](const QString& p) { write(p, strayBytesBeforeAMarker(jpeg)); },
         Outcome::Loads, QSize(640, 480)},
        {"topdown.bmp",
         [](const QString& p) { write(p, topDownBitmap(tivra::testing::codedPicture(300, 200))); },
         Outcome::Loads, QSize(300, 200), tivra::testing::codedPicture(1, 1).pixel(0, 0)},
        {"IMG_0042.HEIC",
         [](const QString& p) {
             write(p, tivra::testing::heifFile(scene(640, 480), tivra::testing::HeifCodec::Hevc));
         },
         Outcome::Loads, QSize(640, 480), qRgb(0, 0, 90)},
        {"picture.avif",
         [](const QString& p) {
             write(p, tivra::testing::heifFile(scene(480, 640), tivra::testing::HeifCodec::Av1));
         },
         Outcome::Loads, QSize(480, 640), qRgb(0, 0, 90)},
        {"scan.tiff",
         [](const QString& p) {
             QImage big(7300, 5480, QImage::Format_RGB32);
             big.fill(qRgb(200, 60, 30));
             QImageWriter writer(p, "tiff");
             writer.setCompression(1); // LZW
             QVERIFY(writer.write(big));
         },
         Outcome::Loads, QSize(7300, 5480), qRgb(200, 60, 30)},
        {"huge-sparse.jpg",
         [](const QString& p) {
             QFile file(p);
             QVERIFY(file.open(QIODevice::WriteOnly));
             file.write(photo(64, 64).left(600));
             QVERIFY(file.resize(qint64(4) << 30));
         },
         Outcome::Refused,
         {}},
        {"giant.png",
         [](const QString& p) { write(p, lyingPng(12000, 10000)); },
         Outcome::Refused,
         {}},
        {"pipe.jpg",
         [](const QString& p) { QCOMPARE(::mkfifo(qPrintable(p), 0600), 0); },
         Outcome::Refused,
         {}},
    };
    const Case& c = cases.at(static_cast<std::size_t>(index));
    const QString path = dir.filePath(c.name);
    c.make(path);

    Puzzle& p = form->puzzle();
    const QImage before = form->surfaces().window.image().copy();
    const QSize pictureBefore = form->surfaces().Picture1.pixelSize;
    const bool activeBefore = p.GameActive;
    SeenMessage seen;
    answerNextMessageBox(&seen);
    const bool loaded = form->loadPictureFile(path);
    if (loaded)
        QTest::qWait(20);                     // let the unused message-box watcher find nothing
    QVERIFY(!QApplication::overrideCursor()); // the busy pointer is gone

    if (c.outcome == Outcome::Loads)
        QVERIFY2(loaded, qPrintable(c.name));
    if (c.outcome == Outcome::Refused)
        QVERIFY2(!loaded, qPrintable(c.name));
    if (loaded) {
        QCOMPARE(form->surfaces().Picture1.pixelSize, c.size);
        Puzzle expected;
        const QSize client = form->clientArea()->size();
        QVERIFY(expected.ComputeLayout(client.width(), client.height(), c.size.width(),
                                       c.size.height(), 4));
        QCOMPARE(p.BoardWidth, expected.BoardWidth);
        QCOMPARE(p.BoardHeight, expected.BoardHeight);
        QCOMPARE(p.CellWidth, expected.CellWidth);
        // No grey half: the bottom rows are the picture's, not a filler.
        const QImage& image = form->surfaces().Picture1.image;
        const QRgb lastRow = image.pixel(image.width() / 2, image.height() - 1);
        QVERIFY(lastRow != qRgb(128, 128, 128));
        if (c.topLeft != 0) {
            const QRgb first = image.pixel(0, 0);
            QVERIFY2(qAbs(qRed(first) - qRed(c.topLeft)) + qAbs(qGreen(first) - qGreen(c.topLeft)) +
                             qAbs(qBlue(first) - qBlue(c.topLeft)) <
                         24,
                     qPrintable(QString::number(first, 16)));
        }
        QCOMPARE(tivra::testing::boardFault(
                     p, form->surfaces().window,
                     tivra::testing::freshHomeGrid(form->surfaces().Picture1, client, 4)),
                 QString());
    } else {
        QTRY_VERIFY(!seen.text.isEmpty());
        QCOMPARE(seen.title, QStringLiteral("Tivra"));
        QVERIFY2(seen.text.contains(c.name), qPrintable(seen.text));
        QCOMPARE(form->surfaces().window.image(), before);
        QCOMPARE(form->surfaces().Picture1.pixelSize, pictureBefore);
        QCOMPARE(p.GameActive, activeBefore);
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QFile::remove(path); // the large ones take room
}

// The decoder the built-in picture is drawn with reduces by the eighths
// libjpeg is quick at, no further than the size asked for, gives the pixels
// Qt's own reader does, and a null picture, not a crash or a half-drawn
// one, for damaged data.
void BadPicturesTest::builtInPictureDecoder() {
    const QByteArray jpeg = encoded(tivra::testing::codedPicture(640, 480), "JPG");
    auto decode = [](const QByteArray& bytes, QSize atLeast) {
        return decodeJpeg(reinterpret_cast<const unsigned char*>(bytes.constData()),
                          static_cast<std::size_t>(bytes.size()), atLeast);
    };
    QCOMPARE(decode(jpeg, QSize(640, 480)).size(), QSize(640, 480));
    QCOMPARE(decode(jpeg, QSize(300, 200)).size(), QSize(320, 240));
    QCOMPARE(decode(jpeg, QSize(321, 200)).size(), QSize(640, 480));
    QCOMPARE(decode(jpeg, QSize(10, 10)).size(), QSize(80, 60));
    QCOMPARE(decode(jpeg, QSize(2000, 2000)).size(), QSize(640, 480));
    const QImage whole = decode(jpeg, QSize(640, 480));
    QCOMPARE(whole.format(), QImage::Format_RGB32);
    QVERIFY(tivra::testing::meanDifference(whole, QImage::fromData(jpeg, "JPG")) < 1.0);

    // In bands, each repeating the last rows of the one before: put back
    // together, the whole picture.
    QImage rebuilt(whole.size(), QImage::Format_RGB32);
    int nextTop = 0;
    const auto bytes = reinterpret_cast<const unsigned char*>(jpeg.constData());
    QVERIFY(decodeJpegInBands(bytes, static_cast<std::size_t>(jpeg.size()), QSize(640, 480), 50, 3,
                              [&](const QImage& band, int top, QSize size) {
                                  QCOMPARE(size, QSize(640, 480));
                                  QCOMPARE(top, nextTop);
                                  for (int y = 0; y < band.height(); ++y)
                                      std::memcpy(rebuilt.scanLine(top + y), band.constScanLine(y),
                                                  640 * sizeof(QRgb));
                                  nextTop = top + band.height() - 3;
                              }));
    QCOMPARE(nextTop, 480 - 3);
    QCOMPARE(rebuilt, whole);

    QByteArray damaged = jpeg;
    const QByteArray junk = randomBytes(200, 11);
    damaged.replace(damaged.size() / 2, junk.size(), junk);
    for (const QByteArray& bad :
         {jpeg.left(jpeg.size() / 2), damaged, randomBytes(20000, 1), QByteArray(), jpeg.left(300)})
        QVERIFY(decode(bad, QSize(640, 480)).isNull());
}

QTEST_MAIN(BadPicturesTest)
#include "BadPicturesTest.moc"
