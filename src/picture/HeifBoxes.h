#pragma once

#include <QByteArray>
#include <QMultiHash>
#include <QSize>

// A look at a HEIF file's own boxes, for what libheif does not tell.
namespace tivra::heifboxes {

// A big-endian number of `size` bytes at `at`; 0 where the bytes are not there.
quint32 readBig(const QByteArray& bytes, qsizetype at, int size);
// The boxes that lie in bytes[from, to), each whole, by type.
QMultiHash<QByteArray, QByteArray> boxesIn(const QByteArray& bytes, qsizetype from, qsizetype to);

// The file's primary picture: its item type, and the first maxBytes of its
// data (its first extent).
struct PrimaryItem {
    QByteArray type;
    QByteArray data;
};
PrimaryItem primaryItem(const QByteArray& file, qsizetype maxBytes);

// The size the file's primary picture is decoded at when it is a grid of
// tiles: the grid's own data says, whatever its size property claims (libheif
// 1.15 believes the grid). Empty when it is no grid, or the boxes do not hold
// together.
QSize primaryGridSize(const QByteArray& file);

} // namespace tivra::heifboxes
