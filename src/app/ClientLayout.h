#pragma once

#include <QObject>
#include <QSize>
#include <QString>

class PictureLoading;
struct PictureRequest;
class SurfaceView;
class QScreen;
class QWidget;
namespace tivra {
class BoardPainter;
struct PictureLoadResult;
struct BoardSurfaces;
class Puzzle;
} // namespace tivra

// Below this the grids of a 10 x 10 board would shrink to nothing.
constexpr QSize kMinimumClient(320, 240);
// Keeps every pixel position of the board inside 16 bits.
constexpr QSize kMaximumClient(16000, 16000);
// The reference picture's sunken border, inside the client area.
constexpr int kPictureFrame = 2;

// The device size a picture is decoded for: the largest board a client
// area of `client`, or of the screen's free area where that is larger,
// shows on `screen` at `ratio` device pixels a pixel.
QSize largestBoardOn(const QScreen* screen, QSize client, double ratio);

// Keeps the board laid out for the main window's client area and its
// screen: once for the size the first frame shows, again at every resize
// and on a screen of another ratio, the game going on. A photo is held
// decoded for the largest board its screen can show; on a larger board it
// is decoded again, and the board laid out once it is back.
class ClientLayout : public QObject {
public:
    ClientLayout(QWidget* window, SurfaceView* client, SurfaceView* reference,
                 tivra::Puzzle& puzzle, tivra::BoardPainter& painter,
                 tivra::BoardSurfaces& surfaces, PictureLoading& loading);

    void clientResized(QSize size);
    // The first frame's layout, at the latest when something needs the board.
    void layOutFirstFrame();
    // The device size a picture is decoded for: the largest board this
    // window could show on its screen.
    QSize largestBoard() const;
    // A picture is now on the board, from `request` (none for the built-in
    // one): a fresh board at this grid size.
    void showNewPicture(const PictureRequest& request, int divisions);
    // The picture on the board, decoded again for a larger board.
    void pictureSharpened(const PictureRequest& request, tivra::PictureLoadResult result);
    // A decode ended without a picture: a layout it held back is made now.
    void decodeEnded();
    // The window may not shrink below a size where the picture's cells, at
    // the largest grid, would be too small to click.
    void fitMinimumSizeToPicture();

private:
    void layOut(QSize size);
    void fitSurfaces(QSize size);
    bool sharpenForScreen();

    QWidget* window_;
    SurfaceView* client_;
    SurfaceView* reference_;
    tivra::Puzzle& puzzle_;
    tivra::BoardPainter& painter_;
    tivra::BoardSurfaces& surfaces_;
    PictureLoading& loading_;
    // The file of the picture on the board (none for the built-in one), and
    // the device size it was decoded for.
    QString pictureFile_;
    QString pictureName_; // as the player sees it
    QSize decodedFor_;
    bool boardLaidOut_ = false;
    bool firstLayoutPending_ = false;
    bool layoutPending_ = false; // a resize came during a decode
};
