// The decoder of the built-in picture, on its own: no window, no board.
#include "BoardPixels.h"
#include "TestFiles.h"
#include "picture/ScaledJpeg.h"

#include <QTest>
#include <cstring>
#include <limits>

using tivra::testing::encoded;
using tivra::testing::randomBytes;

class JpegDecoderTest : public QObject {
    Q_OBJECT
private slots:
    void reducesAndRefusesDamage();
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

QTEST_GUILESS_MAIN(JpegDecoderTest)
#include "JpegDecoderTest.moc"
