// The game's own start-up, ending as soon as the board has been painted on
// the screen: prints the monotonic clock then, and the peak memory. Given a
// picture, as the command line gives one, it ends once that picture is on
// the screen.
#include "FirstPaint.h"
#include "app/Form1.h"
#include "app/StartPicture.h"
#include "app/SurfaceView.h"

#include <QApplication>
#include <QFileInfo>
#include <QImageReader>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tivra"));
    const QString picture = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    Form1 window;
    window.setDecodeHelper(QStringLiteral(TIVRA_DECODE_HELPER));
    // A picture that never shows is a failed run, not a hung one.
    QTimer::singleShot(20000, [] { std::_Exit(1); });
    const QSize size = picture.isEmpty() ? QSize() : QImageReader(picture).size();
    FirstPaint probe(
        [&] { return size.isEmpty() || window.surfaces().Picture1.pixelSize == size; });
    window.clientArea()->installEventFilter(&probe);
    if (picture.isEmpty())
        window.show();
    else
        showWithPicture(window, picture, QFileInfo(picture).fileName());
    return QApplication::exec();
}
