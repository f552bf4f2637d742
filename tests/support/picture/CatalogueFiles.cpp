#include "CatalogueFiles.h"

#include "TestFiles.h"

#include <QBuffer>
#include <QImageWriter>
#include <QtEndian>
#include <zlib.h>

namespace tivra::testing {

void put32le(QByteArray& bytes, int at, quint32 value) {
    qToLittleEndian(value, bytes.data() + at);
}

qint32 get32le(const QByteArray& bytes, int at) {
    quint32 value = 0;
    for (int k = 3; k >= 0; --k)
        value = value << 8 | static_cast<quint8>(bytes.at(at + k));
    return static_cast<qint32>(value);
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

QByteArray pngChunk(const char* type, const QByteArray& body) {
    QByteArray chunk(4, '\0');
    qToBigEndian(static_cast<quint32>(body.size()), chunk.data());
    const QByteArray typed = QByteArray(type) + body;
    QByteArray crc(4, '\0');
    qToBigEndian(static_cast<quint32>(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()),
                                            static_cast<uInt>(typed.size()))),
                 crc.data());
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
    const int offset = get32le(bytes, 10);
    const int height = get32le(bytes, 22);
    const int row = static_cast<int>((bytes.size() - offset) / height);
    QByteArray flipped = bytes.left(offset);
    for (int y = height - 1; y >= 0; --y)
        flipped += bytes.mid(offset + y * row, row);
    put32le(flipped, 22, static_cast<quint32>(-height));
    return flipped;
}

QImage scene(int width, int height, int blue) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, blue));
    return image;
}

// A 24-bit uncompressed TGA 2.0, bottom-up as most are: a format with no
// magic number at its start, which the icon reader mistakes for a cursor by
// content. Version 1.0 had no footer.
QByteArray targa(const QImage& image, bool footer) {
    QByteArray bytes(18, '\0');
    bytes[2] = 2; // uncompressed true colour
    qToLittleEndian(static_cast<quint16>(image.width()), bytes.data() + 12);
    qToLittleEndian(static_cast<quint16>(image.height()), bytes.data() + 14);
    bytes[16] = 24;
    for (int y = image.height() - 1; y >= 0; --y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            bytes += char(qBlue(p));
            bytes += char(qGreen(p));
            bytes += char(qRed(p));
        }
    return footer ? bytes + QByteArray(8, '\0') + QByteArray("TRUEVISION-XFILE.", 18) : bytes;
}

// A JPEG whose frame header claims another size.
QByteArray resized(QByteArray jpeg, const char* frameMarker, int width, int height) {
    const qsizetype frame = jpeg.indexOf(frameMarker);
    qToBigEndian(static_cast<quint16>(height), jpeg.data() + frame + 5);
    qToBigEndian(static_cast<quint16>(width), jpeg.data() + frame + 7);
    return jpeg;
}

// A JPEG carrying about 100 MB of comments before its picture.
QByteArray wordyJpeg(const QByteArray& jpeg) {
    QByteArray comment("\xFF\xFE\xFF\xFF", 4);
    comment += QByteArray(65533, 'c');
    QByteArray bytes = jpeg.left(2);
    bytes.reserve(1600 * comment.size() + jpeg.size());
    for (int i = 0; i < 1600; ++i)
        bytes += comment;
    return bytes + jpeg.mid(2);
}

// A picture with transparency whose clear pixels store pink, as many real
// files do; half clear and half see-through red, or all clear, with an
// opaque blue square in the middle.
QImage seeThrough(bool partly) {
    QImage image(300, 200, QImage::Format_ARGB32);
    image.fill(qRgba(255, 0, 255, 0));
    for (int y = 0; y < image.height(); ++y)
        for (int x = partly ? 0 : image.width(); x < image.width() / 2; ++x)
            image.setPixel(x, y, qRgba(255, 0, 0, 128));
    for (int y = 80; y < 120; ++y)
        for (int x = 130; x < 170; ++x)
            image.setPixel(x, y, qRgba(0, 0, 255, 255));
    return image;
}

} // namespace tivra::testing
