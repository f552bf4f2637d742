#pragma once

#include <QWidget>

class QPlainTextEdit;

// The Help window: one sentence on how to play, to read and copy.
class Form3 : public QWidget {
    Q_OBJECT
public:
    Form3();

    void Form_Load();
    void showCentred();

    QPlainTextEdit* Text1 = nullptr;
};
