#include "PictureLoader.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLoggingCategory>

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

// Qt's decoders report damaged data (a corrupt JPEG scan, a cut-off file) as
// warnings and still hand back an image, partly grey or garbled. While one of
// these is alive, such warnings are caught and counted instead of printed.
class DecoderWarnings {
public:
    DecoderWarnings() {
        count_ = 0;
        previous_ = qInstallMessageHandler(&DecoderWarnings::handle);
    }
    ~DecoderWarnings() { qInstallMessageHandler(previous_); }
    DecoderWarnings(const DecoderWarnings&) = delete;
    DecoderWarnings& operator=(const DecoderWarnings&) = delete;

    int count() const { return count_; }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        const QByteArray category = context.category ? QByteArray(context.category) : QByteArray();
        if (category.startsWith("qt.gui.imageio")) {
            // Notes (a PNG's damaged optional chunk) are no harm; warnings are.
            if (type == QtWarningMsg || type == QtCriticalMsg)
                ++count_;
            return;
        }
        if (previous_)
            previous_(type, context, text);
    }

    static inline int count_ = 0;
    static inline QtMessageHandler previous_ = nullptr;
};

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

PictureLoadResult loadPictureData(const QByteArray& data, const QByteArray& formatHint,
                                  QSize maxDecoded) {
    if (data.isEmpty())
        return failure(QStringLiteral("empty file"));
    if (isTruncatedJpeg(data))
        return failure(QStringLiteral("the picture's data is cut short"));

    QByteArray bytes = data; // the reader needs a device of its own
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, formatHint.toLower());
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    DecoderWarnings warnings;
    const QSize stored = reader.size();
    if (!stored.isValid() || stored.isEmpty())
        return failure(QStringLiteral("not a picture: %1").arg(reader.errorString()));
    if (stored.width() > kLargestSide || stored.height() > kLargestSide)
        return failure(QStringLiteral("picture too large"));

    // The layout sees the picture upright; the decoder scales it as stored.
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    const QSize upright = turned ? stored.transposed() : stored;
    const QSize target = decodedSize(upright, maxDecoded);
    if (target != upright)
        reader.setScaledSize(turned ? target.transposed() : target);
    QImage image = reader.read();
    if (image.isNull())
        return failure(reader.errorString());
    if (warnings.count() > 0)
        return failure(QStringLiteral("the picture's data is damaged"));

    if (image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
        return failure(QStringLiteral("out of memory"));
    return {tivra::LoadedPicture{std::move(image), upright}, QString()};
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
    // Mapped, not read: a large photo costs no copy in memory.
    const uchar* mapped = file.size() > 0 ? file.map(0, file.size()) : nullptr;
    const QByteArray data =
        mapped ? QByteArray::fromRawData(reinterpret_cast<const char*>(mapped), file.size())
               : file.readAll();
    return loadPictureData(data, info.suffix().toLatin1(), maxDecoded);
}

tivra::LoadedPicture defaultPicture() {
    // The picture lives in this library's resources, which a static library
    // must register itself.
    Q_INIT_RESOURCE(tivra);
    QImage image(QStringLiteral(":/tivra/default.jpg"));
    image = image.convertToFormat(QImage::Format_RGB32);
    return {image, image.size()};
}
