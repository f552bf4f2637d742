#include "UiDriving.h"

#include "app/Form1.h"
#include "app/SurfaceView.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>

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

std::unique_ptr<Form1> openGameWindow(unsigned seed) {
    auto form = std::make_unique<Form1>();
    form->seedRandom(seed);
    form->show();
    if (!QTest::qWaitForWindowActive(form.get()))
        return nullptr;
    form->clientArea()->setFocus();
    return form;
}

struct MessageBoxAnswerer::Watch : QTimer {};

MessageBoxAnswerer::MessageBoxAnswerer() : watch_(new Watch) {
    watch_->setInterval(0);
    QObject::connect(watch_, &QTimer::timeout, [this] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            box && box->isVisible()) {
            ++answered_;
            box->button(QMessageBox::Ok)->click();
        }
    });
    watch_->start();
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    delete watch_;
}

void clickScrollArrow(QScrollBar* bar, QStyle::SubControl arrow) {
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    const QRect button = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, arrow, bar);
    QTest::mouseClick(bar, Qt::LeftButton, {}, button.center());
}

} // namespace tivra::testing
