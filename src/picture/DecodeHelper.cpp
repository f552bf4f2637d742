#include "DecodeHelper.h"

#include "DecodeAnswer.h"
#include "DecodeSandbox.h"
#include "HeifPicture.h"
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

// Everything decoding may load is loaded while files can still be opened:
// every image format's plugin, libheif and its codecs, and Qt's logging
// rules (read from files with the first message).
void loadDecoders() {
    // Plugins asked about no data at all say so; nobody needs to read it.
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QBuffer nothing;
    nothing.open(QIODevice::ReadOnly);
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        QImageReader reader(&nothing, format);
        reader.canRead();
    }
    qInstallMessageHandler(previous);
    preloadHeif();
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

    loadDecoders();
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
    if (!writeAll(STDOUT_FILENO, encodeDecodeAnswer(result)))
        return 3;
    // Nothing left to tidy: the process ends here, without running
    // destructors that might ask the system for more than it may.
    ::_exit(0);
}
