#include "DecodeJob.h"

#include "DecodeAnswer.h"
#include "DecoderProcess.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tivra {

namespace {

PictureLoadResult refusal(const QString& reason) {
    return {std::nullopt, reason};
}

// Opens a picture file for the helper to read. A FIFO or a device would
// block the game or never end: only a regular file is handed over.
int openPictureFile(const QString& path, QString* error) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        *error = QStringLiteral("not a file");
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace

DecodeJob::DecodeJob(QString helper, std::unique_ptr<DecoderProcess> started, QObject* parent)
    : QObject(parent), helper_(std::move(helper)), started_(std::move(started)) {
    limit_.setSingleShot(true);
    limit_.setTimerType(Qt::PreciseTimer);
    limit_.setInterval(kTimeLimitMs);
    connect(&limit_, &QTimer::timeout, this, [this] {
        stopped_ = QStringLiteral("the picture took too long to decode");
        started_->kill();
    });
}

DecodeJob::~DecodeJob() {
    done_ = true; // no answer to anyone now
    if (started_) {
        started_->disconnect(this);
        started_.reset();
    }
}

void DecodeJob::start(const QString& path, const QString& formatHint, QSize maxDecoded) {
    QString error;
    const int fd = openPictureFile(path, &error);
    if (fd < 0) {
        refuseLater(error);
        return;
    }
    // A helper started ahead that ended while it waited (killed by the
    // system, say) is replaced; without one, one starts now.
    if (!started_ || !started_->waiting())
        started_ = std::make_unique<DecoderProcess>(helper_);
    connect(started_.get(), &DecoderProcess::answerArrived, this, &DecodeJob::readAnswer);
    connect(started_.get(), &DecoderProcess::ended, this, &DecodeJob::helperEnded);
    started_->watch();
    if (!started_->waiting()) {
        ::close(fd);
        refuseLater(cannotStart());
        return;
    }
    // A helper that is gone before it took the picture ends, and says so.
    started_->ask(fd, maxDecoded, formatHint);
    ::close(fd);
    limit_.start();
}

QString DecodeJob::cannotStart() const {
    return QStringLiteral("the picture decoder cannot start: %1").arg(started_->startError());
}

qint64 DecodeJob::helperPid() const {
    return started_ ? started_->processId() : 0;
}

// Answered from the event loop, as the helper's answer would be.
void DecodeJob::refuseLater(const QString& reason) {
    QMetaObject::invokeMethod(
        this, [this, reason] { finish(refusal(reason)); }, Qt::QueuedConnection);
}

void DecodeJob::cancel() {
    if (done_)
        return;
    cancelled_ = true;
    stopped_ = QStringLiteral("cancelled");
    if (started_ && started_->waiting())
        started_->kill();
    else
        finish(refusal(stopped_));
}

void DecodeJob::readAnswer() {
    answer_ += started_->takeAnswer();
    if (answer_.size() > kLargestDecodeAnswer) {
        stopped_ = QStringLiteral("the decoder's answer makes no sense");
        answer_.clear();
        started_->kill();
    }
}

void DecodeJob::helperEnded(int exitCode, bool killed) {
    limit_.stop();
    readAnswer();
    if (!stopped_.isEmpty())
        finish(refusal(stopped_));
    else if (killed || exitCode != 0)
        finish(refusal(QStringLiteral("the picture decoder stopped (%1)")
                           .arg(killed ? QStringLiteral("killed") : QString::number(exitCode))));
    else
        finish(parseDecodeAnswer(answer_));
    answer_.clear();
}

void DecodeJob::finish(const PictureLoadResult& result) {
    if (done_)
        return;
    done_ = true;
    limit_.stop();
    emit finished(result);
}

QString decoderProgramFor(const QString& programFolder) {
    const QString beside = programFolder + QStringLiteral("/tivra-decode");
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed =
        QDir::cleanPath(programFolder + QStringLiteral("/") +
                        QStringLiteral(TIVRA_HELPER_FROM_BIN) + QStringLiteral("/tivra-decode"));
    return QFileInfo::exists(installed) ? installed : beside;
}

} // namespace tivra
