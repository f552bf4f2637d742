#pragma once

#include <QPoint>

// What a key, a button or a finger asks of the board. Each input decides
// the move and its cell; the main window alone checks that the move may be
// made, and makes it.
struct BoardMove {
    enum class Kind {
        Take,       // the piece in a source slot into the cursor cell
        Return,     // the piece in a receiving cell back to the free slot
        MoveCursor, // the cursor onto a receiving cell
    };
    Kind kind = Kind::Take;
    // The cell (col, row) on the grid the move starts from; (-1, -1) where
    // the press found none (off the grids, or on an outline).
    QPoint cell{-1, -1};
};
