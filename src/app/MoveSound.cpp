#include "MoveSound.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <canberra.h>

#include <condition_variable>
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

// The sound server is spoken to on a thread of its own, from opening it to
// every click: connecting can take a while, and a server that stops
// answering blocks its caller for as long as it likes. Neither start-up nor
// a move waits for it; the clicks asked for while one is being handed over
// make one click after it.
struct MoveSound::Device {
    std::mutex mutex;
    std::condition_variable wake;
    bool ready = false;   // the server is open
    bool pending = false; // a click is asked for
    bool closing = false; // the game is done with the sound
};

void MoveSound::serve(const std::shared_ptr<Device>& device, const QByteArray& path) {
    Canberra ca;
    ca_context* context = nullptr;
    if (!ca.load() || ca.create(&context) != CA_SUCCESS)
        return;
    ca.changeProps(context, CA_PROP_APPLICATION_NAME, "Tivra", nullptr);
    if (ca.open(context) != CA_SUCCESS) {
        ca.destroy(context);
        return;
    }
    std::unique_lock lock(device->mutex);
    device->ready = true;
    for (;;) {
        device->wake.wait(lock, [&] { return device->pending || device->closing; });
        if (device->closing)
            break;
        device->pending = false;
        lock.unlock();
        ca.play(context, 0, CA_PROP_MEDIA_FILENAME, path.constData(), nullptr);
        lock.lock();
    }
    lock.unlock();
    ca.destroy(context);
}

MoveSound::MoveSound(const QString& file) : device_(std::make_shared<Device>()) {
    std::thread(serve, device_, file.toLocal8Bit()).detach();
}

MoveSound::~MoveSound() {
    {
        std::lock_guard lock(device_->mutex);
        device_->closing = true;
    }
    device_->wake.notify_one();
}

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
    {
        std::lock_guard lock(device_->mutex);
        if (!device_->ready)
            return;
        device_->pending = true;
    }
    device_->wake.notify_one();
}
