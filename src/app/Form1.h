#pragma once

#include "BoardMove.h"
#include "MoveSound.h"
#include "board/Puzzle.h"
#include "paint/BoardPainter.h"
#include "paint/BoardSurfaces.h"

#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>
#include <random>

class ClientLayout;
class FingerPlay;
class Form2;
class Form3;
class PictureLoading;
class WindowPlacement;
struct PictureRequest;
class QAction;
class SurfaceView;
namespace tivra {
struct PictureLoadResult;
}

// The main window: both grids, the menu bar and the game's flow from start-up
// to the congratulation.
class Form1 : public QMainWindow {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // Menu commands.
    void JocNou_Click();
    void Optiuni_Click();
    void IncarcaPoza_Click();
    void ArataPoza_Click();
    void Renunta_Click();
    void Exit_Click();
    void Despre_Click();
    void Informatii_Click();

    // The board's input, in the old key codes and button numbers
    // (1 left, 2 right), at client-area pixel positions. Besides the arrows,
    // Tab hands the arrows to the source grid and back, and Space or Return
    // moves a piece as the mouse would, so a game can be played by keys alone.
    void Form_KeyDown(int KeyCode);
    void Form_MouseDown(int Button, float x, float y);

    // Loads a picture as "Incarca Poza" does once a file is chosen: a picture
    // that cannot be used is refused with a message and changes nothing.
    // The picture is decoded meanwhile; pictureLoadEnded() tells the end.
    void loadPictureFile(const QString& path);
    // The same for a file whose name, as the player sees it, is not in its
    // path (a name that is not UTF-8, opened beforehand).
    void loadPictureFile(const QString& path, const QString& name);
    // The helper program that decodes picture files (found beside the
    // program); tests give another. None decodes them in this process, for
    // the benchmarks to compare.
    void setDecodeHelper(const QString& program);
    // Starts the helper for the next picture ahead of it (a file dialog
    // opens, a drag comes in), so that it is ready when the picture is.
    void startDecodeHelperAhead();
    PictureLoading& pictureLoading() const { return *loading_; }

    // For tests and benchmarks: the game's state and pixels.
    tivra::Puzzle& puzzle() { return puzzle_; }
    tivra::BoardSurfaces& surfaces() { return surfaces_; }
    SurfaceView* clientArea() const { return client_; }
    QAction* action(const QString& name) const;
    Form2* optionsWindow() const { return options_.get(); }
    Form3* helpWindow() const { return help_.get(); }
    void seedRandom(unsigned seed) { random_.seed(seed); }
    const QString& AppPath() const { return appPath_; }
    // The keyboard's cursor on the source grid, while the arrows move it.
    bool arrowsOnSource() const { return arrowsOnSource_; }
    int sourceCursorCol() const { return sourceCol_; }
    int sourceCursorRow() const { return sourceRow_; }

signals:
    // A picture asked for by loadPictureFile is on the board, or is not
    // (refused, given up, or another was decoding).
    void pictureLoadEnded(bool loaded);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void createMenus();
    void winSequence();
    void handArrowsToSource(bool onSource);
    void showSourceCursor();
    QPoint cellPressed(QPointF at, int side) const;
    bool boardTakesInput() const;
    void play(const BoardMove& move);
    void pauseCommands(bool paused);
    void pictureDecoded(const PictureRequest& request, const tivra::PictureLoadResult& result);
    void pictureCancelled(const PictureRequest& request);
    void showMessage(const QString& title, const QString& text, std::function<void()> closed = {});

    tivra::Puzzle puzzle_;
    tivra::BoardSurfaces surfaces_;
    tivra::BoardPainter painter_{puzzle_, surfaces_};
    SurfaceView* client_ = nullptr;
    SurfaceView* reference_ = nullptr;

    QAction* JocNou = nullptr;
    QAction* Optiuni = nullptr;
    QAction* IncarcaPoza = nullptr;
    QAction* ArataPoza = nullptr;
    QAction* Renunta = nullptr;
    QAction* Exit = nullptr;
    QAction* Despre = nullptr;
    QAction* Informatii = nullptr;

    std::mt19937 random_;
    tivra::RandomSource rnd_;
    QString appPath_;
    QString soundFile_;
    PictureLoading* loading_ = nullptr;
    ClientLayout* layout_ = nullptr;
    WindowPlacement* placement_ = nullptr;
    QList<bool> pausedCommands_; // enabled before a decode paused them
    std::unique_ptr<MoveSound> sound_;
    std::unique_ptr<Form2> options_;
    std::unique_ptr<Form3> help_;
    bool arrowsOnSource_ = false;
    std::int16_t sourceCol_ = 0;
    std::int16_t sourceRow_ = 0;
    std::unique_ptr<FingerPlay> fingers_; // what a finger does on the board
};
