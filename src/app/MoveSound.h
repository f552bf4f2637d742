#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

// The short click played on every move, from a wave file beside the program.
// Playback is asynchronous; a missing file or no sound device is silence, and
// never slows a move down.
class MoveSound {
public:
    explicit MoveSound(const QString& file);
    ~MoveSound();
    MoveSound(const MoveSound&) = delete;
    MoveSound& operator=(const MoveSound&) = delete;

    void play();

    // The sound beside the program, or, for an installed program, in its
    // data folder when there is none beside it.
    static QString fileFor(const QString& programFolder);

private:
    struct Device;
    static void serve(const std::shared_ptr<Device>& device, const QByteArray& path);
    std::shared_ptr<Device> device_;
};
