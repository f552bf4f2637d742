#include "CheckedInt.h"
#include "Puzzle.h"

namespace tivra {

// A cell matches only strictly inside its outline: its first pixel column (where
// the outline runs) and the one just past it belong to no cell.
std::int16_t Puzzle::HitColumn(int x, int side) const {
    for (int col = 0; col < gridSize_; ++col) {
        const std::int16_t x0 = Board(side, col, 0).X;
        if (x0 < x && x < add16(x0, CellWidth))
            return static_cast<std::int16_t>(col);
    }
    return -1;
}

std::int16_t Puzzle::HitRow(int y, int side) const {
    for (int row = 0; row < gridSize_; ++row) {
        const std::int16_t y0 = Board(side, 0, row).Y;
        if (y0 < y && y < add16(y0, CellHeight))
            return static_cast<std::int16_t>(row);
    }
    return -1;
}

void Puzzle::TakePiece(int x, int y) {
    takeFromSlot(HitColumn(x, kSource), HitRow(y, kSource));
}

void Puzzle::takeFromSlot(int col, int row) {
    if (col < 0 || row < 0 || col >= gridSize_ || row >= gridSize_ ||
        Board(kSource, col, row).Full != kTrue)
        return;

    CellRec& slot = Board(kSource, col, row);
    CellRec& target = Board(kReceiving, CursorCol, CursorRow);
    exchange(slot, target);
    playMoveSound();
    drawCursor();
    target.Full = kTrue;
    target.PieceCol = slot.PieceCol;
    target.PieceRow = slot.PieceRow;
    slot.Full = kFalse;
    FreeCol = static_cast<std::int16_t>(col);
    FreeRow = static_cast<std::int16_t>(row);
    refresh();
}

void Puzzle::ReturnPiece(int x, int y) {
    returnFromCell(HitColumn(x, kReceiving), HitRow(y, kReceiving));
}

void Puzzle::returnFromCell(int col, int row) {
    if (col < 0 || row < 0 || col >= gridSize_ || row >= gridSize_ ||
        Board(kReceiving, col, row).Full != kTrue)
        return;

    CellRec& cell = Board(kReceiving, col, row);
    CellRec& slot = Board(kSource, FreeCol, FreeRow);
    exchange(slot, cell);
    playMoveSound();
    drawCursor();
    cell.Full = kFalse;
    slot.Full = kTrue;
    slot.PieceCol = cell.PieceCol;
    slot.PieceRow = cell.PieceRow;
    cell.PieceCol = -1;
    cell.PieceRow = -1;
    FindFreeSlot();
    refresh();
}

void Puzzle::FindFreeSlot() {
    for (int row = 0; row < gridSize_; ++row) {
        for (int col = 0; col < gridSize_; ++col) {
            if (Board(kSource, col, row).Full == kFalse) {
                FreeCol = static_cast<std::int16_t>(col);
                FreeRow = static_cast<std::int16_t>(row);
                return;
            }
        }
    }
}

// The free slot is kept across layouts, so after a smaller grid it may name a
// slot outside the game; such a slot never takes a piece.
bool Puzzle::freeSlotEmpty() const {
    return FreeCol < gridSize_ && FreeRow < gridSize_ &&
           Board(kSource, FreeCol, FreeRow).Full == kFalse;
}

bool Puzzle::IsSolved() const {
    for (int row = 0; row < gridSize_; ++row) {
        for (int col = 0; col < gridSize_; ++col) {
            const CellRec& cell = Board(kReceiving, col, row);
            if (cell.PieceCol != col || cell.PieceRow != row)
                return false;
        }
    }
    return true;
}

void Puzzle::exchange(const CellRec& a, const CellRec& b) {
    if (view_)
        view_->ExchangeCells(a, b);
}

void Puzzle::drawCursor() {
    if (view_)
        view_->DrawCursor();
}

void Puzzle::playMoveSound() {
    if (view_)
        view_->PlayMoveSound();
}

void Puzzle::refresh() {
    if (view_)
        view_->Refresh();
}

} // namespace tivra
