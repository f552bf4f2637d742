#include "PictureLoader.h"

#include "HeifPicture.h"
#include "JpegStructure.h"
#include "WebpPicture.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLoggingCategory>
#include <QRegularExpression>

namespace tivra {

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

// A picture with transparency (a logo, an icon) is shown over white, as
// image viewers show it: not whatever colour its transparent pixels happen
// to store, and never the board's orange, so that a piece cannot pass for
// an empty slot.
QImage overWhite(const QImage& picture) {
    QImage image = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            const int clear = 255 - qAlpha(p);
            line[x] = qRgb(qRed(p) + clear, qGreen(p) + clear, qBlue(p) + clear);
        }
    }
    return image.reinterpretAsFormat(QImage::Format_RGB32) ? image : QImage();
}

// The pixels as the board holds them: opaque, 32 bits each.
QImage opaque(const QImage& picture) {
    if (picture.hasAlphaChannel())
        return overWhite(picture);
    return picture.format() == QImage::Format_RGB32 ? picture
                                                    : picture.convertToFormat(QImage::Format_RGB32);
}

PictureLoadResult loadHeif(const QByteArray& data, QSize maxDecoded) {
    HeifPicture heif = decodeHeif(data, maxDecoded, kMostHeifPixels);
    if (heif.image.isNull())
        return failure(heif.error);
    if (heif.upright.width() > kLargestSide || heif.upright.height() > kLargestSide)
        return failure(QStringLiteral("picture too large"));
    return {tivra::LoadedPicture{std::move(heif.image), heif.upright}, QString()};
}

// Formats whose readers tell no size before they decode (Apple's icons,
// MNG animations): small files by nature.
bool isSizelessFormat(const QByteArray& format) {
    return format == "icns" || format == "mng";
}

// Such a picture is decoded whole, then checked as a header would have been.
PictureLoadResult readSizeless(QImageReader& reader, QSize maxDecoded) {
    QImage image = reader.read();
    if (image.isNull())
        return failure(reader.errorString());
    const QSize own = image.size();
    if (own.width() > kLargestSide || own.height() > kLargestSide)
        return failure(QStringLiteral("picture too large"));
    const QSize target = decodedSize(own, maxDecoded);
    if (target != own)
        image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image = opaque(image);
    if (image.isNull())
        return failure(QStringLiteral("out of memory"));
    return {tivra::LoadedPicture{std::move(image), own}, QString()};
}

// Reads a picture with Qt's readers: the one for `format` when the content
// is known to be of it, else whichever reader the content suits.
PictureLoadResult loadWithQt(const QByteArray& data, const QByteArray& format, bool known,
                             QSize maxDecoded) {
    QByteArray bytes = data; // the reader needs a device of its own
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format.toLower());
    reader.setDecideFormatFromContent(!known);
    reader.setAutoDetectImageFormat(!known);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(kAllocationLimitMb);
    DecoderWarnings warnings;
    // A bitmap stored top-down has a negative height in its header.
    const QSize header = reader.size();
    const QSize stored(std::abs(header.width()), std::abs(header.height()));
    if ((header == QSize() || stored.isEmpty()) && isSizelessFormat(reader.format()))
        return readSizeless(reader, maxDecoded);
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

    image = opaque(image);
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
        return loadWithQt(data, "jpeg", true, maxDecoded);
    if (looksLikeHeif(data.left(kHeadBytes)))
        return loadHeif(data, maxDecoded);
    if (looksLikeWebp(data)) {
        WebpPicture webp = decodeWebp(data, &decodedSize, maxDecoded);
        if (!webp.animated) {
            if (webp.image.isNull())
                return failure(webp.error);
            return {tivra::LoadedPicture{opaque(webp.image), webp.size}, QString()};
        }
    }
    PictureLoadResult result = loadWithQt(data, formatHint, false, maxDecoded);
    // A format with no mark of its own (TGA) can look like another to the
    // readers that judge by content: its name's ending then decides.
    const QByteArray named = formatHint.toLower();
    if (!result.picture && !named.isEmpty() &&
        QImageReader::supportedImageFormats().contains(named)) {
        if (PictureLoadResult byName = loadWithQt(data, named, true, maxDecoded); byName.picture)
            return byName;
        // A TGA older than version 2.0 has no footer, which Qt's reader
        // wants: it gets an empty one.
        static const QByteArray kTgaFooter =
            QByteArray(8, '\0') + QByteArray("TRUEVISION-XFILE.", 18);
        if (named == "tga" && !data.endsWith(kTgaFooter))
            if (PictureLoadResult old = loadWithQt(data + kTgaFooter, named, true, maxDecoded);
                old.picture)
                return old;
    }
    return result;
}

// The most scans a JPEG may have. Cameras and editors write at most a few
// dozen; a file of thousands of tiny scans makes the decoder pass over the
// whole picture for each (libjpeg-turbo suggests a limit like this one for
// files from anywhere).
constexpr int kMostJpegScans = 500;
// A progressive JPEG keeps all its coefficients while it decodes, two bytes
// each, whatever size it is decoded at: 512 MB at most, which a 100-MP photo
// (150 M coefficients) stays well within.
constexpr qint64 kMostProgressiveCoefficients = 256'000'000;

struct PictureBytes {
    QByteArray data;
    QString refusal;
};

// The bytes of the picture that a file holds, read up to `limit`: a JPEG's
// own picture only, without the segments no decoder reads, and refused from
// its headers when decoding it would take too long or too much memory.
PictureBytes readPicture(QIODevice& device, const QByteArray& head, qint64 limit) {
    if (!looksLikeJpeg(head)) {
        if (device.size() > limit)
            return {{}, QStringLiteral("too large a file")};
        const QByteArray data = device.read(device.size());
        if (data.size() != device.size())
            return {{}, QStringLiteral("the file changed while it was read")};
        return {data, {}};
    }
    const std::optional<JpegLayout> layout = jpegLayout(device, limit);
    if (!layout)
        return {{}, QStringLiteral("the picture's data is cut short or too large")};
    if (layout->scans > kMostJpegScans)
        return {{}, QStringLiteral("more scans than any camera writes")};
    if (layout->progressive && layout->coefficients > kMostProgressiveCoefficients)
        return {{}, QStringLiteral("picture too large to decode")};
    QByteArray data;
    qint64 at = 0;
    qint64 left = layout->end;
    for (const auto& [offset, length] : layout->unneeded)
        left -= length;
    data.reserve(left);
    auto keep = [&](qint64 upTo) {
        return device.seek(at) && (data += device.read(upTo - at), true);
    };
    for (const auto& [offset, length] : layout->unneeded) {
        if (!keep(offset))
            return {{}, device.errorString()};
        at = offset + length;
    }
    if (!keep(layout->end))
        return {{}, device.errorString()};
    if (data.size() != left)
        return {{}, QStringLiteral("the file changed while it was read")};
    return {data, {}};
}

} // namespace

PictureLoadResult loadPictureData(const QByteArray& data, const QByteArray& formatHint,
                                  QSize maxDecoded) {
    QBuffer buffer(const_cast<QByteArray*>(&data));
    buffer.open(QIODevice::ReadOnly);
    const PictureBytes picture = readPicture(buffer, data.left(kHeadBytes), data.size());
    if (!picture.refusal.isEmpty())
        return failure(picture.refusal);
    return decodePicture(picture.data, formatHint, maxDecoded);
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
    const PictureBytes picture = readPicture(file, file.peek(kHeadBytes), kLargestFile);
    if (!picture.refusal.isEmpty())
        return failure(picture.refusal);
    return decodePicture(picture.data, formatHint, maxDecoded);
}

} // namespace tivra
