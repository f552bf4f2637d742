#pragma once

#include <QSize>
#include <QString>

namespace tivra {

// What the game asks of the decoding helper, over the local socket that is
// the helper's standard input: the picture file, handed over open, the size
// to decode it for, and the file name's ending. Handing the file over rather
// than its name lets the helper start, and confine itself, before the player
// has chosen the picture.
struct DecodeRequest {
    int file = -1; // the received descriptor; the receiver closes it
    QSize maxDecoded;
    QString formatHint;
};

// Both return false on any failure, errno set for a failed call.
bool sendDecodeRequest(int socket, int file, QSize maxDecoded, const QString& formatHint);
bool receiveDecodeRequest(int socket, DecodeRequest* request);

} // namespace tivra
