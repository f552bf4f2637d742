#include "DecodeAnswer.h"

#include <QtEndian>
#include <cstring>

namespace tivra {

namespace {

constexpr char kMagic[8] = {'T', 'I', 'V', 'R', 'A', 'D', 'C', '1'};
constexpr quint32 kPicture = 1;
constexpr quint32 kRefusal = 2;
// A picture's side, as the board's arithmetic holds it.
constexpr quint32 kLargestSide = 65535;
constexpr quint32 kLongestReason = 4096;

void put(QByteArray& out, quint32 value) {
    const quint32 little = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&little), sizeof little);
}

// Reads the answer front to back, never past its end.
class Reader {
public:
    explicit Reader(const QByteArray& data) : data_(data) {}
    bool take(quint32& value) {
        if (data_.size() - at_ < qsizetype(sizeof value))
            return false;
        std::memcpy(&value, data_.constData() + at_, sizeof value);
        value = qFromLittleEndian(value);
        at_ += sizeof value;
        return true;
    }
    const char* bytes(qint64 count) {
        if (count < 0 || data_.size() - at_ < count)
            return nullptr;
        const char* start = data_.constData() + at_;
        at_ += count;
        return start;
    }
    bool atEnd() const { return at_ == data_.size(); }

private:
    const QByteArray& data_;
    qsizetype at_ = 0;
};

PictureLoadResult garbage() {
    return {std::nullopt, QStringLiteral("the decoder's answer makes no sense")};
}

} // namespace

namespace {

QByteArray header(const PictureLoadResult& result) {
    QByteArray out(kMagic, sizeof kMagic);
    if (!result.picture) {
        const QByteArray reason = result.reason.toUtf8().left(kLongestReason);
        put(out, kRefusal);
        put(out, quint32(reason.size()));
        out.append(reason);
        return out;
    }
    const QImage& image = result.picture->image;
    put(out, kPicture);
    put(out, quint32(result.picture->pixelSize.width()));
    put(out, quint32(result.picture->pixelSize.height()));
    put(out, quint32(image.width()));
    put(out, quint32(image.height()));
    return out;
}

} // namespace

bool sendDecodeAnswer(PictureLoadResult result, const std::function<bool(QByteArrayView)>& send) {
    if (result.picture && result.picture->image.format() != QImage::Format_RGB32)
        result.picture->image.convertTo(QImage::Format_RGB32);
    if (!send(header(result)))
        return false;
    if (!result.picture)
        return true;
    const QImage& image = result.picture->image;
    const qsizetype row = qsizetype(image.width()) * 4;
    const char* bits = reinterpret_cast<const char*>(image.constBits());
    if (image.bytesPerLine() == row)
        return send(QByteArrayView(bits, row * image.height()));
    // Rows apart (an image over a decoder's own buffer): one at a time.
    for (int y = 0; y < image.height(); ++y)
        if (!send(QByteArrayView(reinterpret_cast<const char*>(image.constScanLine(y)), row)))
            return false;
    return true;
}

QByteArray encodeDecodeAnswer(const PictureLoadResult& result) {
    QByteArray out;
    sendDecodeAnswer(result, [&out](QByteArrayView block) {
        out.append(block);
        return true;
    });
    return out;
}

PictureLoadResult parseDecodeAnswer(const QByteArray& answer) {
    Reader in(answer);
    const char* magic = in.bytes(sizeof kMagic);
    quint32 kind = 0;
    if (!magic || std::memcmp(magic, kMagic, sizeof kMagic) != 0 || !in.take(kind))
        return garbage();
    if (kind == kRefusal) {
        quint32 length = 0;
        if (!in.take(length) || length > kLongestReason)
            return garbage();
        const char* text = in.bytes(length);
        if (!text || !in.atEnd())
            return garbage();
        const QString reason = QString::fromUtf8(text, length);
        return {std::nullopt, reason.isEmpty() ? QStringLiteral("refused") : reason};
    }
    quint32 ownWidth = 0, ownHeight = 0, width = 0, height = 0;
    if (kind != kPicture || !in.take(ownWidth) || !in.take(ownHeight) || !in.take(width) ||
        !in.take(height))
        return garbage();
    // The pixels come decoded no larger than the picture itself.
    if (ownWidth == 0 || ownHeight == 0 || ownWidth > kLargestSide || ownHeight > kLargestSide ||
        width == 0 || height == 0 || width > ownWidth || height > ownHeight)
        return garbage();
    const qint64 row = qint64(width) * 4;
    const char* pixels = in.bytes(row * height);
    if (!pixels || !in.atEnd())
        return garbage();
    QImage image(int(width), int(height), QImage::Format_RGB32);
    if (image.isNull())
        return {std::nullopt, QStringLiteral("out of memory")};
    for (quint32 y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(int(y)));
        std::memcpy(line, pixels + row * y, size_t(row));
        // Every pixel opaque, whatever was sent.
        for (quint32 x = 0; x < width; ++x)
            line[x] |= 0xFF000000u;
    }
    return {tivra::LoadedPicture{std::move(image), QSize(int(ownWidth), int(ownHeight))},
            QString()};
}

} // namespace tivra
