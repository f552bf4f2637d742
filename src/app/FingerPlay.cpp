#include "FingerPlay.h"

#include "board/Puzzle.h"

using tivra::kReceiving;
using tivra::kSource;

void FingerPlay::tapped(QPointF at) {
    if (const QPoint slot = board_.cellAt(at, kSource); onGrid(slot)) {
        board_.play({BoardMove::Kind::Take, slot});
        return;
    }
    const QPoint cell = board_.cellAt(at, kReceiving);
    if (!onGrid(cell))
        return;
    const bool full = board_.puzzle.Board(kReceiving, cell.x(), cell.y()).Full == tivra::kTrue;
    board_.play({full ? BoardMove::Kind::Return : BoardMove::Kind::MoveCursor, cell});
}

void FingerPlay::dragStarted(QPointF from) {
    drag_.reset();
    const QPoint slot = board_.cellAt(from, kSource);
    if (!board_.takesInput() || board_.wholePictureShown() || !onGrid(slot) ||
        board_.puzzle.Board(kSource, slot.x(), slot.y()).Full != tivra::kTrue)
        return; // nothing to carry: the finger moves nothing
    const QPoint cursor(board_.puzzle.CursorCol, board_.puzzle.CursorRow);
    drag_ = Drag{slot, cursor, cursor};
}

void FingerPlay::dragMoved(QPointF at) {
    if (!drag_)
        return;
    if (!stillCarried()) {
        drag_.reset();
        return;
    }
    const QPoint target = emptyCellUnder(at).value_or(drag_->cursorBefore);
    if (target == drag_->shown)
        return;
    drag_->shown = target;
    board_.play({BoardMove::Kind::MoveCursor, target});
}

void FingerPlay::dropped(QPointF at) {
    if (!drag_)
        return;
    const Drag drag = *drag_;
    const bool carried = stillCarried();
    drag_.reset();
    if (!carried)
        return;
    if (const std::optional<QPoint> cell = emptyCellUnder(at)) {
        if (*cell != drag.shown)
            board_.play({BoardMove::Kind::MoveCursor, *cell});
        board_.play({BoardMove::Kind::Take, drag.slot});
    } else if (drag.shown != drag.cursorBefore) {
        board_.play({BoardMove::Kind::MoveCursor, drag.cursorBefore});
    }
}

void FingerPlay::dragCancelled() {
    if (!drag_)
        return;
    const Drag drag = *drag_;
    const bool carried = stillCarried();
    drag_.reset();
    if (carried && drag.shown != drag.cursorBefore)
        board_.play({BoardMove::Kind::MoveCursor, drag.cursorBefore});
}

bool FingerPlay::onGrid(QPoint cell) const {
    const int n = board_.puzzle.gridSize();
    return cell.x() >= 0 && cell.y() >= 0 && cell.x() < n && cell.y() < n;
}

// The empty receiving cell drawn under a finger, if any; none under the
// whole picture.
std::optional<QPoint> FingerPlay::emptyCellUnder(QPointF at) const {
    if (board_.wholePictureShown())
        return std::nullopt;
    const QPoint cell = board_.cellAt(at, kReceiving);
    if (!onGrid(cell) || board_.puzzle.Board(kReceiving, cell.x(), cell.y()).Full == tivra::kTrue)
        return std::nullopt;
    return cell;
}

// The board is as the drag left it: no new game, no picture decoding, and
// the cursor where the drag put it.
bool FingerPlay::stillCarried() const {
    return board_.takesInput() && onGrid(drag_->slot) &&
           QPoint(board_.puzzle.CursorCol, board_.puzzle.CursorRow) == drag_->shown;
}
