#include "PictureLoader.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace {

// The board's arithmetic holds a picture up to this many pixels a side.
constexpr int kLargestSide = 65535;

QSize decodedSize(QSize full, QSize maxDecoded) {
    if (maxDecoded.isEmpty() ||
        (full.width() <= maxDecoded.width() && full.height() <= maxDecoded.height()))
        return full;
    return full.scaled(maxDecoded, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

PictureLoadResult failure(const QString& reason) {
    return {std::nullopt, reason};
}

} // namespace

bool isTruncatedJpeg(const QByteArray& data) {
    if (!data.startsWith("\xFF\xD8"))
        return false;
    // Inside entropy-coded data 0xFF is always followed by 0x00 or a restart
    // marker, so the last start-of-scan marker is the real one, and a whole
    // file has an end-of-image marker after it.
    const qsizetype lastScan = data.lastIndexOf(QByteArrayView("\xFF\xDA", 2));
    if (lastScan < 0)
        return true;
    return data.indexOf(QByteArrayView("\xFF\xD9", 2), lastScan + 2) < 0;
}

PictureLoadResult loadPicture(const QString& path, QSize maxDecoded) {
    const QFileInfo info(path);
    if (!info.exists())
        return failure(QStringLiteral("the file does not exist"));
    if (!info.isFile())
        return failure(QStringLiteral("not a file"));

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(file.errorString());
    const uchar* mapped = file.map(0, file.size());
    const QByteArray data =
        mapped ? QByteArray::fromRawData(reinterpret_cast<const char*>(mapped), file.size())
               : file.readAll();
    if (data.isEmpty())
        return failure(QStringLiteral("empty file"));

    QByteArray copy = data; // the reader needs a device of its own
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, QFileInfo(path).suffix().toLatin1());
    reader.setDecideFormatFromContent(true);
    const QSize full = reader.size();
    if (!full.isValid() || full.isEmpty())
        return failure(QStringLiteral("not a picture: %1").arg(reader.errorString()));
    if (full.width() > kLargestSide || full.height() > kLargestSide)
        return failure(QStringLiteral("picture too large"));

    const QSize target = decodedSize(full, maxDecoded);
    if (target != full)
        reader.setScaledSize(target);
    QImage image = reader.read();
    if (image.isNull())
        return failure(reader.errorString());
    if (isTruncatedJpeg(data))
        return failure(QStringLiteral("the picture's data is cut short"));

    if (image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
        return failure(QStringLiteral("out of memory"));
    return {tivra::LoadedPicture{std::move(image), full}, QString()};
}

tivra::LoadedPicture defaultPicture() {
    // The picture lives in this library's resources, which a static library
    // must register itself.
    Q_INIT_RESOURCE(tivra);
    QImage image(QStringLiteral(":/tivra/default.jpg"));
    image = image.convertToFormat(QImage::Format_RGB32);
    return {image, image.size()};
}
