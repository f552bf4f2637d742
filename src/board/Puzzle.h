#pragma once

#include "BoardView.h"
#include "CellRec.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace tivra {

// A uniform value in [0, 1). The program seeds it from the clock, tests seed it.
using RandomSource = std::function<float()>;

// The smallest cell, in pixels each way, that a click can still hit.
constexpr int kSmallestCell = 2;

struct ClientSize {
    int width = 0;
    int height = 0;
};

// Both grids stand this many pixels below the client area's top and inside
// its left and right edges, and as far apart.
constexpr int kMargin = 50;

// The largest grid, each way, that a client of this size can hold: what a
// picture is decoded for, since no board is ever larger.
ClientSize largestBoard(ClientSize client);

// The smallest client area, growing from `from` one pixel at a time in the
// direction that limits the board, on which a picture lays out playably at
// this grid size; none before `limit`.
std::optional<ClientSize> smallestPlayableClient(int pictureWidth, int pictureHeight, int divisions,
                                                 ClientSize from, ClientSize limit);

// The game's state: the cell table, the geometry derived from the client area
// and the picture, the cursor, the free slot and the game flag. It draws,
// sounds and refreshes only through the BoardView it is given.
class Puzzle {
public:
    BoardTable Board;

    std::int16_t BoardHeight = 0;
    std::int16_t BoardWidth = 0;
    std::int16_t CellHeight = 0;
    std::int16_t CellWidth = 0;
    std::int16_t CursorCol = 0;
    std::int16_t CursorRow = 0;
    std::int16_t FreeCol = 0;
    std::int16_t FreeRow = 0;
    bool GameActive = false;

    void setView(BoardView* view) { view_ = view; }

    // Lays both grids out for a client area and a picture (sizes in pixels)
    // at the given grid size, which every later loop over the grid uses until
    // the next layout. Returns false when a cell would be under
    // kSmallestCell pixels wide or high: such a board cannot be played.
    bool ComputeLayout(int scaleWidth, int scaleHeight, int pictureWidth, int pictureHeight,
                       int divisions);
    // A fresh table for the last layout: empty receiving grid, every piece home.
    void InitCells();
    // Moves every cell to its place in the last layout, pieces staying put
    // (used when the window is resized during a game).
    void PlaceCells();

    // Grid size of the last layout.
    std::int16_t gridSize() const { return gridSize_; }
    // Client size of the last layout.
    std::int16_t scaleWidth() const { return scaleWidth_; }
    std::int16_t scaleHeight() const { return scaleHeight_; }
    // Left edge of the source grid.
    std::int16_t sourceLeft() const;

    std::int16_t HitColumn(int x, int side) const;
    std::int16_t HitRow(int y, int side) const;
    // The moves at a press's point, through the hit test; a press that
    // finds no full cell moves nothing.
    void TakePiece(int x, int y);
    void ReturnPiece(int x, int y);
    // The same moves for a cell already found (by the keys, a finger, or a
    // hit test of the cells as drawn): the piece in source slot (col, row)
    // into the cursor cell, and the piece in receiving cell (col, row) back
    // to the free slot. A cell outside the grid, or empty, moves nothing.
    void takeFromSlot(int col, int row);
    void returnFromCell(int col, int row);
    void FindFreeSlot();
    // The free slot lies in this game's grid and can take a piece back.
    bool freeSlotEmpty() const;
    bool IsSolved() const;

    void ShuffleBoard(const RandomSource& rnd);

private:
    std::int16_t cellX(int side, int col) const;
    std::int16_t cellY(int row) const;

    void exchange(const CellRec& a, const CellRec& b);
    void drawCursor();
    void playMoveSound();
    void refresh();

    BoardView* view_ = nullptr;
    std::int16_t gridSize_ = 0;
    std::int16_t scaleWidth_ = 0;
    std::int16_t scaleHeight_ = 0;
};

} // namespace tivra
