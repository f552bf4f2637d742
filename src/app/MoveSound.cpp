#include "MoveSound.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <canberra.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace {

// libcanberra is opened with the sound device, at the first game, and not at
// start-up, which it would only make slower and larger.
struct Canberra {
    decltype(&::ca_context_create) create = nullptr;
    decltype(&::ca_context_change_props) changeProps = nullptr;
    decltype(&::ca_context_open) open = nullptr;
    decltype(&::ca_context_play) play = nullptr;
    decltype(&::ca_context_destroy) destroy = nullptr;

    bool load() {
        QLibrary library(QStringLiteral("canberra"), 0);
        if (!library.load())
            return false;
        create = reinterpret_cast<decltype(create)>(library.resolve("ca_context_create"));
        changeProps =
            reinterpret_cast<decltype(changeProps)>(library.resolve("ca_context_change_props"));
        open = reinterpret_cast<decltype(open)>(library.resolve("ca_context_open"));
        play = reinterpret_cast<decltype(play)>(library.resolve("ca_context_play"));
        destroy = reinterpret_cast<decltype(destroy)>(library.resolve("ca_context_destroy"));
        return create && changeProps && open && play && destroy;
    }
};

} // namespace

// The sound server is opened on a thread of its own: connecting can take a
// while, and neither start-up nor a move should wait for it.
struct MoveSound::Device {
    std::mutex mutex;
    Canberra ca;
    ca_context* context = nullptr;
    std::atomic<bool> ready{false};

    ~Device() {
        if (context)
            ca.destroy(context);
    }
};

MoveSound::MoveSound(const QString& file) : file_(file), device_(std::make_shared<Device>()) {
    std::thread([device = device_] {
        Canberra ca;
        ca_context* context = nullptr;
        if (!ca.load() || ca.create(&context) != CA_SUCCESS)
            return;
        ca.changeProps(context, CA_PROP_APPLICATION_NAME, "Tivra", nullptr);
        if (ca.open(context) != CA_SUCCESS) {
            ca.destroy(context);
            return;
        }
        std::lock_guard lock(device->mutex);
        device->ca = ca;
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
    device_->ca.play(device_->context, 0, CA_PROP_MEDIA_FILENAME, path.constData(), nullptr);
}
