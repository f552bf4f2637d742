// The game's own start-up, ending as soon as the board has been painted on
// the screen: prints the monotonic clock then, and the peak memory.
#include "FirstPaint.h"
#include "app/Form1.h"
#include "app/SurfaceView.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tivra"));
    Form1 window;
    FirstPaint probe;
    window.clientArea()->installEventFilter(&probe);
    window.show();
    return QApplication::exec();
}
