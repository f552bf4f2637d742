#pragma once

#include <QString>
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

// Runs `handle` on the next modal dialog of type T once it is shown.
template <typename T> void handleNextDialog(std::function<void(T*)> handle);

} // namespace tivra::testing

#include "Dialogs.inl"
