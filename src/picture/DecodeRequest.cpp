#include "DecodeRequest.h"

#include <QByteArray>
#include <QList>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace tivra {

namespace {

// "WIDTHxHEIGHT ENDING": short enough to arrive in one message.
constexpr size_t kLongestRequest = 512;

// A message of these bytes with room for one descriptor beside them.
struct MessageWithFile {
    MessageWithFile(char* bytes, size_t size) : data{bytes, size} {
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
    }
    MessageWithFile(const MessageWithFile&) = delete;
    MessageWithFile& operator=(const MessageWithFile&) = delete;

    iovec data;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr message{};
};

} // namespace

bool sendDecodeRequest(int socket, int file, QSize maxDecoded, const QString& formatHint) {
    const QByteArray text = QByteArray::number(maxDecoded.width()) + 'x' +
                            QByteArray::number(maxDecoded.height()) + ' ' +
                            formatHint.toUtf8().left(64);
    MessageWithFile request(const_cast<char*>(text.constData()), size_t(text.size()));
    cmsghdr* passed = CMSG_FIRSTHDR(&request.message);
    passed->cmsg_level = SOL_SOCKET;
    passed->cmsg_type = SCM_RIGHTS;
    passed->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(passed), &file, sizeof(int));
    ssize_t sent;
    do
        sent = ::sendmsg(socket, &request.message, MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    return sent == text.size();
}

bool receiveDecodeRequest(int socket, DecodeRequest* request) {
    char text[kLongestRequest];
    MessageWithFile received(text, sizeof text);
    msghdr& message = received.message;
    ssize_t got;
    do
        got = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
    while (got < 0 && errno == EINTR);
    const cmsghdr* passed = got > 0 ? CMSG_FIRSTHDR(&message) : nullptr;
    if (!passed || passed->cmsg_level != SOL_SOCKET || passed->cmsg_type != SCM_RIGHTS ||
        passed->cmsg_len != CMSG_LEN(sizeof(int)))
        return false;
    std::memcpy(&request->file, CMSG_DATA(passed), sizeof(int));
    const QList<QByteArray> words = QByteArray(text, got).split(' ');
    const QList<QByteArray> size = words.value(0).split('x');
    bool wide = false;
    bool high = false;
    request->maxDecoded = QSize(size.value(0).toInt(&wide), size.value(1).toInt(&high));
    request->formatHint = QString::fromUtf8(words.value(1));
    if (size.size() == 2 && wide && high && !request->maxDecoded.isEmpty() &&
        (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) == 0)
        return true;
    ::close(request->file);
    request->file = -1;
    return false;
}

} // namespace tivra
