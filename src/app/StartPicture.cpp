#include "StartPicture.h"

#include "ClientLayout.h"
#include "Form1.h"
#include "picture/DecodeJob.h"
#include "picture/DecoderProcess.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

AskedPicture askForStartPicture(const QString& program,
                                std::unique_ptr<tivra::DecoderProcess> helper, const QString& path,
                                const QString& name) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double ratio = screen ? screen->devicePixelRatio() : 1.0;
    AskedPicture asked{
        {PictureRequest::Purpose::Load, path, name, largestBoardOn(screen, QSize(), ratio)},
        std::make_unique<tivra::DecodeJob>(program, std::move(helper))};
    asked.job->start(path, QFileInfo(name).suffix(), asked.request.maxDecoded);
    return asked;
}

void showWithPicture(Form1& window, const QString& path, const QString& name, int waitMs) {
    auto show = [&window] {
        if (!window.isVisible())
            window.show();
    };
    QObject::connect(&window, &Form1::pictureLoadEnded, &window, show, Qt::QueuedConnection);
    QTimer::singleShot(waitMs, &window, show);
    window.loadPictureFile(path, name);
}
