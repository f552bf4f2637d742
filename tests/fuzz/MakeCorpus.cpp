// Writes the fuzzer's seed pictures: small files of each format the game
// reads, each with the leading byte the fuzzer reads as its settings.
#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

#include "HeifFiles.h"
#include "picture/DecodeAnswer.h"

using namespace tivra;

namespace {

QImage scene(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 9) & 255, (y * 5) & 255, ((x ^ y) * 3) & 255));
    return image;
}

bool write(const QDir& dir, const QString& name, char settings, const QImage& image,
           const char* format, bool turned = false) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (turned)
        writer.setTransformation(QImageIOHandler::TransformationRotate90);
    if (!writer.write(image))
        return false;
    QFile file(dir.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(QByteArray(1, settings) + bytes) > 0;
}

bool writeHeif(const QDir& dir, const QString& name, char settings, const QImage& image,
               tivra::testing::HeifCodec codec) {
    const QByteArray bytes = tivra::testing::heifFile(image, codec);
    QFile file(dir.filePath(name));
    return !bytes.isEmpty() && file.open(QIODevice::WriteOnly) &&
           file.write(QByteArray(1, settings) + bytes) > 0;
}

// A decoding helper's answer, read back by the game.
bool writeAnswer(const QDir& dir, const QString& name, char settings, const QImage& image) {
    const QByteArray bytes =
        encodeDecodeAnswer({tivra::LoadedPicture{image, image.size() * 2}, QString()});
    QFile file(dir.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(QByteArray(1, settings) + bytes) > 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(dir.path()))
        return 1;
    // Settings byte: grid size in the low 3 bits, file ending in the next 2.
    const bool ok =
        write(dir, "scene.jpg", 0x01, scene(64, 48), "jpeg") &&
        write(dir, "turned.jpg", 0x02, scene(40, 60), "jpeg", true) &&
        write(dir, "wide.bmp", 0x0B, scene(120, 20), "bmp") &&
        write(dir, "tall.png", 0x14, scene(30, 90), "png") &&
        write(dir, "tiny.png", 0x1F, scene(8, 8), "png") &&
        write(dir, "dot.bmp", 0x08, scene(1, 1), "bmp") &&
        write(dir, "small.webp", 0x07, scene(40, 30), "webp") &&
        writeHeif(dir, "phone.heic", 0x03, scene(64, 48), tivra::testing::HeifCodec::Hevc) &&
        writeHeif(dir, "small.avif", 0x05, scene(48, 64), tivra::testing::HeifCodec::Av1) &&
        writeAnswer(dir, "answer.bin", 0x06, scene(16, 12));
    return ok ? 0 : 1;
}
