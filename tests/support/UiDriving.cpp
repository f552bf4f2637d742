#include "UiDriving.h"

#include "app/Form1.h"
#include "app/StartPicture.h"
#include "app/SurfaceView.h"
#include "picture/DecodeJob.h"

#include <QAbstractButton>
#include <QDropEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QPixmap>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace tivra::testing {

void answerNextMessageBox(SeenMessage* seen, std::function<void()> whileOpen, QObject* owner) {
    handleNextDialog<QMessageBox>(
        [seen, whileOpen](QMessageBox* box) {
            seen->title = box->windowTitle();
            seen->text = box->text();
            seen->buttons = static_cast<int>(box->buttons().size());
            if (whileOpen)
                whileOpen();
            box->button(QMessageBox::Ok)->click();
        },
        owner);
}

std::unique_ptr<Form1> openGameWindow(unsigned seed) {
    auto form = std::make_unique<Form1>();
    form->setDecodeHelper(QStringLiteral(TIVRA_DECODE_HELPER));
    form->seedRandom(seed);
    form->show();
    if (!QTest::qWaitForWindowActive(form.get()))
        return nullptr;
    form->clientArea()->setFocus();
    return form;
}

bool loadPicture(Form1& form, const QString& path) {
    QSignalSpy ended(&form, &Form1::pictureLoadEnded);
    form.loadPictureFile(path);
    // Past the helper's own time limit, a refusal has come.
    if (ended.isEmpty() && !ended.wait(3 * tivra::DecodeJob::kTimeLimitMs))
        return false;
    return ended.constFirst().constFirst().toBool();
}

void showWithPicture(Form1& form, const QString& path, int waitMs) {
    ::showWithPicture(form, path, QFileInfo(path).fileName(), waitMs);
}

bool dropFile(QWidget& window, const QString& file, QPointF at) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(file)});
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &dropped);
    return dropped.isAccepted();
}

bool activateMainWindow(Form1& form) {
    form.windowHandle()->requestActivate();
    return QTest::qWaitFor([&form] { return QApplication::activeWindow() == &form; });
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

QImage grabbed(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QPoint slotOf(const Puzzle& puzzle, int col, int row) {
    const int n = puzzle.gridSize();
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) {
            const CellRec& slot = puzzle.Board(kSource, c, r);
            if (slot.Full == kTrue && slot.PieceCol == col && slot.PieceRow == row)
                return {c, r};
        }
    return {-1, -1};
}

bool arrowsTo(Form1& form, bool onSource, int col, int row) {
    const Puzzle& p = form.puzzle();
    QWidget* board = form.clientArea();
    if (form.arrowsOnSource() != onSource)
        QTest::keyClick(board, Qt::Key_Tab);
    auto here = [&] {
        return onSource ? QPoint(form.sourceCursorCol(), form.sourceCursorRow())
                        : QPoint(p.CursorCol, p.CursorRow);
    };
    const int n = p.gridSize();
    for (int step = 0; here().x() != col && step < n; ++step)
        QTest::keyClick(board, here().x() < col ? Qt::Key_Right : Qt::Key_Left);
    for (int step = 0; here().y() != row && step < n; ++step)
        QTest::keyClick(board, here().y() < row ? Qt::Key_Down : Qt::Key_Up);
    return form.arrowsOnSource() == onSource && here() == QPoint(col, row);
}

bool takeHomeByKeys(Form1& form, int col, int row, Qt::Key action) {
    const QPoint slot = slotOf(form.puzzle(), col, row);
    if (slot.x() < 0 || !arrowsTo(form, false, col, row) ||
        !arrowsTo(form, true, slot.x(), slot.y()))
        return false;
    QTest::keyClick(form.clientArea(), action);
    if (form.puzzle().GameActive)
        QTest::keyClick(form.clientArea(), Qt::Key_Tab);
    return true;
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
