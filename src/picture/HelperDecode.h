#pragma once

#include "PictureLoader.h"

#include <QObject>
#include <QProcess>
#include <QTimer>

// Decodes a picture file in the confined helper program (tivra-decode),
// without blocking: the answer comes with finished(). The file is opened
// here and handed over open. A helper that crashes, is killed, runs out of
// memory, answers nonsense or takes longer than the time limit gives a
// refusal, like a bad picture.
class HelperDecode : public QObject {
    Q_OBJECT
public:
    // Longer than any honest picture needs on a slow machine.
    static constexpr int kTimeLimitMs = 5000;

    explicit HelperDecode(QString helper, QObject* parent = nullptr);
    ~HelperDecode() override;

    // formatHint: the file name's ending, as the player sees it.
    void start(const QString& path, const QString& formatHint, QSize maxDecoded);
    // Stops the helper; finished() follows, with cancelled() true.
    void cancel();
    bool cancelled() const { return cancelled_; }
    qint64 helperPid() const { return process_.processId(); }

signals:
    void finished(const PictureLoadResult& result);

private:
    void readAnswer();
    void helperEnded(int exitCode, QProcess::ExitStatus status);
    void finish(const PictureLoadResult& result);

    QString helper_;
    QProcess process_;
    QTimer limit_;
    QByteArray answer_;
    QString stopped_; // why the helper was stopped, if it was
    bool cancelled_ = false;
    bool done_ = false;
};

// Where the helper program is: beside the game's program, or where it is
// installed relative to it.
QString decodeHelperFor(const QString& programFolder);
