#include "ConfinedDecoder.h"

#include "Confinement.h"
#include "picture/DecodeAnswer.h"
#include "picture/DecodeRequest.h"
#include "picture/HeifPicture.h"
#include "picture/PictureLoader.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QLoggingCategory>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <unistd.h>

namespace tivra {

namespace {

int refuseToRun(const QString& why) {
    std::fprintf(stderr, "tivra-decode: %s\n", qPrintable(why));
    return 2;
}

// Everything decoding any picture may load is loaded while files can still
// be opened: every image format's reader (any of which may be asked about
// the content), libheif and its codecs, and Qt's logging rules, read from
// files with the first message. The helper is started before the player has
// chosen the picture, so this costs the player nothing.
void loadDecoders() {
    // Readers asked about no data at all say so; nobody needs to read it.
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QBuffer nothing;
    nothing.open(QIODevice::ReadOnly);
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        QImageReader reader(&nothing, format);
        reader.setAutoDetectImageFormat(false);
        reader.canRead();
    }
    preloadHeif();
    qInstallMessageHandler(previous);
    QLoggingCategory("tivra.decode").isWarningEnabled();
}

// The picture takes the place of the request's socket as standard input,
// so that the helper holds only the picture, its answer and its messages.
bool takePicture(const DecodeRequest& request) {
    ::close(STDIN_FILENO);
    const int file = ::dup(request.file);
    ::close(request.file);
    return file == STDIN_FILENO;
}

// The allocator is set before the filter closes. Every thread allocates from
// the one main heap: the C library reads a file under /proc the first time
// it gives memory of a thread's own heap back, which the filter forbids.
// Allocations up to 32 MB come from that heap, which keeps up to 64 MB free
// rather than give it back.
void settleAllocator() {
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
}

// A fresh process pays for the first touch of every page it uses. A helper
// started ahead of its picture touches, while it waits, the memory a photo
// decoded for a board needs, and keeps it.
void warmUpMemory() {
    constexpr size_t kBlock = size_t(16) << 20;
    void* blocks[] = {std::malloc(kBlock), std::malloc(kBlock)};
    for (void* block : blocks) {
        // Written through volatile, or the compiler drops it all as unread.
        volatile char* bytes = static_cast<volatile char*>(block);
        for (size_t at = 0; bytes && at < kBlock; at += 4096)
            bytes[at] = 0;
    }
    for (void* block : blocks)
        std::free(block);
}

bool writeAll(int fd, QByteArrayView data) {
    const char* at = data.data();
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

int runConfinedDecoder(const std::function<void()>& confined) {
    // Nothing the game had open (its display connection, its sound) is
    // within reach: only the request's socket, the answer's pipe and the
    // messages.
    ::close_range(3, ~0U, 0);
    QString error;
    if (!tivra::sandbox::limitResources(&error))
        return refuseToRun(error);
    loadDecoders();
    settleAllocator();
    // Started only when the picture was chosen, it does not make it wait.
    pollfd asked{STDIN_FILENO, POLLIN, 0};
    if (::poll(&asked, 1, 0) == 0)
        warmUpMemory();
    // Room for more of the answer at a time: fewer turns between the
    // helper's writes and the game's reads.
    ::fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1 << 20);
    if (!tivra::sandbox::allowOnlyDecoding(&error))
        return refuseToRun(error);
    DecodeRequest request;
    if (!receiveDecodeRequest(STDIN_FILENO, &request) || !takePicture(request))
        return refuseToRun(QStringLiteral("no picture: tivra-decode is started by tivra"));
    if (confined)
        confined();

    QFile input;
    PictureLoadResult result;
    if (!input.open(STDIN_FILENO, QIODevice::ReadOnly))
        result.reason = input.errorString();
    else
        result = loadOpenPicture(input, request.formatHint.toUtf8(), request.maxDecoded);
    // The pixels go out as they lie in the picture, without a copy.
    const bool sent = sendDecodeAnswer(
        std::move(result), [](QByteArrayView block) { return writeAll(STDOUT_FILENO, block); });
    if (!sent)
        return 3;
    // Nothing left to tidy: the process ends here, without running
    // destructors that might ask the system for more than it may.
    ::_exit(0);
}

} // namespace tivra
