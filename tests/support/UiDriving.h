#pragma once

#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QString>
#include <QStyle>

#include <memory>

class Form1;
class QScrollBar;
class QWidget;
namespace tivra {
class Puzzle;
}
#include <functional>

namespace tivra::testing {

struct SeenMessage {
    QString title;
    QString text;
    int buttons = 0;
};

// Waits (in the event loop) for the next modal message box, records it, runs
// `whileOpen` and presses OK. Call before the action that opens it. The wait
// ends with `owner` (by default, with the application): give one that goes
// when `seen` does, where no box may come.
void answerNextMessageBox(SeenMessage* seen, std::function<void()> whileOpen = {},
                          QObject* owner = nullptr);

// The main window, seeded, shown, active and with the board focused; none
// when the window system did not make it active.
std::unique_ptr<Form1> openGameWindow(unsigned seed);

// Loads a picture file as the player's, and waits for the end: true when
// it is on the board.
bool loadPicture(Form1& form, const QString& path);

// Shows a new main window as the program does with a picture named on its
// command line, waiting up to `waitMs` for the picture.
void showWithPicture(Form1& form, const QString& path, int waitMs);

// Drags a file over a point of a window and drops it there, as a file
// manager does; returns whether the window took the drop.
bool dropFile(QWidget& window, const QString& file, QPointF at);

// Makes the main window active again, as a click on it does. (While a
// window that belongs to it has the focus, Qt counts the main window as
// active already, and activateWindow() does nothing.)
bool activateMainWindow(Form1& form);

// Presses OK on every message box that opens from now on, as long as the
// returned object lives; counts them.
class MessageBoxAnswerer {
public:
    MessageBoxAnswerer();
    ~MessageBoxAnswerer();
    int answered() const { return answered_; }

private:
    struct Watch;
    Watch* watch_;
    int answered_ = 0;
};

// What a widget shows, grabbed from it, in the board surfaces' format.
QImage grabbed(QWidget& widget);

// Where piece (col, row) lies on the source grid; (-1, -1) when it is not
// there.
QPoint slotOf(const Puzzle& puzzle, int col, int row);

// Brings the arrows to a grid with Tab and moves its cursor to (col, row)
// with the arrow keys; false when it did not get there.
bool arrowsTo(Form1& form, bool onSource, int col, int row);

// Puts piece (col, row) into its home cell with the keyboard only: the blue
// cursor to the cell, the source cursor to the piece, `action` (Space or
// Return) and, while the game goes on, the arrows back to the receiving
// grid. False when a step did not work.
bool takeHomeByKeys(Form1& form, int col, int row, Qt::Key action);

// Clicks the scroll bar's arrow button (SC_ScrollBarSubLine is the upper one).
void clickScrollArrow(QScrollBar* bar, QStyle::SubControl arrow);

// Runs `handle` on the next modal dialog of type T once it is shown, unless
// `owner` (by default, the application) goes first.
template <typename T>
void handleNextDialog(std::function<void(T*)> handle, QObject* owner = nullptr);

} // namespace tivra::testing

#include "UiDriving.inl"
