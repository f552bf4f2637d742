#include "HelperDecode.h"

#include "DecodeAnswer.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

HelperDecode::HelperDecode(QString helper, QObject* parent)
    : QObject(parent), helper_(std::move(helper)) {
    limit_.setSingleShot(true);
    limit_.setTimerType(Qt::PreciseTimer);
    limit_.setInterval(kTimeLimitMs);
    connect(&limit_, &QTimer::timeout, this, [this] {
        stopped_ = QStringLiteral("the picture took too long to decode");
        process_.kill();
    });
    connect(&process_, &QProcess::readyReadStandardOutput, this, &HelperDecode::readAnswer);
    connect(&process_, &QProcess::finished, this, &HelperDecode::helperEnded);
    connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish(refusal(QStringLiteral("the picture decoder cannot start: %1")
                               .arg(process_.errorString())));
    });
}

HelperDecode::~HelperDecode() {
    done_ = true; // no answer to anyone now
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(1000);
    }
}

void HelperDecode::start(const QString& path, const QString& formatHint, QSize maxDecoded) {
    QString error;
    const int fd = openPictureFile(path, &error);
    if (fd < 0) {
        // Answered from the event loop, as the helper's answer would be.
        QMetaObject::invokeMethod(
            this, [this, error] { finish(refusal(error)); }, Qt::QueuedConnection);
        return;
    }
    // The helper's standard input is the open file itself.
    process_.setChildProcessModifier([fd] { ::dup2(fd, STDIN_FILENO); });
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A fresh process touches every page of its pictures for the first
    // time: large pages make that a few hundred faults instead of thousands.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("GLIBC_TUNABLES"), QStringLiteral("glibc.malloc.hugetlb=1"));
    process_.setProcessEnvironment(environment);
    process_.start(
        helper_,
        {QStringLiteral("%1x%2").arg(maxDecoded.width()).arg(maxDecoded.height()), formatHint});
    ::close(fd);
    limit_.start();
}

void HelperDecode::cancel() {
    if (done_)
        return;
    cancelled_ = true;
    stopped_ = QStringLiteral("cancelled");
    if (process_.state() != QProcess::NotRunning)
        process_.kill();
    else
        finish(refusal(stopped_));
}

void HelperDecode::readAnswer() {
    answer_ += process_.readAllStandardOutput();
    if (answer_.size() > kLargestDecodeAnswer) {
        stopped_ = QStringLiteral("the decoder's answer makes no sense");
        answer_.clear();
        process_.kill();
    }
}

void HelperDecode::helperEnded(int exitCode, QProcess::ExitStatus status) {
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

void HelperDecode::finish(const PictureLoadResult& result) {
    if (done_)
        return;
    done_ = true;
    limit_.stop();
    emit finished(result);
}

QString decodeHelperFor(const QString& programFolder) {
    const QString beside = programFolder + QStringLiteral("/tivra-decode");
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed =
        QDir::cleanPath(programFolder + QStringLiteral("/") +
                        QStringLiteral(TIVRA_HELPER_FROM_BIN) + QStringLiteral("/tivra-decode"));
    return QFileInfo::exists(installed) ? installed : beside;
}
