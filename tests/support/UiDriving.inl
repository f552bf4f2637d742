#include <QApplication>
#include <QTimer>

namespace tivra::testing {

template <typename T> void handleNextDialog(std::function<void(T*)> handle, QObject* owner) {
    // Owned, so a dialog that never comes leaks nothing.
    auto* poll = new QTimer(owner ? owner : QCoreApplication::instance());
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, handle] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            dialog && dialog->isVisible()) {
            poll->stop();
            poll->deleteLater();
            handle(dialog);
        }
    });
    poll->start();
}

} // namespace tivra::testing
