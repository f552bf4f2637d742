#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QScrollBar;

// The Options window: two arrow buttons set the grid size of the next game.
class Form2 : public QWidget {
    Q_OBJECT
public:
    Form2();

    // Runs each time the window is opened afresh: the grid size goes back to 4.
    void Form_Load();

    QScrollBar* VScroll1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Label1 = nullptr;

private:
    void VScroll1_Change();
};
