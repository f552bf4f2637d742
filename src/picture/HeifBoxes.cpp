#include "HeifBoxes.h"

#include <algorithm>

namespace tivra::heifboxes {

namespace {

// A box's body: after its header, and after a full box's version and flags.
struct Body {
    QByteArray box;
    qsizetype start = 0;
    int version = 0;
};

Body fullBody(const QByteArray& box) {
    return {box, 12, box.size() >= 12 ? int(quint8(box.at(8))) : -1};
}

// Where the primary item's data lies: its first extent.
struct Extent {
    int method = -1; // 0: in the file; 1: in the meta box's idat
    quint64 offset = 0;
    quint64 length = 0;
};

Extent extentOf(const QByteArray& iloc, quint32 item) {
    const Body body = fullBody(iloc);
    if (body.version < 0 || body.version > 2 || iloc.size() < 16)
        return {};
    const int offsetSize = quint8(iloc.at(12)) >> 4;
    const int lengthSize = quint8(iloc.at(12)) & 15;
    const int baseSize = quint8(iloc.at(13)) >> 4;
    const int indexSize = body.version >= 1 ? quint8(iloc.at(13)) & 15 : 0;
    const int idSize = body.version == 2 ? 4 : 2;
    qsizetype at = 14;
    const quint32 count = readBig(iloc, at, body.version == 2 ? 4 : 2);
    at += body.version == 2 ? 4 : 2;
    for (quint32 i = 0; i < count && at < iloc.size(); ++i) {
        const quint32 id = readBig(iloc, at, idSize);
        at += idSize;
        int method = 0;
        if (body.version >= 1) {
            method = int(readBig(iloc, at, 2) & 15);
            at += 2;
        }
        at += 2; // data reference
        const quint64 base = readBig(iloc, at, baseSize);
        at += baseSize;
        const quint32 extents = readBig(iloc, at, 2);
        at += 2;
        const qsizetype first = at;
        at += qsizetype(extents) * (indexSize + offsetSize + lengthSize);
        if (id == item && extents > 0 && at <= iloc.size())
            return {method, base + readBig(iloc, first + indexSize, offsetSize),
                    readBig(iloc, first + indexSize + offsetSize, lengthSize)};
    }
    return {};
}

QByteArray typeOf(const QByteArray& iinf, quint32 item) {
    const Body body = fullBody(iinf);
    const qsizetype entries = body.start + (body.version == 0 ? 2 : 4);
    for (const QByteArray& infe : boxesIn(iinf, entries, iinf.size()).values("infe")) {
        const int version = fullBody(infe).version;
        if (version == 2 && readBig(infe, 12, 2) == item)
            return infe.mid(16, 4);
        if (version == 3 && readBig(infe, 12, 4) == item)
            return infe.mid(18, 4);
    }
    return {};
}

} // namespace

quint32 readBig(const QByteArray& bytes, qsizetype at, int size) {
    if (at < 0 || size < 0 || size > 4 || at + size > bytes.size())
        return 0;
    quint32 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | quint8(bytes.at(at + i));
    return value;
}

QMultiHash<QByteArray, QByteArray> boxesIn(const QByteArray& bytes, qsizetype from, qsizetype to) {
    QMultiHash<QByteArray, QByteArray> boxes;
    to = std::min(to, bytes.size());
    while (from >= 0 && from + 8 <= to) {
        const qsizetype size = readBig(bytes, from, 4);
        if (size < 8 || size > to - from)
            break;
        boxes.insert(bytes.mid(from + 4, 4), bytes.mid(from, size));
        from += size;
    }
    return boxes;
}

PrimaryItem primaryItem(const QByteArray& file, qsizetype maxBytes) {
    const QByteArray meta = boxesIn(file, 0, file.size()).value("meta");
    const auto inMeta = boxesIn(meta, 12, meta.size());
    const QByteArray pitm = inMeta.value("pitm");
    const quint32 primary = readBig(pitm, 12, fullBody(pitm).version == 0 ? 2 : 4);
    const Extent extent = extentOf(inMeta.value("iloc"), primary);
    const qsizetype length = qsizetype(std::min<quint64>(extent.length, quint64(maxBytes)));
    QByteArray data;
    if (extent.method == 0 && extent.offset < quint64(file.size()))
        data = file.mid(qsizetype(extent.offset), length);
    else if (extent.method == 1)
        data = inMeta.value("idat").mid(8 + qsizetype(std::min<quint64>(extent.offset, 1 << 30)),
                                        length);
    return {typeOf(inMeta.value("iinf"), primary), data};
}

QSize primaryGridSize(const QByteArray& file) {
    const PrimaryItem item = primaryItem(file, 12);
    const QByteArray& grid = item.data;
    const bool wide = grid.size() >= 2 && (quint8(grid.at(1)) & 1);
    if (item.type != "grid" || grid.size() < (wide ? 12 : 8))
        return {};
    return wide ? QSize(int(std::min<quint32>(readBig(grid, 4, 4), 1u << 30)),
                        int(std::min<quint32>(readBig(grid, 8, 4), 1u << 30)))
                : QSize(int(readBig(grid, 4, 2)), int(readBig(grid, 6, 2)));
}

} // namespace tivra::heifboxes
