#pragma once

#include "PictureLoader.h"

#include <QObject>
#include <QTimer>
#include <memory>

namespace tivra {

class DecoderProcess;

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
    qint64 helperPid() const;

signals:
    void finished(const PictureLoadResult& result);

private:
    void readAnswer();
    void helperEnded(int exitCode, bool killed);
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
