#include "Form2.h"

#include "Module1.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

Form2::Form2() {
    setWindowTitle(QStringLiteral("Optiuni"));
    resize(254, 93);
    QPalette light = palette();
    light.setColor(QPalette::Window, QColor(128, 128, 255));
    setPalette(light);
    setAutoFillBackground(true);

    VScroll1 = new QScrollBar(Qt::Vertical, this);
    VScroll1->setObjectName(QStringLiteral("VScroll1"));
    VScroll1->setGeometry(192, 24, 25, 25);
    VScroll1->setRange(3, 10);
    VScroll1->setValue(3);
    VScroll1->setSingleStep(1);
    VScroll1->setPageStep(1);
    VScroll1->setFocusPolicy(Qt::StrongFocus);

    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(216, 24, 33, 25);

    Label1 = new QLabel(QStringLiteral("Diviziuni pe latura"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(16, 24, 169, 25);
    QFont big = font();
    big.setPointSizeF(13.5);
    Label1->setFont(big);
    QPalette control = Label1->palette();
    control.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    Label1->setPalette(control);
    Label1->setAutoFillBackground(true);

    setTabOrder(VScroll1, Text1);
    connect(VScroll1, &QScrollBar::valueChanged, this, &Form2::VScroll1_Change);
}

void Form2::Form_Load() {
    // A window opened afresh has its controls as they were made.
    {
        const QSignalBlocker quiet(VScroll1);
        VScroll1->setValue(3);
    }
    Text1->clear();

    Text1->setText(QString::number(Module1::Divisions));
    // Position 9 is grid size 4; moving there from 3 runs VScroll1_Change,
    // which sets Divisions and the text box.
    VScroll1->setValue(9);
    VScroll1->setFocus();
}

// The bar runs from 3 at the top to 10 at the bottom, and the grid size the
// other way: the top is the largest grid.
void Form2::VScroll1_Change() {
    Module1::Divisions = static_cast<std::int16_t>(13 - VScroll1->value());
    Text1->setText(QString::number(Module1::Divisions));
}
