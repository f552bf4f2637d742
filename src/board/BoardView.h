#pragma once

#include "CellRec.h"

namespace tivra {

// What the board needs from whoever shows it: the pixels of two cells swapped,
// the outlines and cursor redrawn, the move sound, and the screen brought up to
// date. The model calls out through this and nothing else.
class BoardView {
public:
    virtual ~BoardView() = default;
    virtual void ExchangeCells(const CellRec& a, const CellRec& b) = 0;
    virtual void DrawCursor() = 0;
    virtual void PlayMoveSound() = 0;
    virtual void Refresh() = 0;
};

} // namespace tivra
