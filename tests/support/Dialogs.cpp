#include "Dialogs.h"

#include <QAbstractButton>
#include <QMessageBox>

namespace tivra::testing {

void answerNextMessageBox(SeenMessage* seen, std::function<void()> whileOpen) {
    handleNextDialog<QMessageBox>([seen, whileOpen](QMessageBox* box) {
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->buttons = static_cast<int>(box->buttons().size());
        if (whileOpen)
            whileOpen();
        box->button(QMessageBox::Ok)->click();
    });
}

} // namespace tivra::testing
