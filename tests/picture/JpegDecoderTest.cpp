// The decoder of the built-in picture, on its own: no window, no board.
#include "BoardPixels.h"
#include "TestFiles.h"
#include "picture/JpegStructure.h"
#include "picture/ScaledJpeg.h"

#include <QBuffer>
#include <QImageWriter>
#include <QTest>
#include <QtEndian>
#include <cstring>
#include <limits>

using namespace tivra;

using tivra::testing::encoded;
using tivra::testing::randomBytes;

class JpegDecoderTest : public QObject {
    Q_OBJECT
private slots:
    void reducesAndRefusesDamage();
    void walksTheStructureWithoutDecoding();
};

// The decoder the built-in picture is drawn with reduces by the eighths
// libjpeg is quick at, no further than the size asked for, gives the pixels
// Qt's own reader does, and a null picture, not a crash or a half-drawn
// one, for damaged data.
void JpegDecoderTest::reducesAndRefusesDamage() {
    const QByteArray jpeg = encoded(tivra::testing::codedPicture(640, 480), "JPG");
    // The whole picture as one band.
    auto decode = [](const QByteArray& bytes, QSize atLeast) {
        QImage picture;
        const bool whole = decodeJpegInBands(
            reinterpret_cast<const unsigned char*>(bytes.constData()),
            static_cast<std::size_t>(bytes.size()), atLeast, std::numeric_limits<int>::max(), 0,
            [&](const QImage& band, int, QSize) { picture = band; });
        return whole ? picture : QImage();
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

// What the loader's limits read from a JPEG's headers: its scans, and the
// coefficients a progressive decode would hold, at each component's own
// sampling: a 100-megapixel photo in 4:2:0 holds 1.5 a pixel.
void JpegDecoderTest::walksTheStructureWithoutDecoding() {
    QByteArray progressive;
    {
        QBuffer buffer(&progressive);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setProgressiveScanWrite(true);
        writer.setSubType("4:2:0");
        QVERIFY(writer.write(tivra::testing::codedPicture(64, 48)));
    }
    auto layoutOf = [](QByteArray bytes, int width, int height) {
        const qsizetype frame = bytes.indexOf("\xFF\xC2");
        qToBigEndian(static_cast<quint16>(height), bytes.data() + frame + 5);
        qToBigEndian(static_cast<quint16>(width), bytes.data() + frame + 7);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        return jpegLayout(buffer, bytes.size());
    };
    const auto photo = layoutOf(progressive, 12248, 8165);
    QVERIFY(photo);
    QVERIFY(photo->progressive);
    QVERIFY(photo->scans > 1);
    QVERIFY(photo->scans < 20);
    // Y in 2 x 2 blocks' worth, Cb and Cr a quarter each, in whole blocks.
    const qint64 luma = qint64((12248 + 7) / 8) * ((8165 + 7) / 8) * 64;
    const qint64 chroma = qint64((12248 / 2 + 7) / 8) * ((8165 / 2 + 7) / 8) * 64;
    QCOMPARE(photo->coefficients, luma + 2 * chroma);
    QVERIFY(photo->coefficients < 256'000'000); // decoded, as before
    QVERIFY(layoutOf(progressive, 65000, 65000)->coefficients > 6'000'000'000);
    // Comments are left out of what is read, with their markers.
    const QByteArray noted = progressive.left(2) +
                             QByteArray("\xFF\xFE\x00\x05"
                                        "abc",
                                        7) +
                             progressive.mid(2);
    QBuffer buffer(const_cast<QByteArray*>(&noted));
    buffer.open(QIODevice::ReadOnly);
    const auto layout = jpegLayout(buffer, noted.size());
    QVERIFY(layout);
    QCOMPARE(layout->unneeded.size(), 1);
    QCOMPARE(layout->unneeded.first(), qMakePair(qint64(2), qint64(7)));
    QCOMPARE(layout->end, noted.size());
}

QTEST_GUILESS_MAIN(JpegDecoderTest)
#include "JpegDecoderTest.moc"
