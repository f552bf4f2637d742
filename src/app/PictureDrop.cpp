#include "PictureDrop.h"

#include "PictureLoading.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QWidget>

PictureDrop::PictureDrop(QWidget* window, PictureLoading& loading, std::function<bool()> canLoad,
                         std::function<void(const QString&)> load)
    : QObject(window), window_(window), loading_(loading), canLoad_(std::move(canLoad)),
      load_(std::move(load)) {
    window->setAcceptDrops(true);
    window->installEventFilter(this);
}

bool PictureDrop::loadingPlayersPicture() const {
    return loading_.busy() && loading_.request().purpose == PictureRequest::Purpose::Load;
}

QString PictureDrop::droppedPicture(const QDropEvent* event) const {
    if ((!canLoad_() && !loadingPlayersPicture()) || !event->mimeData()->hasUrls())
        return {};
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return {};
}

bool PictureDrop::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (droppedPicture(drag).isEmpty()) {
            drag->ignore();
            return true;
        }
        drag->acceptProposedAction();
        if (event->type() == QEvent::DragEnter && !loading_.busy())
            loading_.startAhead();
        return true;
    }
    case QEvent::DragLeave:
        if (!loading_.busy())
            loading_.dropAhead(); // the picture went elsewhere
        return false;
    case QEvent::Drop:
        dropped(static_cast<QDropEvent*>(event));
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}

void PictureDrop::dropped(QDropEvent* event) {
    const QString file = droppedPicture(event);
    if (file.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // A picture dropped while another is decoding takes its place.
    if (loadingPlayersPicture()) {
        loading_.replaceWith(file, QFileInfo(file).fileName());
        return;
    }
    // Loaded once the drop is over, so that a message box does not keep the
    // program the picture came from waiting. A game may have started in
    // between: then the drop is too late.
    QMetaObject::invokeMethod(
        this,
        [this, file] {
            if (canLoad_())
                load_(file);
        },
        Qt::QueuedConnection);
}
