#include "Form1.h"

#include "Form2.h"
#include "Form3.h"
#include "Module1.h"
#include "PictureDialog.h"
#include "SurfaceView.h"
#include "picture/DefaultPicture.h"
#include "picture/HelperDecode.h"
#include "picture/PictureLoader.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QShortcut>
#include <QWindow>
#include <chrono>
#include <cmath>
#include <optional>
#include <utility>

using tivra::kReceiving;
using tivra::kSource;

namespace {

// Below this the grids of a 10 x 10 board would shrink to nothing.
constexpr QSize kMinimumClient(320, 240);
// Keeps every pixel position of the board inside 16 bits.
constexpr QSize kMaximumClient(16000, 16000);
// The reference picture's sunken border, inside the client area.
constexpr int kPictureFrame = 2;

bool onWayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool isExposed(const QWindow* window) {
    return window && window->isExposed();
}

} // namespace

Form1::Form1(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Have fun!"));
    setAcceptDrops(true);
    client_ = new SurfaceView(surfaces_.window, this);
    client_->setObjectName(QStringLiteral("Form1Client"));
    client_->setMinimumSize(kMinimumClient);
    client_->setMaximumSize(kMaximumClient);
    client_->setFocusPolicy(Qt::StrongFocus);
    setCentralWidget(client_);
    reference_ = new SurfaceView(surfaces_.Picture2, client_);
    reference_->setObjectName(QStringLiteral("Picture2"));
    reference_->setSunkenFrame(kPictureFrame);
    reference_->hide();

    connect(client_, &SurfaceView::keyPressed, this, &Form1::Form_KeyDown);
    connect(client_, &SurfaceView::mousePressed, this, &Form1::Form_MouseDown);
    connect(client_, &SurfaceView::resized, this, &Form1::clientResized);
    connect(client_, &SurfaceView::aboutToPaint, this, &Form1::layOutFirstFrame);

    rnd_ = [this] {
        // 24 random bits make a float in [0, 1) exactly.
        return static_cast<float>(random_() >> 8) * (1.0f / 16777216.0f);
    };
    painter_.setMoveSound([this] {
        if (sound_)
            sound_->play();
    });

    createMenus();
    cancelLoad_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    cancelLoad_->setEnabled(false);
    connect(cancelLoad_, &QShortcut::activated, this, [this] {
        if (loading_)
            loading_->cancel();
    });
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
    // The whole free area of the screen, so that no panel covers the board.
    if (QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        if (onWayland()) {
            // A Wayland client neither knows where the panels are nor places
            // itself: the compositor is asked for its free area. One that
            // will not maximize a window gets one that fits inside its panels.
            resize(area.size() * 3 / 4);
            setWindowState(Qt::WindowMaximized);
        } else {
            resize(area.size());
            move(area.topLeft());
        }
    }
    appPath_ = QCoreApplication::applicationDirPath();
    soundFile_ = MoveSound::fileFor(appPath_);
    decodeHelper_ = decodeHelperFor(appPath_);
    Module1::Divisions = 4;
    surfaces_.Picture1 = defaultPicture();
    fitMinimumSizeToPicture();
    // The board is laid out and painted as soon as the client area has its size.
}

void Form1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (fittedToScreen_ || onWayland())
        return;
    fittedToScreen_ = true;
    // The window manager's frame is known only now; keep the outer frame on
    // the screen's free area.
    const QSize frame = frameGeometry().size() - geometry().size();
    // A frame may be a title bar alone, with no side borders.
    if (QScreen* screen = this->screen(); screen && !frame.isNull()) {
        const QRect area = screen->availableGeometry();
        resize(area.size() - frame);
        move(area.topLeft());
    }
}

// A window manager keeps the window at its minimum size; without one the X
// server takes any size, and the window grows back by itself.
void Form1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    const QSize allowed = size().expandedTo(minimumSize());
    if (allowed != size())
        QMetaObject::invokeMethod(
            this, [this] { resize(size().expandedTo(minimumSize())); }, Qt::QueuedConnection);
}

namespace {

// A size in the layout's pixels, in device pixels.
QSize onDevice(QSize logical, double ratio) {
    return QSize(static_cast<int>(std::ceil(logical.width() * ratio)),
                 static_cast<int>(std::ceil(logical.height() * ratio)));
}

} // namespace

void Form1::clientResized(QSize size) {
    // Until the window is first on screen its size may still change (the
    // window manager's frame, the compositor's maximized size): the board is
    // laid out once, for the size the first frame shows.
    if (!boardLaidOut_ && !isExposed(windowHandle())) {
        firstLayoutPending_ = true;
        return;
    }
    firstLayoutPending_ = false;
    layOutClient(size);
}

void Form1::layOutClient(QSize size) {
    // The surfaces hold the screen's own pixels: on a scaled screen a
    // picture shows all the detail the screen can.
    const double ratio = client_->devicePixelRatioF();
    painter_.setClient(size, ratio);
    for (tivra::Surface* surface : {&surfaces_.window, &surfaces_.Picture2, &surfaces_.Picture3})
        surface->setRatio(ratio);
    decodeForScreen();
    // The window's events go on while a photo is decoded again for a new
    // screen: a resize meanwhile (moved between screens, a window can pass
    // through another size) was laid out for the newer size, which stands.
    if (client_->size() != size || client_->devicePixelRatioF() != ratio)
        return;
    surfaces_.window.resize(onDevice(size, ratio));
    surfaces_.Picture2.resize(onDevice(size - QSize(2 * kPictureFrame, 2 * kPictureFrame), ratio));
    reference_->setGeometry(QRect(QPoint(0, 0), size));
    if (!boardLaidOut_) {
        boardLaidOut_ = true;
        painter_.LayOutNewBoard(Module1::Divisions);
    } else if (puzzle_.GameActive) {
        painter_.RelayoutGame();
    } else {
        // A grid size chosen since waits for the next New Game or load.
        painter_.SetupBoard(puzzle_.gridSize());
    }
}

// A photo is held decoded for the largest board its screen can show. Moved
// to a screen of a higher ratio, it is decoded again from its file, so that
// the pieces keep all the detail that screen shows; the game goes on.
void Form1::decodeForScreen() {
    const tivra::LoadedPicture& picture = surfaces_.Picture1;
    const QSize wanted = largestBoard();
    if (pictureFile_.isEmpty() || picture.image.size() == picture.pixelSize ||
        (wanted.width() <= decodedFor_.width() && wanted.height() <= decodedFor_.height()))
        return;
    if (loading_)
        return;
    decodedFor_ = decodedFor_.expandedTo(wanted);
    bool cancelled = false;
    PictureLoadResult result = decodeInHelper(pictureFile_, pictureFormat_, wanted, &cancelled);
    // The file may have changed since: only the same picture replaces it.
    if (result.picture && result.picture->pixelSize == picture.pixelSize)
        surfaces_.Picture1.image = std::move(result.picture->image);
}

// Every picture file is decoded in the confined helper program. The window
// goes on repainting and answering meanwhile; the commands that would change
// the board wait, Esc gives up, and a picture dropped meanwhile replaces it.
PictureLoadResult Form1::decodeInHelper(const QString& path, const QString& formatHint, QSize size,
                                        bool* cancelled) {
    *cancelled = false;
    if (decodeHelper_.isEmpty()) // the benchmarks' baseline
        return loadPicture(path, size);
    HelperDecode decode(decodeHelper_, std::move(nextHelper_));
    QEventLoop waiting;
    std::optional<PictureLoadResult> answer;
    connect(&decode, &HelperDecode::finished, &waiting, [&](const PictureLoadResult& result) {
        answer = result;
        waiting.quit();
    });
    const QList<QAction*> paused = {JocNou, Optiuni, IncarcaPoza, ArataPoza, Renunta};
    QList<bool> enabled;
    for (QAction* item : paused) {
        enabled << item->isEnabled();
        item->setEnabled(false);
    }
    loading_ = &decode;
    cancelLoad_->setEnabled(true);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    decode.start(path, formatHint, size);
    if (!answer)
        waiting.exec();
    QApplication::restoreOverrideCursor();
    cancelLoad_->setEnabled(false);
    loading_ = nullptr;
    for (qsizetype i = 0; i < paused.size(); ++i)
        paused[i]->setEnabled(enabled[i]);
    // The program was told to end while it waited.
    *cancelled = decode.cancelled() || !answer;
    return answer.value_or(PictureLoadResult{});
}

// The first frame's layout, at the latest when something needs the board.
void Form1::layOutFirstFrame() {
    if (firstLayoutPending_) {
        firstLayoutPending_ = false;
        layOutClient(client_->size());
    }
}

// The window may not shrink below a size where the picture's cells, at the
// largest grid, would be too small to click: no resize can leave a game
// that cannot be won, nor a picture that New Game cannot lay out.
void Form1::fitMinimumSizeToPicture() {
    const QSize picture = surfaces_.Picture1.pixelSize;
    const auto smallest =
        tivra::smallestPlayableClient(picture.width(), picture.height(), Module1::kLargestGrid,
                                      {kMinimumClient.width(), kMinimumClient.height()},
                                      {kMaximumClient.width(), kMaximumClient.height()});
    client_->setMinimumSize(smallest ? QSize(smallest->width, smallest->height) : kMinimumClient);
}

void Form1::JocNou_Click() {
    layOutFirstFrame();
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
    layOutFirstFrame();
    puzzle_.GameActive = false;
    Optiuni->setEnabled(true);
    IncarcaPoza->setEnabled(true);
    handArrowsToSource(false);
    painter_.ShowSolution();
}

void Form1::winSequence() {
    showMessage(QStringLiteral("Tivra"), QStringLiteral("Felicitari, ati terminat jocul!"));
    handArrowsToSource(false);
    painter_.ShowSolution();
    puzzle_.GameActive = false;
    IncarcaPoza->setEnabled(true);
    Optiuni->setEnabled(true);
}

namespace {

constexpr int kTab = 9;
constexpr int kReturn = 13;
constexpr int kSpace = 32;

} // namespace

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
    layOutFirstFrame();
    if (!puzzle_.GameActive)
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
    if (KeyCode == 37 && col > 0)
        --col;
    if (KeyCode == 39 && col < last)
        ++col;
    if (KeyCode == 40 && row < last)
        ++row;
    if (KeyCode == 38 && row > 0)
        --row;
    showSourceCursor();
    painter_.DrawCursor();

    if (KeyCode == kReturn || KeyCode == kSpace) {
        if (arrowsOnSource_)
            pressCell(2, kSource, sourceCol_, sourceRow_);
        else
            pressCell(1, kReceiving, puzzle_.CursorCol, puzzle_.CursorRow);
    }
}

// A click in the middle of a cell, where the hit test always finds it.
void Form1::pressCell(int Button, int side, int col, int row) {
    const tivra::CellRec& cell = puzzle_.Board(side, col, row);
    const QPoint middle(cell.X + puzzle_.CellWidth / 2, cell.Y + puzzle_.CellHeight / 2);
    pressBoard(Button, middle, middle);
}

// A press in the layout's pixels, for the board's hit test of one grid. On
// a screen scaled by a fraction the cells are drawn a whole number of device
// pixels wide and drift from the layout's by up to half a device pixel a
// cell: there the press stands for the middle of the cell drawn under it,
// and a press on a drawn outline for a point that no cell holds.
QPoint Form1::pressedPoint(float x, float y, int side) const {
    if (client_->devicePixelRatioF() == 1.0)
        return {static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y))};
    const std::optional<QPoint> cell = painter_.cellDrawnAt(QPointF(x, y), side);
    if (!cell)
        return {-1, -1};
    const tivra::CellRec& drawn = puzzle_.Board(side, cell->x(), cell->y());
    return {drawn.X + puzzle_.CellWidth / 2, drawn.Y + puzzle_.CellHeight / 2};
}

void Form1::Form_MouseDown(int Button, float x, float y) {
    layOutFirstFrame();
    pressBoard(Button, pressedPoint(x, y, kSource), pressedPoint(x, y, kReceiving));
}

// A press at these points of the layout, as each grid's hit test reads it.
void Form1::pressBoard(int Button, QPoint onSource, QPoint onReceiving) {
    if (!puzzle_.GameActive)
        return;
    if (Button == 2 &&
        puzzle_.Board(kReceiving, puzzle_.CursorCol, puzzle_.CursorRow).Full == tivra::kFalse) {
        puzzle_.TakePiece(onSource.x(), onSource.y());
        if (puzzle_.IsSolved())
            winSequence();
        return;
    }
    if (Button == 1 && puzzle_.freeSlotEmpty())
        puzzle_.ReturnPiece(onReceiving.x(), onReceiving.y());
}

void Form1::Optiuni_Click() {
    if (!options_)
        options_ = std::make_unique<Form2>();
    keepAbove(options_.get());
    if (!options_->isVisible())
        options_->Form_Load();
    options_->show();
    options_->raise();
    options_->activateWindow();
}

void Form1::Informatii_Click() {
    if (!help_)
        help_ = std::make_unique<Form3>();
    keepAbove(help_.get());
    // Centred when it opens; brought forward where the player left it.
    if (!help_->isVisible()) {
        help_->Form_Load();
        help_->showCentred();
    }
    help_->raise();
    help_->activateWindow();
}

QSize Form1::largestBoard() const {
    QSize client = client_->size();
    if (const QScreen* screen = this->screen())
        client = client.expandedTo(screen->availableGeometry().size());
    const QSize board(std::max(1, (client.width() - 150) / 2), std::max(1, client.height() - 100));
    return onDevice(board, client_->devicePixelRatioF());
}

bool Form1::loadPictureFile(const QString& path) {
    return loadPictureFile(path, QFileInfo(path).fileName());
}

bool Form1::loadPictureFile(const QString& path, const QString& name) {
    layOutFirstFrame();
    // A very large photo takes a moment: the pointer says so.
    const QSize decodeFor = largestBoard();
    bool cancelled = false;
    const QString formatHint = QFileInfo(name).suffix();
    PictureLoadResult result = decodeInHelper(path, formatHint, decodeFor, &cancelled);
    if (cancelled) {
        // Esc changes nothing; a picture dropped meanwhile loads instead.
        const QString next = std::exchange(nextPicture_, QString());
        return !next.isEmpty() && loadPictureFile(next);
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
        showMessage(QStringLiteral("Tivra"),
                    QStringLiteral("Fisierul \"%1\" nu poate fi folosit ca poza.").arg(name));
        return false;
    }
    surfaces_.Picture1 = std::move(*result.picture);
    pictureFile_ = QFileInfo(path).absoluteFilePath();
    pictureFormat_ = formatHint;
    decodedFor_ = decodeFor;
    fitMinimumSizeToPicture();
    painter_.SetupBoard(Module1::Divisions);
    return true;
}

void Form1::setDecodeHelper(const QString& program) {
    decodeHelper_ = program;
    nextHelper_.reset();
}

void Form1::startDecodeHelperAhead() {
    if (!decodeHelper_.isEmpty() && !nextHelper_)
        nextHelper_ = std::make_unique<StartedDecodeHelper>(decodeHelper_);
}

void Form1::IncarcaPoza_Click() {
    startDecodeHelperAhead();
    const QString file = choosePicture(this);
    if (file.isEmpty()) {
        nextHelper_.reset();
        return;
    }
    loadPictureFile(file);
}

QString Form1::droppedPicture(const QDropEvent* event) const {
    if ((!IncarcaPoza->isEnabled() && !loading_) || !event->mimeData()->hasUrls())
        return {};
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return {};
}

void Form1::takePictureDrag(QDragMoveEvent* event) const {
    if (droppedPicture(event).isEmpty())
        event->ignore();
    else
        event->acceptProposedAction();
}

void Form1::dragEnterEvent(QDragEnterEvent* event) {
    takePictureDrag(event);
    if (event->isAccepted())
        startDecodeHelperAhead();
}

void Form1::dragMoveEvent(QDragMoveEvent* event) {
    takePictureDrag(event);
}

void Form1::dragLeaveEvent(QDragLeaveEvent* event) {
    QMainWindow::dragLeaveEvent(event);
    if (!loading_)
        nextHelper_.reset(); // the picture went elsewhere
}

void Form1::dropEvent(QDropEvent* event) {
    const QString file = droppedPicture(event);
    if (file.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // A picture dropped while another is decoding takes its place.
    if (loading_) {
        nextPicture_ = file;
        loading_->cancel();
        return;
    }
    // Loaded once the drop is over, so that a message box does not keep the
    // program the picture came from waiting.
    // A game may have started in between: then the drop is too late.
    QMetaObject::invokeMethod(
        this,
        [this, file] {
            if (IncarcaPoza->isEnabled())
                loadPictureFile(file);
        },
        Qt::QueuedConnection);
}

void Form1::ArataPoza_Click() {
    layOutFirstFrame();
    surfaces_.Picture2.setVisible(!surfaces_.Picture2.Visible());
}

void Form1::Despre_Click() {
    showMessage(QStringLiteral("Tivra v.02"),
                QStringLiteral("Tivra, un joc facut de echipa Tivra - tivra@example.org"));
}

// A tiling window manager floats a window that belongs to another at its own
// size, rather than tiling it beside the board.
void Form1::keepAbove(QWidget* window) {
    window->winId();
    if (QWindow* handle = window->windowHandle(); handle && isVisible())
        handle->setTransientParent(windowHandle());
}

// A window that belongs to another closes with it as far as Qt is concerned;
// the Options and Help windows stay open, and the game running, until the
// player closes them too.
void Form1::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    for (QWidget* window :
         {static_cast<QWidget*>(options_.get()), static_cast<QWidget*>(help_.get())})
        if (window && window->windowHandle())
            window->windowHandle()->setTransientParent(nullptr);
}

void Form1::Exit_Click() {
    QCoreApplication::exit(0);
}

void Form1::showMessage(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, this);
    box.exec();
}
