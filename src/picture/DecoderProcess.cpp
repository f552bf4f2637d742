#include "DecoderProcess.h"

#include "DecodeRequest.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace tivra {

namespace {

// The game's environment, for the helper, with one tunable of its own: a
// fresh process touches every page of its pictures for the first time, and
// large pages make that a few hundred faults instead of thousands.
std::vector<std::string> helperEnvironment() {
    std::vector<std::string> variables;
    for (char** variable = environ; *variable; ++variable)
        if (std::strncmp(*variable, "GLIBC_TUNABLES=", 15) != 0)
            variables.emplace_back(*variable);
    variables.emplace_back("GLIBC_TUNABLES=glibc.malloc.hugetlb=1");
    return variables;
}

void closeIfOpen(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

DecoderProcess::DecoderProcess(const QString& program) {
    int request[2];
    int answer[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, request) != 0) {
        startError_ = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    if (::pipe2(answer, O_CLOEXEC) != 0) {
        startError_ = QString::fromLocal8Bit(std::strerror(errno));
        ::close(request[0]);
        ::close(request[1]);
        return;
    }
    socket_ = request[0];
    answerPipe_ = answer[0];
    // The request's socket is the helper's standard input, the answer's pipe
    // its standard output; its messages go where the game's go.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, request[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, answer[1], STDOUT_FILENO);
    const QByteArray path = QFile::encodeName(program);
    char* const arguments[] = {const_cast<char*>(path.constData()), nullptr};
    std::vector<std::string> variables = helperEnvironment();
    std::vector<char*> environment;
    for (std::string& variable : variables)
        environment.push_back(variable.data());
    environment.push_back(nullptr);
    const int failed =
        ::posix_spawn(&pid_, path.constData(), &actions, nullptr, arguments, environment.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(request[1]);
    ::close(answer[1]);
    if (failed != 0) {
        pid_ = -1;
        startError_ = QString::fromLocal8Bit(std::strerror(failed));
        return;
    }
    ::fcntl(answerPipe_, F_SETFL, ::fcntl(answerPipe_, F_GETFL) | O_NONBLOCK);
    // Called directly: Debian 12's C library declares pidfd_open() for C only.
    exitNotice_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
}

DecoderProcess::~DecoderProcess() {
    delete answerReady_;
    delete exited_;
    // Stopped before its socket closes: a helper that saw the end of its
    // requests first would say it got no picture.
    if (pid_ > 0 && !ended_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    closeIfOpen(socket_);
    closeIfOpen(answerPipe_);
    closeIfOpen(exitNotice_);
}

bool DecoderProcess::waiting() const {
    if (pid_ <= 0 || ended_)
        return false;
    // Asked without reaping it: its end is still reported as it happens.
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
}

bool DecoderProcess::ask(int file, QSize maxDecoded, const QString& formatHint) {
    const bool sent = socket_ >= 0 && sendDecodeRequest(socket_, file, maxDecoded, formatHint);
    // One picture each: the helper sees the end of its requests.
    closeIfOpen(socket_);
    return sent;
}

void DecoderProcess::watch() {
    if (pid_ <= 0 || ended_ || answerReady_)
        return;
    answerReady_ = new QSocketNotifier(answerPipe_, QSocketNotifier::Read, this);
    connect(answerReady_, &QSocketNotifier::activated, this, &DecoderProcess::readAnswer);
    if (exitNotice_ >= 0) {
        exited_ = new QSocketNotifier(exitNotice_, QSocketNotifier::Read, this);
        connect(exited_, &QSocketNotifier::activated, this, &DecoderProcess::reap);
    } else {
        exitPoll_ = new QTimer(this);
        connect(exitPoll_, &QTimer::timeout, this, &DecoderProcess::reap);
        exitPoll_->start(10);
    }
}

QByteArray DecoderProcess::takeAnswer() {
    return std::exchange(answer_, QByteArray());
}

void DecoderProcess::kill() {
    if (waiting())
        ::kill(pid_, SIGKILL);
}

void DecoderProcess::readAnswer() {
    bool arrived = false;
    for (;;) {
        char block[64 * 1024];
        const ssize_t got = ::read(answerPipe_, block, sizeof block);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            // At its end the pipe stays readable: no more telling so.
            if (got == 0 && answerReady_)
                answerReady_->setEnabled(false);
            break;
        }
        answer_.append(block, got);
        arrived = true;
    }
    if (arrived)
        emit answerArrived();
}

void DecoderProcess::reap() {
    int status = 0;
    if (ended_ || ::waitpid(pid_, &status, WNOHANG) != pid_)
        return;
    ended_ = true;
    if (exited_)
        exited_->setEnabled(false);
    if (exitPoll_)
        exitPoll_->stop();
    // Everything it wrote before it ended is in the pipe.
    readAnswer();
    if (WIFSIGNALED(status))
        emit ended(0, true);
    else
        emit ended(WEXITSTATUS(status), false);
}

} // namespace tivra
