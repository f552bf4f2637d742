#include "Form3.h"

#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>

Form3::Form3()
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Ajutor"));
    setFixedSize(312, 213);
    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(8, 8, 241, 161);
    Text1->setReadOnly(true);
    Text1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setFocusPolicy(Qt::StrongFocus);
}

void Form3::Form_Load() {
    Text1->setGeometry(0, 0, width(), height());
    Text1->setPlainText(QStringLiteral(
        "Pentru a fixa celula receptoare, folositi tastele cursor (sagetile), iar pentru "
        "transfer de celule click de dreapta sau de stanga"));
    Text1->setFocus();
}

void Form3::showCentred() {
    show();
    // A tool window stays out of the taskbar, but this one, open alone, still
    // keeps the program running until it is closed.
    setAttribute(Qt::WA_QuitOnClose, true);
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->geometry().center());
        move(frame.topLeft());
    }
}
