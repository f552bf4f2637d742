#pragma once

#include "BoardMove.h"

#include <QPoint>
#include <QPointF>
#include <functional>
#include <optional>

namespace tivra {
class Puzzle;
}

// A finger's taps and drags on the board, turned into moves as the mouse's
// buttons are (positions in the client area's pixels, as finely as the
// screen gives them). A tap on a piece of the source grid takes it, as the
// right button does; on a placed piece it sends it back, as the left button
// does; on an empty receiving cell it moves the cursor there. A finger that
// went down on a piece of the source grid carries it: the cursor shows the
// empty receiving cell under the finger, and the piece goes there when the
// finger lifts over one. Lifted anywhere else, or taken away, the cursor
// goes back and nothing moves.
class FingerPlay {
public:
    struct Board {
        const tivra::Puzzle& puzzle;
        // The cell of a grid drawn under a point; (-1, -1) for none.
        std::function<QPoint(QPointF at, int side)> cellAt;
        std::function<bool()> takesInput;
        std::function<bool()> wholePictureShown;
        std::function<void(const BoardMove& move)> play;
    };

    explicit FingerPlay(Board board) : board_(std::move(board)) {}

    void tapped(QPointF at);
    void dragStarted(QPointF from);
    void dragMoved(QPointF at);
    void dropped(QPointF at);
    void dragCancelled();

private:
    bool onGrid(QPoint cell) const;
    std::optional<QPoint> emptyCellUnder(QPointF at) const;
    bool stillCarried() const;

    // The piece a finger carries: its slot, the cursor before the drag and
    // where the drag shows it now.
    struct Drag {
        QPoint slot;
        QPoint cursorBefore;
        QPoint shown;
    };

    Board board_;
    std::optional<Drag> drag_;
};
