#include "DecodeJob.h"

#include "DecodeAnswer.h"
#include "DecodeRequest.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
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

DecoderProcess::DecoderProcess(const QString& program) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
        return; // no helper to start: it is reported as one that cannot start
    socket_ = ends[0];
    const int helperEnd = ends[1];
    // The helper's standard input is its end of the socket.
    process_.setChildProcessModifier([helperEnd] { ::dup2(helperEnd, STDIN_FILENO); });
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A fresh process touches every page of its pictures for the first
    // time: large pages make that a few hundred faults instead of thousands.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("GLIBC_TUNABLES"), QStringLiteral("glibc.malloc.hugetlb=1"));
    process_.setProcessEnvironment(environment);
    process_.start(program, {});
    ::close(helperEnd);
}

DecoderProcess::~DecoderProcess() {
    // Stopped before its socket closes: a helper that saw the end of its
    // requests first would say it got no picture.
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(1000);
    }
    if (socket_ >= 0)
        ::close(socket_);
}

bool DecoderProcess::ask(int file, QSize maxDecoded, const QString& formatHint) {
    const bool sent = socket_ >= 0 && sendDecodeRequest(socket_, file, maxDecoded, formatHint);
    // One picture each: the helper sees the end of its requests.
    if (socket_ >= 0)
        ::close(socket_);
    socket_ = -1;
    return sent;
}

DecodeJob::DecodeJob(QString helper, std::unique_ptr<DecoderProcess> started, QObject* parent)
    : QObject(parent), helper_(std::move(helper)), started_(std::move(started)) {
    limit_.setSingleShot(true);
    limit_.setTimerType(Qt::PreciseTimer);
    limit_.setInterval(kTimeLimitMs);
    connect(&limit_, &QTimer::timeout, this, [this] {
        stopped_ = QStringLiteral("the picture took too long to decode");
        started_->process().kill();
    });
}

DecodeJob::~DecodeJob() {
    done_ = true; // no answer to anyone now
    if (started_) {
        started_->process().disconnect(this);
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
    QProcess& process = started_->process();
    connect(&process, &QProcess::readyReadStandardOutput, this, &DecodeJob::readAnswer);
    connect(&process, &QProcess::finished, this, &DecodeJob::helperEnded);
    connect(&process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish(refusal(cannotStart()));
    });
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
    return QStringLiteral("the picture decoder cannot start: %1")
        .arg(started_->process().errorString());
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
        started_->process().kill();
    else
        finish(refusal(stopped_));
}

void DecodeJob::readAnswer() {
    answer_ += started_->process().readAllStandardOutput();
    if (answer_.size() > kLargestDecodeAnswer) {
        stopped_ = QStringLiteral("the decoder's answer makes no sense");
        answer_.clear();
        started_->process().kill();
    }
}

void DecodeJob::helperEnded(int exitCode, QProcess::ExitStatus status) {
    limit_.stop();
    readAnswer();
    if (!stopped_.isEmpty())
        finish(refusal(stopped_));
    else if (status != QProcess::NormalExit || exitCode != 0)
        finish(refusal(QStringLiteral("the picture decoder stopped (%1)")
                           .arg(status == QProcess::CrashExit ? QStringLiteral("killed")
                                                              : QString::number(exitCode))));
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
