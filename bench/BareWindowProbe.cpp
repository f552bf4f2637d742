// The yardstick for the game's start-up: a bare Qt main window with one menu
// and an orange client area, sized to the screen as the game's is.
#include "FirstPaint.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

namespace {

class Orange : public QWidget {
protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter(this).fillRect(event->rect(), QColor(255, 128, 0));
    }
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Have fun!"));
    window.menuBar()->addMenu(QStringLiteral("File"))->addAction(QStringLiteral("Exit"));
    auto* client = new Orange;
    window.setCentralWidget(client);
    if (QScreen* screen = window.screen())
        window.setGeometry(screen->availableGeometry());
    FirstPaint probe;
    client->installEventFilter(&probe);
    window.show();
    return QApplication::exec();
}
