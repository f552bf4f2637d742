#include "Form1.h"

#include "ClientLayout.h"
#include "FingerPlay.h"
#include "Form2.h"
#include "Form3.h"
#include "InputCodes.h"
#include "Module1.h"
#include "PictureDialog.h"
#include "PictureDrop.h"
#include "PictureLoading.h"
#include "SurfaceView.h"
#include "TouchInput.h"
#include "WindowPlacement.h"
#include "picture/DecodeJob.h"
#include "picture/DefaultPicture.h"
#include "picture/PictureLoader.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <chrono>
#include <optional>
#include <utility>

using tivra::kReceiving;
using tivra::kSource;

Form1::Form1(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Have fun!"));
    client_ = new SurfaceView(surfaces_.window, this);
    client_->setObjectName(QStringLiteral("Form1Client"));
    client_->setFocusPolicy(Qt::StrongFocus);
    setCentralWidget(client_);
    reference_ = new SurfaceView(surfaces_.Picture2, client_);
    reference_->setObjectName(QStringLiteral("Picture2"));
    reference_->hide();

    connect(client_, &SurfaceView::keyPressed, this, &Form1::Form_KeyDown);
    connect(client_, &SurfaceView::mousePressed, this, &Form1::Form_MouseDown);
    auto* touch = new TouchInput(client_);
    fingers_ = std::make_unique<FingerPlay>(FingerPlay::Board{
        puzzle_, [this](QPointF at, int side) { return cellPressed(at, side); },
        [this] { return boardTakesInput(); }, [this] { return surfaces_.Picture2.Visible(); },
        [this](const BoardMove& move) { play(move); }});
    connect(touch, &TouchInput::tapped, this, [this](float x, float y) {
        layout_->layOutFirstFrame();
        fingers_->tapped(QPointF(x, y));
    });
    connect(touch, &TouchInput::dragStarted, this, [this](QPointF from) {
        layout_->layOutFirstFrame();
        fingers_->dragStarted(from);
    });
    connect(touch, &TouchInput::dragMoved, this, [this](QPointF at) { fingers_->dragMoved(at); });
    connect(touch, &TouchInput::dropped, this, [this](QPointF at) { fingers_->dropped(at); });
    connect(touch, &TouchInput::dragCancelled, this, [this] { fingers_->dragCancelled(); });
    connect(touch, &TouchInput::buttonPressed, this, &Form1::Form_MouseDown);

    rnd_ = [this] {
        // 24 random bits make a float in [0, 1) exactly.
        return static_cast<float>(random_() >> 8) * (1.0f / 16777216.0f);
    };
    painter_.setMoveSound([this] {
        if (sound_)
            sound_->play();
    });

    createMenus();
    placement_ = new WindowPlacement(this);
    loading_ = new PictureLoading(this);
    connect(loading_, &PictureLoading::busyChanged, this, &Form1::pauseCommands);
    connect(loading_, &PictureLoading::decoded, this, &Form1::pictureDecoded);
    connect(loading_, &PictureLoading::cancelled, this, &Form1::pictureCancelled);
    layout_ = new ClientLayout(this, client_, reference_, puzzle_, painter_, surfaces_, *loading_);
    new PictureDrop(
        this, *loading_, [this] { return IncarcaPoza->isEnabled(); },
        [this](const QString& file) { loadPictureFile(file); });
    Form_Load();
}

// The views observe surfaces that are members of this window: they go first.
Form1::~Form1() {
    delete client_;
}

void Form1::createMenus() {
    auto add = [this](QMenu* menu, const char* name, const QString& caption, QKeySequence key,
                      void (Form1::*handler)()) {
        QAction* item = menu->addAction(caption, this, handler);
        item->setObjectName(QString::fromLatin1(name));
        item->setShortcut(key);
        return item;
    };
    QMenu* File = menuBar()->addMenu(QStringLiteral("File"));
    File->setObjectName(QStringLiteral("File"));
    JocNou = add(File, "JocNou", QStringLiteral("Joc Nou"), Qt::Key_F2, &Form1::JocNou_Click);
    Optiuni = add(File, "Optiuni", QStringLiteral("Optiuni"), Qt::Key_F3, &Form1::Optiuni_Click);
    IncarcaPoza = add(File, "IncarcaPoza", QStringLiteral("Incarca Poza"), Qt::Key_F8,
                      &Form1::IncarcaPoza_Click);
    ArataPoza = add(File, "ArataPoza", QStringLiteral("Arata / Ascunde Poza"), Qt::Key_F9,
                    &Form1::ArataPoza_Click);
    Renunta = add(File, "Renunta", QStringLiteral("Renunta"), Qt::Key_F5, &Form1::Renunta_Click);
    Exit = add(File, "Exit", QStringLiteral("Exit"), Qt::Key_F4, &Form1::Exit_Click);
    QMenu* Help = menuBar()->addMenu(QStringLiteral("Help"));
    Help->setObjectName(QStringLiteral("Help"));
    Despre = add(Help, "Despre", QStringLiteral("Despre"), QKeySequence(), &Form1::Despre_Click);
    Informatii =
        add(Help, "Informatii", QStringLiteral("Informatii"), Qt::Key_F1, &Form1::Informatii_Click);
}

QAction* Form1::action(const QString& name) const {
    return findChild<QAction*>(name);
}

void Form1::Form_Load() {
    puzzle_.GameActive = false;
    random_.seed(
        static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count()));
    IncarcaPoza->setEnabled(true);
    Optiuni->setEnabled(true);
    placement_->fitToScreen();
    appPath_ = QCoreApplication::applicationDirPath();
    soundFile_ = MoveSound::fileFor(appPath_);
    loading_->setHelper(tivra::decoderProgramFor(appPath_));
    Module1::Divisions = 4;
    surfaces_.Picture1 = tivra::defaultPicture();
    layout_->fitMinimumSizeToPicture();
    // The board is laid out and painted as soon as the client area has its size.
}

// The commands that would change the board wait for the decode; the board
// takes no keys or presses meanwhile.
void Form1::pauseCommands(bool paused) {
    const QList<QAction*> commands = {JocNou, Optiuni, IncarcaPoza, ArataPoza, Renunta};
    if (paused) {
        pausedCommands_.clear();
        for (QAction* item : commands) {
            pausedCommands_ << item->isEnabled();
            item->setEnabled(false);
        }
        return;
    }
    for (qsizetype i = 0; i < commands.size() && i < pausedCommands_.size(); ++i)
        commands[i]->setEnabled(pausedCommands_[i]);
}

void Form1::pictureDecoded(const PictureRequest& request, const tivra::PictureLoadResult& result) {
    if (request.purpose == PictureRequest::Purpose::Sharpen) {
        layout_->pictureSharpened(request, result);
        return;
    }
    bool playable = false;
    if (result.picture) {
        // Refuse a picture whose cells would vanish at the largest grid size.
        tivra::Puzzle trial;
        const QSize client = client_->size();
        playable = trial.ComputeLayout(client.width(), client.height(),
                                       result.picture->ScaleWidth(), result.picture->ScaleHeight(),
                                       std::max<int>(Module1::kLargestGrid, Module1::Divisions));
    }
    if (!playable) {
        layout_->decodeEnded();
        emit pictureLoadEnded(false);
        // Told once the window is there: a command line's picture may be
        // refused before the window is first shown.
        const QString text =
            QStringLiteral("Fisierul \"%1\" nu poate fi folosit ca poza.").arg(request.name);
        QMetaObject::invokeMethod(
            this, [this, text] { showMessage(QStringLiteral("Tivra"), text); },
            Qt::QueuedConnection);
        return;
    }
    surfaces_.Picture1 = std::move(*result.picture);
    layout_->showNewPicture(request, Module1::Divisions);
    emit pictureLoadEnded(true);
}

void Form1::pictureCancelled(const PictureRequest& request) {
    layout_->decodeEnded();
    if (request.purpose == PictureRequest::Purpose::Load)
        emit pictureLoadEnded(false);
}

void Form1::JocNou_Click() {
    layout_->layOutFirstFrame();
    // The sound device is opened with the first game, off the start-up path;
    // it is ready long before the player's first move.
    if (!sound_)
        sound_ = std::make_unique<MoveSound>(soundFile_);
    puzzle_.GameActive = true;
    IncarcaPoza->setEnabled(false);
    Optiuni->setEnabled(false);
    sourceCol_ = 0;
    sourceRow_ = 0;
    handArrowsToSource(false);
    painter_.SetupBoard(Module1::Divisions);
    painter_.DrawCursor();
    puzzle_.ShuffleBoard(rnd_);
}

void Form1::Renunta_Click() {
    layout_->layOutFirstFrame();
    puzzle_.GameActive = false;
    Optiuni->setEnabled(true);
    IncarcaPoza->setEnabled(true);
    handArrowsToSource(false);
    painter_.ShowSolution();
}

// The box comes first: the finished picture stays on the board until the
// player has closed it.
void Form1::winSequence() {
    showMessage(QStringLiteral("Tivra"), QStringLiteral("Felicitari, ati terminat jocul!"), [this] {
        handArrowsToSource(false);
        painter_.ShowSolution();
        puzzle_.GameActive = false;
        IncarcaPoza->setEnabled(true);
        Optiuni->setEnabled(true);
    });
}

void Form1::handArrowsToSource(bool onSource) {
    arrowsOnSource_ = onSource;
    showSourceCursor();
}

// The painter draws the source cursor where it is, while the arrows move it.
void Form1::showSourceCursor() {
    painter_.setSourceCursor(arrowsOnSource_ ? std::optional<QPoint>(QPoint(sourceCol_, sourceRow_))
                                             : std::nullopt);
}

void Form1::Form_KeyDown(int KeyCode) {
    using namespace tivra::input;
    layout_->layOutFirstFrame();
    if (!boardTakesInput())
        return;
    const bool keyboardMove = KeyCode == kTab || KeyCode == kReturn || KeyCode == kSpace;
    // The whole picture hides the board: the keys that move pieces do not
    // reach it, as clicks do not.
    if (keyboardMove && surfaces_.Picture2.Visible())
        return;
    if (KeyCode == kTab)
        handArrowsToSource(!arrowsOnSource_);

    std::int16_t& col = arrowsOnSource_ ? sourceCol_ : puzzle_.CursorCol;
    std::int16_t& row = arrowsOnSource_ ? sourceRow_ : puzzle_.CursorRow;
    const int last = puzzle_.gridSize() - 1;
    if (KeyCode == kLeft && col > 0)
        --col;
    if (KeyCode == kRight && col < last)
        ++col;
    if (KeyCode == kDown && row < last)
        ++row;
    if (KeyCode == kUp && row > 0)
        --row;
    showSourceCursor();
    painter_.DrawCursor();

    // Space and Return move the piece under the keyboard's cursor, as the
    // mouse's buttons would.
    if (KeyCode == kReturn || KeyCode == kSpace) {
        if (arrowsOnSource_)
            play({BoardMove::Kind::Take, QPoint(sourceCol_, sourceRow_)});
        else
            play({BoardMove::Kind::Return, QPoint(puzzle_.CursorCol, puzzle_.CursorRow)});
    }
}

void Form1::Form_MouseDown(int Button, float x, float y) {
    layout_->layOutFirstFrame();
    if (Button == tivra::input::kRightButton)
        play({BoardMove::Kind::Take, cellPressed(QPointF(x, y), kSource)});
    else if (Button == tivra::input::kLeftButton)
        play({BoardMove::Kind::Return, cellPressed(QPointF(x, y), kReceiving)});
}

// The cell of a grid under a press, in the layout's pixels as finely as the
// pointer gives them. At ratio 1 it is the board's own hit test of the whole
// pixel pressed. On a scaled screen it is the cell drawn under the device
// pixel pressed: there every cell is a whole number of device pixels wide,
// and drifts from the layout's by up to half a device pixel a cell. None on
// a drawn outline or off the grid.
QPoint Form1::cellPressed(QPointF at, int side) const {
    if (client_->devicePixelRatioF() == 1.0) {
        const int x = static_cast<int>(std::floor(at.x()));
        const int y = static_cast<int>(std::floor(at.y()));
        return {puzzle_.HitColumn(x, side), puzzle_.HitRow(y, side)};
    }
    return painter_.cellDrawnAt(at, side).value_or(QPoint(-1, -1));
}

bool Form1::boardTakesInput() const {
    return puzzle_.GameActive && !loading_->busy();
}

// Every key, button and finger comes here to move a piece: the move is
// made when the game allows it, and a take may finish the picture.
void Form1::play(const BoardMove& move) {
    if (!boardTakesInput())
        return;
    const QPoint cell = move.cell;
    switch (move.kind) {
    case BoardMove::Kind::Take:
        if (puzzle_.Board(kReceiving, puzzle_.CursorCol, puzzle_.CursorRow).Full == tivra::kTrue)
            return; // the cursor cell must be emptied first
        puzzle_.takeFromSlot(cell.x(), cell.y());
        // Only a take can finish the picture, whether or not it moved a piece.
        if (puzzle_.IsSolved())
            winSequence();
        return;
    case BoardMove::Kind::Return:
        if (puzzle_.freeSlotEmpty())
            puzzle_.returnFromCell(cell.x(), cell.y());
        return;
    case BoardMove::Kind::MoveCursor:
        if (cell.x() < 0 || cell.y() < 0 || cell.x() >= puzzle_.gridSize() ||
            cell.y() >= puzzle_.gridSize())
            return;
        puzzle_.CursorCol = static_cast<std::int16_t>(cell.x());
        puzzle_.CursorRow = static_cast<std::int16_t>(cell.y());
        painter_.DrawCursor();
        return;
    }
}

void Form1::Optiuni_Click() {
    if (!options_)
        options_ = std::make_unique<Form2>();
    if (!options_->isVisible())
        options_->Form_Load();
    placement_->showAbove(options_.get(), [this] { options_->show(); });
    options_->raise();
    options_->activateWindow();
}

void Form1::Informatii_Click() {
    if (!help_)
        help_ = std::make_unique<Form3>();
    // Centred when it opens; brought forward where the player left it.
    if (!help_->isVisible()) {
        help_->Form_Load();
        placement_->showAbove(help_.get(), [this] { help_->showCentred(); });
    }
    help_->raise();
    help_->activateWindow();
}

void Form1::loadPictureFile(const QString& path) {
    loadPictureFile(path, QFileInfo(path).fileName());
}

void Form1::loadPictureFile(const QString& path, const QString& name) {
    layout_->layOutFirstFrame();
    if (!loading_->decode({PictureRequest::Purpose::Load, path, name, layout_->largestBoard()}))
        emit pictureLoadEnded(false); // one picture at a time
}

void Form1::setDecodeHelper(const QString& program) {
    loading_->setHelper(program);
}

void Form1::startDecodeHelperAhead() {
    loading_->startAhead();
}

void Form1::IncarcaPoza_Click() {
    loading_->startAhead();
    choosePicture(this, [this](const QString& file) {
        if (file.isEmpty())
            loading_->dropAhead();
        else
            loadPictureFile(file);
    });
}

void Form1::ArataPoza_Click() {
    layout_->layOutFirstFrame();
    surfaces_.Picture2.setVisible(!surfaces_.Picture2.Visible());
}

void Form1::Despre_Click() {
    showMessage(QStringLiteral("Tivra v.02"),
                QStringLiteral("Tivra, un joc facut de echipa Tivra - tivra@example.org"));
}

// The Options and Help windows stay open, and the game running, when the
// main window is closed.
void Form1::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    placement_->letGo(options_.get());
    placement_->letGo(help_.get());
}

void Form1::Exit_Click() {
    QCoreApplication::exit(0);
}

// Modal, as the whole program waits for the player's OK; `closed` runs then.
void Form1::showMessage(const QString& title, const QString& text, std::function<void()> closed) {
    auto* box = new QMessageBox(QMessageBox::NoIcon, title, text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    if (closed)
        connect(box, &QDialog::finished, this, std::move(closed));
    box->show();
}
