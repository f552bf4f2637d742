#pragma once

#include "PictureLoader.h"

#include <QObject>
#include <QProcess>
#include <QTimer>
#include <memory>

namespace tivra {

// The helper program, started ahead of its picture: while the player
// chooses a file it starts, loads its decoders and confines itself, and is
// ready when the file is.
class DecoderProcess {
public:
    explicit DecoderProcess(const QString& program);
    ~DecoderProcess();
    DecoderProcess(const DecoderProcess&) = delete;
    DecoderProcess& operator=(const DecoderProcess&) = delete;

    QProcess& process() { return process_; }
    // Whether it may still take a picture: started, or starting.
    bool waiting() const { return process_.state() != QProcess::NotRunning; }
    // Hands it the open picture file; false if it is gone.
    bool ask(int file, QSize maxDecoded, const QString& formatHint);

private:
    QProcess process_;
    int socket_ = -1; // the game's end of the helper's standard input
};

// Decodes a picture file in the confined helper program (tivra-decode),
// without blocking: the answer comes with finished(). The file is opened
// here and handed over open. A helper that crashes, is killed, runs out of
// memory, answers nonsense or takes longer than the time limit gives a
// refusal, like a bad picture.
class DecodeJob : public QObject {
    Q_OBJECT
public:
    // Longer than any honest picture needs on a slow machine.
    static constexpr int kTimeLimitMs = 5000;

    // `started`: a helper started ahead for this picture, if there is one.
    explicit DecodeJob(QString helper, std::unique_ptr<DecoderProcess> started = {},
                       QObject* parent = nullptr);
    ~DecodeJob() override;

    // formatHint: the file name's ending, as the player sees it.
    void start(const QString& path, const QString& formatHint, QSize maxDecoded);
    // Stops the helper; finished() follows, with cancelled() true.
    void cancel();
    bool cancelled() const { return cancelled_; }
    qint64 helperPid() const { return started_ ? started_->process().processId() : 0; }

signals:
    void finished(const PictureLoadResult& result);

private:
    void readAnswer();
    void helperEnded(int exitCode, QProcess::ExitStatus status);
    void finish(const PictureLoadResult& result);
    QString cannotStart() const;
    void refuseLater(const QString& reason);

    QString helper_;
    std::unique_ptr<DecoderProcess> started_;
    QTimer limit_;
    QByteArray answer_;
    QString stopped_; // why the helper was stopped, if it was
    bool cancelled_ = false;
    bool done_ = false;
};

// Where the helper program is: beside the game's program, or where it is
// installed relative to it.
QString decoderProgramFor(const QString& programFolder);

} // namespace tivra
