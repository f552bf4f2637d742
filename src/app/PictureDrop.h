#pragma once

#include <QObject>
#include <QString>
#include <functional>

class PictureLoading;
class QDropEvent;
class QWidget;

// A picture file dropped on the main window loads as "Incarca Poza" loads
// one, and like it only between games. A drag coming in starts the decoding
// helper ahead; a picture dropped while another decodes takes its place.
class PictureDrop : public QObject {
public:
    // `canLoad`: whether a picture may be loaded now; `load` loads one.
    PictureDrop(QWidget* window, PictureLoading& loading, std::function<bool()> canLoad,
                std::function<void(const QString&)> load);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool loadingPlayersPicture() const;
    QString droppedPicture(const QDropEvent* event) const;
    void dropped(QDropEvent* event);

    QWidget* window_;
    PictureLoading& loading_;
    std::function<bool()> canLoad_;
    std::function<void(const QString&)> load_;
};
