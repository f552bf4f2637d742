// The game's own start-up, ending as soon as the board has been painted on
// the screen: prints the monotonic clock then, and the peak memory. Given a
// picture, as the command line gives one, it ends once that picture is on
// the screen.
#include "FirstPaint.h"
#include "app/Form1.h"
#include "app/StartPicture.h"
#include "app/SurfaceView.h"
#include "picture/DecodeJob.h"
#include "picture/DecoderProcess.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <memory>

int main(int argc, char** argv) {
    // As the game does, the picture's helper starts before Qt, and is asked
    // for the picture before the window is made.
    const QString helper = QStringLiteral(TIVRA_DECODE_HELPER);
    std::unique_ptr<tivra::DecoderProcess> started;
    if (argc > 1)
        started = std::make_unique<tivra::DecoderProcess>(helper);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tivra"));
    const QString picture = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    AskedPicture asked;
    if (!picture.isEmpty())
        asked =
            askForStartPicture(helper, std::move(started), picture, QFileInfo(picture).fileName());
    Form1 window;
    window.setDecodeHelper(helper);
    window.pictureLoading().takeAsked(std::move(asked));
    // A picture that never shows is a failed run, not a hung one.
    QTimer::singleShot(20000, [] { std::_Exit(1); });
    // Told apart from the built-in picture by its size, not by reading the
    // file here: a reader of the probe's own would load Qt's JPEG plugin in
    // the game's time.
    const QSize builtIn = window.surfaces().Picture1.pixelSize;
    FirstPaint probe(
        [&] { return picture.isEmpty() || window.surfaces().Picture1.pixelSize != builtIn; });
    // A picture that comes after the window is painted where it shows: on
    // the reference view, between games.
    window.clientArea()->installEventFilter(&probe);
    for (QWidget* child : window.clientArea()->findChildren<QWidget*>())
        child->installEventFilter(&probe);
    if (picture.isEmpty())
        window.show();
    else
        showWithPicture(window, picture, QFileInfo(picture).fileName());
    return QApplication::exec();
}
