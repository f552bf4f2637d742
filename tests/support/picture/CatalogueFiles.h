#pragma once

#include <QByteArray>
#include <QImage>

// The catalogue of picture files a player might pick: damaged ones, lying
// ones, bombs, and honest ones in every format, made here byte by byte.
namespace tivra::testing {

void put32le(QByteArray& bytes, int at, quint32 value);

qint32 get32le(const QByteArray& bytes, int at);

// A bitmap whose header claims width x height but that holds a few bytes only.
QByteArray lyingBitmap(int width, int height);

QByteArray pngChunk(const char* type, const QByteArray& body);

// A PNG whose header claims width x height, with almost no pixel data.
QByteArray lyingPng(int width, int height);

// A bitmap of one colour.
QByteArray plainBitmap(int width, int height, QRgb colour);

QByteArray photo(int width, int height);

// A phone's motion photo: the picture, then a video that happens to hold a
// start-of-scan marker and no end-of-image marker after it.
QByteArray motionPhoto();

// Three stray bytes before the JPEG's first Huffman table, which the decoder
// skips with a warning and no harm.
QByteArray strayBytesBeforeAMarker(const QByteArray& jpeg);

// A bitmap stored top-down: a negative height, the first row first.
QByteArray topDownBitmap(const QImage& picture);

// A smooth scene, as a camera's picture is: red grows across it and green
// down it, over a steady blue.
QImage scene(int width, int height, int blue = 90);

// A 24-bit uncompressed TGA 2.0, bottom-up as most are: a format with no
// magic number at its start, which the icon reader mistakes for a cursor by
// content. Version 1.0 had no footer.
QByteArray targa(const QImage& image, bool footer = true);

// A JPEG whose frame header claims another size.
QByteArray resized(QByteArray jpeg, const char* frameMarker, int width, int height);

// A JPEG carrying about 100 MB of comments before its picture.
QByteArray wordyJpeg(const QByteArray& jpeg);

// A picture with transparency whose clear pixels store pink, as many real
// files do; half clear and half see-through red, or all clear, with an
// opaque blue square in the middle.
QImage seeThrough(bool partly);

} // namespace tivra::testing
