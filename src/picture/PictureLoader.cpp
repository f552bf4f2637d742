#include "PictureLoader.h"

#include "HeifPicture.h"
#include "JpegStructure.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLoggingCategory>
#include <QRegularExpression>

namespace {

// The board's arithmetic holds a picture up to this many pixels a side.
constexpr int kLargestSide = 65535;
// Files are read into memory, never mapped, so that one shrinking underneath
// cannot take the game down; no picture the game can hold needs more.
constexpr qint64 kLargestFile = qint64(256) << 20;
// Most pixels decoded at the picture's own size, for formats that cannot
// decode smaller: at 4 bytes a pixel, loading stays within about 512 MB.
constexpr qint64 kMostFullSizePixels = 100'000'000;
// HEIF decoders hold the picture in their own planes besides ours.
constexpr qint64 kMostHeifPixels = 60'000'000;
// Qt's own limit on one decoded image, in MB; ours above are the real guard.
constexpr int kAllocationLimitMb = 480;

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
    // Stray bytes before a header marker are skipped and change no pixel;
    // before a restart or the end, they stand where picture data should be.
    static bool harmless(const QString& text) {
        static const QRegularExpression stray(
            QStringLiteral("extraneous bytes before marker 0x([0-9a-fA-F]{2})"));
        const QRegularExpressionMatch match = stray.match(text);
        if (!match.hasMatch())
            return false;
        const int marker = match.captured(1).toInt(nullptr, 16);
        return marker < 0xD0 || marker > 0xD9;
    }

    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        const QByteArray category = context.category ? QByteArray(context.category) : QByteArray();
        if (category.startsWith("qt.gui.imageio")) {
            // Notes (a PNG's damaged optional chunk) are no harm; warnings are.
            if ((type == QtWarningMsg || type == QtCriticalMsg) && !harmless(text))
                ++count_;
            return;
        }
        if (previous_)
            previous_(type, context, text);
    }

    static inline int count_ = 0;
    static inline QtMessageHandler previous_ = nullptr;
};

PictureLoadResult loadHeif(const QByteArray& data, QSize maxDecoded) {
    HeifPicture heif = decodeHeif(data, maxDecoded, kMostHeifPixels);
    if (heif.image.isNull())
        return failure(heif.error);
    if (heif.upright.width() > kLargestSide || heif.upright.height() > kLargestSide)
        return failure(QStringLiteral("picture too large"));
    return {tivra::LoadedPicture{std::move(heif.image), heif.upright}, QString()};
}

PictureLoadResult loadWithQt(const QByteArray& data, const QByteArray& formatHint,
                             QSize maxDecoded) {
    QByteArray bytes = data; // the reader needs a device of its own
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, formatHint.toLower());
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(kAllocationLimitMb);
    DecoderWarnings warnings;
    // A bitmap stored top-down has a negative height in its header.
    const QSize header = reader.size();
    const QSize stored(std::abs(header.width()), std::abs(header.height()));
    if (header == QSize() || stored.isEmpty())
        return failure(QStringLiteral("not a picture: %1").arg(reader.errorString()));
    if (stored.width() > kLargestSide || stored.height() > kLargestSide)
        return failure(QStringLiteral("picture too large"));
    const bool scalesWhileDecoding = reader.supportsOption(QImageIOHandler::ScaledSize);
    if (!scalesWhileDecoding &&
        qint64(stored.width()) * qint64(stored.height()) > kMostFullSizePixels)
        return failure(QStringLiteral("picture too large to decode"));

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
    // The header's size, checked against what was decoded.
    if (image.size() != target)
        return failure(QStringLiteral("the picture is not the size its header gives"));

    if (image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
        return failure(QStringLiteral("out of memory"));
    return {tivra::LoadedPicture{std::move(image), upright}, QString()};
}

// The first bytes of a file, for telling its kind.
constexpr qint64 kHeadBytes = 64 * 1024;

// Decodes a whole picture; a JPEG's bytes end with its own picture.
PictureLoadResult decodePicture(const QByteArray& data, const QByteArray& formatHint,
                                QSize maxDecoded) {
    if (data.isEmpty())
        return failure(QStringLiteral("empty file"));
    if (looksLikeJpeg(data))
        return loadWithQt(data, "jpg", maxDecoded);
    if (looksLikeHeif(data.left(kHeadBytes)))
        return loadHeif(data, maxDecoded);
    return loadWithQt(data, formatHint, maxDecoded);
}

// Where the picture in these bytes ends: a JPEG's own end, anything else
// with the data. None when a JPEG is cut short.
std::optional<qint64> pictureEnd(QIODevice& device, const QByteArray& head, qint64 limit) {
    if (looksLikeJpeg(head))
        return jpegPictureEnd(device, limit);
    return device.size();
}

} // namespace

PictureLoadResult loadPictureData(const QByteArray& data, const QByteArray& formatHint,
                                  QSize maxDecoded) {
    // Only a JPEG's own picture is decoded; what follows it is ignored.
    QBuffer buffer(const_cast<QByteArray*>(&data));
    buffer.open(QIODevice::ReadOnly);
    const std::optional<qint64> end = pictureEnd(buffer, data, data.size());
    if (!end)
        return failure(QStringLiteral("the picture's data is cut short"));
    return decodePicture(QByteArray::fromRawData(data.constData(), *end), formatHint, maxDecoded);
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
    return loadOpenPicture(file, info.suffix().toLatin1(), maxDecoded);
}

PictureLoadResult loadOpenPicture(QFile& file, const QByteArray& formatHint, QSize maxDecoded) {
    // However large the file (a motion photo's video, or worse), only the
    // picture is read.
    const QByteArray head = file.peek(kHeadBytes);
    if (!looksLikeJpeg(head) && file.size() > kLargestFile)
        return failure(QStringLiteral("too large a file"));
    const std::optional<qint64> end = pictureEnd(file, head, kLargestFile);
    if (!end)
        return failure(QStringLiteral("the picture's data is cut short or too large"));
    if (!file.seek(0))
        return failure(file.errorString());
    const QByteArray data = file.read(*end);
    if (data.size() != *end)
        return failure(QStringLiteral("the file changed while it was read"));
    return decodePicture(data, formatHint, maxDecoded);
}
