#include "StartPicture.h"

#include "Form1.h"

#include <QTimer>

void showWithPicture(Form1& window, const QString& path, const QString& name, int waitMs) {
    auto show = [&window] {
        if (!window.isVisible())
            window.show();
    };
    QObject::connect(&window, &Form1::pictureLoadEnded, &window, show, Qt::QueuedConnection);
    QTimer::singleShot(waitMs, &window, show);
    window.loadPictureFile(path, name);
}
