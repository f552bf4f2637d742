#include "MoveSound.h"

#include <QDir>
#include <QFileInfo>
#include <canberra.h>

#include <atomic>
#include <mutex>
#include <thread>

// The sound server is opened on a thread of its own: connecting can take a
// while, and neither start-up nor a move should wait for it.
struct MoveSound::Device {
    std::mutex mutex;
    ca_context* context = nullptr;
    std::atomic<bool> ready{false};

    ~Device() {
        if (context)
            ca_context_destroy(context);
    }
};

MoveSound::MoveSound(const QString& file) : file_(file), device_(std::make_shared<Device>()) {
    std::thread([device = device_] {
        ca_context* context = nullptr;
        if (ca_context_create(&context) != CA_SUCCESS)
            return;
        ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "Tivra", nullptr);
        if (ca_context_open(context) != CA_SUCCESS) {
            ca_context_destroy(context);
            return;
        }
        std::lock_guard lock(device->mutex);
        device->context = context;
        device->ready = true;
    }).detach();
}

MoveSound::~MoveSound() = default;

QString MoveSound::fileFor(const QString& programFolder) {
    const QString beside = programFolder + QDir::separator() + QStringLiteral("sunet.wav");
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed =
        QDir::cleanPath(programFolder + QStringLiteral("/") + QStringLiteral(TIVRA_DATA_FROM_BIN) +
                        QStringLiteral("/sunet.wav"));
    return QFileInfo::exists(installed) ? QDir::toNativeSeparators(installed) : beside;
}

void MoveSound::play() {
    if (!device_->ready)
        return;
    std::unique_lock lock(device_->mutex, std::try_to_lock);
    if (!lock.owns_lock())
        return;
    const QByteArray path = file_.toLocal8Bit();
    ca_context_play(device_->context, 0, CA_PROP_MEDIA_FILENAME, path.constData(), nullptr);
}
