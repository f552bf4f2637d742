// Decodes the built-in picture once, at build time, into the plain pixels
// the game shows: the game then starts with no decoding and no copy of them.
//   make_picture_pixels IN.jpg OUT.rgb32
// The output is width and height (32-bit, little-endian) then the rows of
// 32-bit pixels.
#include <QFile>
#include <QImage>
#include <QtEndian>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_picture_pixels IN OUT\n");
        return 2;
    }
    const QImage image =
        QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
        return 1;
    QByteArray out(8, '\0');
    qToLittleEndian<quint32>(static_cast<quint32>(image.width()), out.data());
    qToLittleEndian<quint32>(static_cast<quint32>(image.height()), out.data() + 4);
    for (int y = 0; y < image.height(); ++y)
        out.append(reinterpret_cast<const char*>(image.constScanLine(y)),
                   static_cast<qsizetype>(image.width()) * 4);
    QFile file(QString::fromLocal8Bit(argv[2]));
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size() ? 0 : 1;
}
