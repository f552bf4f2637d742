#include "ClientLayout.h"

#include "Module1.h"
#include "PictureLoading.h"
#include "SurfaceView.h"
#include "board/Puzzle.h"
#include "paint/BoardPainter.h"
#include "paint/BoardSurfaces.h"
#include "paint/DevicePixels.h"

#include <QFileInfo>
#include <QScreen>
#include <QWindow>

namespace {

bool isExposed(const QWidget* window) {
    return window->windowHandle() && window->windowHandle()->isExposed();
}

} // namespace

ClientLayout::ClientLayout(QWidget* window, SurfaceView* client, SurfaceView* reference,
                           tivra::Puzzle& puzzle, tivra::BoardPainter& painter,
                           tivra::BoardSurfaces& surfaces, PictureLoading& loading)
    : QObject(window), window_(window), client_(client), reference_(reference), puzzle_(puzzle),
      painter_(painter), surfaces_(surfaces), loading_(loading) {
    client_->setMinimumSize(kMinimumClient);
    client_->setMaximumSize(kMaximumClient);
    reference_->setSunkenFrame(kPictureFrame);
    connect(client_, &SurfaceView::resized, this, &ClientLayout::clientResized);
    connect(client_, &SurfaceView::aboutToPaint, this, &ClientLayout::layOutFirstFrame);
    // Moved to a screen of another ratio, the board is drawn again for it,
    // whichever view is painted first: under the whole picture only the
    // reference view is.
    for (SurfaceView* view : {client_, reference_})
        connect(view, &SurfaceView::ratioChanged, this, [this] { clientResized(client_->size()); });
}

void ClientLayout::clientResized(QSize size) {
    // Until the window is first on screen its size may still change (the
    // window manager's frame, the compositor's maximized size): the board is
    // laid out once, for the size the first frame shows.
    if (!boardLaidOut_ && !isExposed(window_)) {
        firstLayoutPending_ = true;
        return;
    }
    firstLayoutPending_ = false;
    layOut(size);
}

void ClientLayout::layOutFirstFrame() {
    if (firstLayoutPending_) {
        firstLayoutPending_ = false;
        layOut(client_->size());
    }
}

void ClientLayout::layOut(QSize size) {
    // While a picture decodes the board stays as it is; it is laid out once,
    // with the picture, when the decode ends.
    if (loading_.busy() || sharpenForScreen()) {
        layoutPending_ = true;
        return;
    }
    layoutPending_ = false;
    fitSurfaces(size);
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

// The surfaces hold the screen's own pixels: on a scaled screen a picture
// shows all the detail the screen can.
void ClientLayout::fitSurfaces(QSize size) {
    const double ratio = client_->devicePixelRatioF();
    painter_.setClient(size, ratio);
    for (tivra::Surface* surface : {&surfaces_.window, &surfaces_.Picture2, &surfaces_.Picture3})
        surface->setRatio(ratio);
    surfaces_.window.resize(tivra::surfaceOnDevice(size, ratio));
    const QSize frame(2 * kPictureFrame, 2 * kPictureFrame);
    surfaces_.Picture2.resize(tivra::surfaceOnDevice(size - frame, ratio));
    reference_->setGeometry(QRect(QPoint(0, 0), size));
}

QSize largestBoardOn(const QScreen* screen, QSize client, double ratio) {
    if (screen)
        client = client.expandedTo(screen->availableGeometry().size());
    const tivra::ClientSize board = tivra::largestBoard({client.width(), client.height()});
    return tivra::surfaceOnDevice(QSize(board.width, board.height), ratio);
}

QSize ClientLayout::largestBoard() const {
    return largestBoardOn(window_->screen(), client_->size(), client_->devicePixelRatioF());
}

// A larger board (a screen of a higher ratio, a window grown past its
// screen) than the photo was decoded for: it is decoded again from its file,
// so that the pieces keep all the detail the screen shows.
bool ClientLayout::sharpenForScreen() {
    const tivra::LoadedPicture& picture = surfaces_.Picture1;
    const QSize wanted = largestBoard();
    if (pictureFile_.isEmpty() || picture.image.size() == picture.pixelSize ||
        (wanted.width() <= decodedFor_.width() && wanted.height() <= decodedFor_.height()))
        return false;
    decodedFor_ = decodedFor_.expandedTo(wanted);
    return loading_.decode({PictureRequest::Purpose::Sharpen, pictureFile_, pictureName_, wanted});
}

void ClientLayout::showNewPicture(const PictureRequest& request, int divisions) {
    pictureFile_ = QFileInfo(request.path).absoluteFilePath();
    pictureName_ = request.name;
    decodedFor_ = request.maxDecoded;
    fitMinimumSizeToPicture();
    layoutPending_ = false;
    if (!boardLaidOut_ && !isExposed(window_)) {
        // The command line's picture, before the first frame: laid out for it.
        firstLayoutPending_ = true;
        return;
    }
    boardLaidOut_ = true;
    fitSurfaces(client_->size());
    painter_.SetupBoard(divisions);
    // The window grew past what the picture was decoded for meanwhile.
    if (sharpenForScreen())
        layoutPending_ = true;
}

void ClientLayout::pictureSharpened(const PictureRequest& request,
                                    tivra::PictureLoadResult result) {
    // The file may have changed since: only the same picture replaces it.
    if (result.picture && request.path == pictureFile_ &&
        result.picture->pixelSize == surfaces_.Picture1.pixelSize)
        surfaces_.Picture1.image = std::move(result.picture->image);
    layOut(client_->size());
}

void ClientLayout::decodeEnded() {
    if (layoutPending_)
        layOut(client_->size());
}

void ClientLayout::fitMinimumSizeToPicture() {
    const QSize picture = surfaces_.Picture1.pixelSize;
    const auto smallest =
        tivra::smallestPlayableClient(picture.width(), picture.height(), Module1::kLargestGrid,
                                      {kMinimumClient.width(), kMinimumClient.height()},
                                      {kMaximumClient.width(), kMaximumClient.height()});
    client_->setMinimumSize(smallest ? QSize(smallest->width, smallest->height) : kMinimumClient);
}
