#pragma once

#include <QByteArray>
#include <QObject>
#include <QSize>
#include <QString>
#include <sys/types.h>

class QSocketNotifier;
class QTimer;

namespace tivra {

// The helper program, started ahead of its picture: while the player
// chooses a file, or while the game itself starts, it loads its decoders
// and confines itself, and is ready when the file is.
//
// It is started with plain system calls, so that the command line's picture
// can have its helper before Qt has started anything: its answer and its end
// are only watched once the event loop can (watch()).
class DecoderProcess : public QObject {
    Q_OBJECT
public:
    explicit DecoderProcess(const QString& program);
    ~DecoderProcess() override;
    DecoderProcess(const DecoderProcess&) = delete;
    DecoderProcess& operator=(const DecoderProcess&) = delete;

    // Whether it may still take a picture: started, and not ended (killed
    // by the system while it waited, say).
    bool waiting() const;
    pid_t processId() const { return pid_; }
    // Why it did not start, if it did not.
    const QString& startError() const { return startError_; }
    // Hands it the open picture file; false if it is gone.
    bool ask(int file, QSize maxDecoded, const QString& formatHint);

    // From now on answerArrived() and ended() tell what it does.
    void watch();
    // What it has written since the last call.
    QByteArray takeAnswer();
    void kill();

signals:
    void answerArrived();
    // `killed`: by a signal, the time limit's or the system's.
    void ended(int exitCode, bool killed);

private:
    void readAnswer();
    void reap();

    pid_t pid_ = -1;
    int socket_ = -1; // the game's end of the helper's standard input
    int answerPipe_ = -1;
    int exitNotice_ = -1; // readable once the helper has ended
    QString startError_;
    QByteArray answer_;
    QSocketNotifier* answerReady_ = nullptr;
    QSocketNotifier* exited_ = nullptr;
    QTimer* exitPoll_ = nullptr; // where the system cannot tell the end
    bool ended_ = false;
};

} // namespace tivra
