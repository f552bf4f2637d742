#include "DecodeHelper.h"

#include "DecodeAnswer.h"
#include "DecodeSandbox.h"
#include "HeifPicture.h"
#include "JpegStructure.h"
#include "PictureLoader.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QLoggingCategory>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace {

int refuseToRun(const QString& why) {
    std::fprintf(stderr, "tivra-decode: %s\n", qPrintable(why));
    return 2;
}

// Everything decoding the file may load is loaded while files can still be
// opened: a JPEG's reader, or libheif and its codecs, or else every image
// format's reader (any of which may be asked about the content); and Qt's
// logging rules, read from files with the first message.
void loadDecoders(const QByteArray& head) {
    // Readers asked about no data at all say so; nobody needs to read it.
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QBuffer nothing;
    nothing.open(QIODevice::ReadOnly);
    const bool jpeg = looksLikeJpeg(head);
    const QList<QByteArray> formats =
        jpeg ? QList<QByteArray>{"jpeg"} : QImageReader::supportedImageFormats();
    if (looksLikeHeif(head)) {
        preloadHeif();
    } else {
        for (const QByteArray& format : formats) {
            QImageReader reader(&nothing, format);
            reader.setAutoDetectImageFormat(false);
            reader.canRead();
        }
    }
    qInstallMessageHandler(previous);
    QLoggingCategory("tivra.decode").isWarningEnabled();
}

bool writeAll(int fd, const QByteArray& data) {
    const char* at = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, at, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        at += written;
        left -= written;
    }
    return true;
}

} // namespace

int runDecodeHelper(int argc, char** argv, const std::function<void()>& confined) {
    // Nothing the game had open (its display connection, its sound) is
    // within reach: only the picture, the answer's pipe and the messages.
    ::close_range(3, ~0U, 0);
    QString error;
    if (!tivra::sandbox::limitResources(&error))
        return refuseToRun(error);
    const QList<QByteArray> size = argc > 1 ? QByteArray(argv[1]).split('x') : QList<QByteArray>();
    bool wide = false;
    bool high = false;
    const QSize maxDecoded(size.value(0).toInt(&wide), size.value(1).toInt(&high));
    if (size.size() != 2 || !wide || !high || maxDecoded.isEmpty())
        return refuseToRun(QStringLiteral("usage: tivra-decode WIDTHxHEIGHT [FORMAT] <FILE"));
    const QByteArray formatHint = argc > 2 ? QByteArray(argv[2]) : QByteArray();

    // The file's first bytes say which decoders it needs.
    QByteArray head(64 * 1024, '\0');
    const ssize_t got = ::pread(STDIN_FILENO, head.data(), size_t(head.size()), 0);
    head.truncate(got > 0 ? got : 0);
    loadDecoders(head);
    if (!tivra::sandbox::allowOnlyDecoding(&error))
        return refuseToRun(error);
    if (confined)
        confined();

    QFile input;
    PictureLoadResult result;
    if (!input.open(STDIN_FILENO, QIODevice::ReadOnly))
        result.reason = input.errorString();
    else
        result = loadOpenPicture(input, formatHint, maxDecoded);
    // The pixels go out as they lie in the picture, without a copy.
    if (result.picture && result.picture->image.format() != QImage::Format_RGB32)
        result.picture->image.convertTo(QImage::Format_RGB32);
    bool sent = writeAll(STDOUT_FILENO, encodeDecodeAnswerHeader(result));
    if (result.picture) {
        const QImage& image = result.picture->image;
        const qsizetype row = qsizetype(image.width()) * 4;
        for (int y = 0; sent && y < image.height(); ++y)
            sent = writeAll(STDOUT_FILENO,
                            QByteArray::fromRawData(
                                reinterpret_cast<const char*>(image.constScanLine(y)), row));
    }
    if (!sent)
        return 3;
    // Nothing left to tidy: the process ends here, without running
    // destructors that might ask the system for more than it may.
    ::_exit(0);
}
