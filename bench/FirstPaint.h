#pragma once

#include <QEvent>
#include <QFile>
#include <QObject>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <functional>

// Watches a widget; once its first paint has reached the screen, prints the
// monotonic clock and the process's peak memory, and ends the process. With
// `shown`, the first paint once that holds.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(std::function<bool()> shown = {}) : shown_(std::move(shown)) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && (!shown_ || shown_()))
            QTimer::singleShot(0, [] {
                timespec now{};
                clock_gettime(CLOCK_MONOTONIC, &now);
                QFile status(QStringLiteral("/proc/self/status"));
                status.open(QIODevice::ReadOnly);
                QByteArray peak;
                for (const QByteArray& line : status.readAll().split('\n'))
                    if (line.startsWith("VmHWM:"))
                        peak = line.mid(6).trimmed();
                std::printf("%lld.%09ld %s\n", static_cast<long long>(now.tv_sec), now.tv_nsec,
                            peak.constData());
                std::fflush(stdout);
                std::_Exit(0);
            });
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool()> shown_;
};
