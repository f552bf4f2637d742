#pragma once

#include <QString>
#include <QStyle>

#include <memory>

class Form1;
class QScrollBar;
#include <functional>

namespace tivra::testing {

struct SeenMessage {
    QString title;
    QString text;
    int buttons = 0;
};

// Waits (in the event loop) for the next modal message box, records it, runs
// `whileOpen` and presses OK. Call before the action that opens it.
void answerNextMessageBox(SeenMessage* seen, std::function<void()> whileOpen = {});

// The main window, seeded, shown, active and with the board focused; none
// when the window system did not make it active.
std::unique_ptr<Form1> openGameWindow(unsigned seed);

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

// Clicks the scroll bar's arrow button (SC_ScrollBarSubLine is the upper one).
void clickScrollArrow(QScrollBar* bar, QStyle::SubControl arrow);

// Runs `handle` on the next modal dialog of type T once it is shown.
template <typename T> void handleNextDialog(std::function<void(T*)> handle);

} // namespace tivra::testing

#include "UiDriving.inl"
