#include "SeededRandom.h"
#include "board/Puzzle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace tivra;

namespace {

// Records what the board asks of its view, in order.
struct RecordingView : BoardView {
    std::vector<std::string> calls;
    void ExchangeCells(const CellRec&, const CellRec&) override { calls.push_back("exchange"); }
    void DrawCursor() override { calls.push_back("cursor"); }
    void PlayMoveSound() override { calls.push_back("sound"); }
    void Refresh() override { calls.push_back("refresh"); }
};

// The worked example's board: cells 108 x 92, receiving grid at x 50, source at x 533.
Puzzle workedExample(BoardView* view = nullptr) {
    Puzzle p;
    p.ComputeLayout(1016, 714, 400, 339, 4);
    p.InitCells();
    p.setView(view);
    p.GameActive = true;
    return p;
}

// A pixel strictly inside a cell.
int insideX(const Puzzle& p, int side, int col) {
    return p.Board(side, col, 0).X + 5;
}
int insideY(const Puzzle& p, int row) {
    return p.Board(0, 0, row).Y + 5;
}

} // namespace

TEST(HitTest, BoundariesAreStrict) {
    const Puzzle p = workedExample();
    // Source columns start at 533, 641, 749, 857; each is 108 wide.
    EXPECT_EQ(p.HitColumn(533, kSource), -1); // the outline column
    EXPECT_EQ(p.HitColumn(534, kSource), 0);
    EXPECT_EQ(p.HitColumn(640, kSource), 0);
    EXPECT_EQ(p.HitColumn(641, kSource), -1); // boundary between 0 and 1
    EXPECT_EQ(p.HitColumn(642, kSource), 1);
    EXPECT_EQ(p.HitColumn(964, kSource), 3);
    EXPECT_EQ(p.HitColumn(965, kSource), -1); // past the last column
    EXPECT_EQ(p.HitColumn(100, kSource), -1);
    EXPECT_EQ(p.HitColumn(100, kReceiving), 0);
    // Rows start at 50, 142, 234, 326; each is 92 high.
    EXPECT_EQ(p.HitRow(50, kSource), -1);
    EXPECT_EQ(p.HitRow(51, kSource), 0);
    EXPECT_EQ(p.HitRow(142, kReceiving), -1);
    EXPECT_EQ(p.HitRow(417, kSource), 3);
    EXPECT_EQ(p.HitRow(418, kSource), -1);
    EXPECT_EQ(p.HitRow(-5, kSource), -1);
}

TEST(Moves, TakeAndReturnFollowTheFreeSlot) {
    RecordingView view;
    Puzzle p = workedExample(&view);

    // With every slot full, the free-slot search changes nothing.
    p.FreeCol = 3;
    p.FreeRow = 3;
    p.FindFreeSlot();
    EXPECT_EQ(p.FreeCol, 3);
    EXPECT_FALSE(p.freeSlotEmpty());

    p.CursorCol = 0;
    p.CursorRow = 0;
    p.TakePiece(insideX(p, kSource, 2), insideY(p, 1));
    EXPECT_EQ(view.calls, (std::vector<std::string>{"exchange", "sound", "cursor", "refresh"}));
    EXPECT_EQ(p.Board(kReceiving, 0, 0).Full, kTrue);
    EXPECT_EQ(p.Board(kReceiving, 0, 0).PieceCol, 2);
    EXPECT_EQ(p.Board(kReceiving, 0, 0).PieceRow, 1);
    EXPECT_EQ(p.Board(kSource, 2, 1).Full, kFalse);
    EXPECT_EQ(p.Board(kSource, 2, 1).PieceCol, 2); // stale identity stays
    EXPECT_EQ(p.FreeCol, 2);
    EXPECT_EQ(p.FreeRow, 1);

    // A second take empties (0, 3); the free slot follows the last take.
    p.CursorCol = 1;
    p.TakePiece(insideX(p, kSource, 0), insideY(p, 3));
    EXPECT_EQ(p.FreeCol, 0);
    EXPECT_EQ(p.FreeRow, 3);

    // Returning piece (2, 1) puts it in (0, 3), not home; the next free slot
    // is then found in row-major order: (2, 1).
    view.calls.clear();
    p.ReturnPiece(insideX(p, kReceiving, 0), insideY(p, 0));
    EXPECT_EQ(view.calls, (std::vector<std::string>{"exchange", "sound", "cursor", "refresh"}));
    EXPECT_EQ(p.Board(kSource, 0, 3).Full, kTrue);
    EXPECT_EQ(p.Board(kSource, 0, 3).PieceCol, 2);
    EXPECT_EQ(p.Board(kSource, 0, 3).PieceRow, 1);
    EXPECT_EQ(p.Board(kReceiving, 0, 0).Full, kFalse);
    EXPECT_EQ(p.Board(kReceiving, 0, 0).PieceCol, -1);
    EXPECT_EQ(p.FreeCol, 2);
    EXPECT_EQ(p.FreeRow, 1);
}

TEST(Moves, MissesDoNothing) {
    RecordingView view;
    Puzzle p = workedExample(&view);
    p.TakePiece(533, insideY(p, 0));                         // on an outline
    p.TakePiece(300, 300);                                   // on the receiving grid
    p.ReturnPiece(insideX(p, kReceiving, 1), insideY(p, 1)); // empty cell
    p.TakePiece(insideX(p, kSource, 1), insideY(p, 1));
    view.calls.clear();
    p.CursorCol = 3;
    p.TakePiece(insideX(p, kSource, 1), insideY(p, 1)); // now an empty slot
    EXPECT_TRUE(view.calls.empty());
}

TEST(Moves, FreeSlotOutsideTheGridTakesNothing) {
    Puzzle p;
    p.ComputeLayout(1920, 1080, 400, 339, 10);
    p.InitCells();
    p.Board(kSource, 9, 9).Full = kFalse;
    p.FreeCol = 9;
    p.FreeRow = 9;
    EXPECT_TRUE(p.freeSlotEmpty());
    p.ComputeLayout(1920, 1080, 400, 339, 3);
    p.InitCells();
    EXPECT_FALSE(p.freeSlotEmpty()); // (9, 9) is not part of a 3 x 3 game
}

TEST(Solved, OnlyEveryPieceAtHomeWins) {
    Puzzle p = workedExample();
    EXPECT_FALSE(p.IsSolved()); // empty cells hold -1
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) {
            CellRec& cell = p.Board(kReceiving, col, row);
            cell.Full = kTrue;
            cell.PieceCol = static_cast<std::int16_t>(col);
            cell.PieceRow = static_cast<std::int16_t>(row);
        }
    EXPECT_TRUE(p.IsSolved());
    std::swap(p.Board(kReceiving, 1, 2).PieceCol, p.Board(kReceiving, 2, 2).PieceCol);
    EXPECT_FALSE(p.IsSolved());

    Puzzle one;
    one.ComputeLayout(1016, 714, 400, 339, 1);
    one.InitCells();
    one.ShuffleBoard([] { return 0.5f; });
    one.TakePiece(insideX(one, kSource, 0), insideY(one, 0));
    EXPECT_TRUE(one.IsSolved());
}

TEST(Shuffle, MovesIdentitiesAsAPermutation) {
    RecordingView view;
    Puzzle p = workedExample(&view);
    tivra::testing::SeededRandom random(1234);
    p.ShuffleBoard(random.fractions());
    EXPECT_EQ(std::count(view.calls.begin(), view.calls.end(), "exchange"), 101);
    EXPECT_EQ(std::count(view.calls.begin(), view.calls.end(), "refresh"), 101);

    std::vector<int> seen(16, 0);
    int moved = 0;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) {
            const CellRec& slot = p.Board(kSource, col, row);
            EXPECT_EQ(slot.Full, kTrue);
            ++seen[static_cast<std::size_t>(slot.PieceRow * 4 + slot.PieceCol)];
            moved += slot.PieceCol != col || slot.PieceRow != row;
            EXPECT_EQ(p.Board(kReceiving, col, row).Full, kFalse);
        }
    EXPECT_EQ(seen, std::vector<int>(16, 1));
    EXPECT_GT(moved, 0);
}

TEST(Shuffle, SameSeedSameDeal) {
    auto deal = [](unsigned seed) {
        Puzzle p = workedExample();
        tivra::testing::SeededRandom random(seed);
        p.ShuffleBoard(random.fractions());
        std::vector<int> pieces;
        for (int row = 0; row < 4; ++row)
            for (int col = 0; col < 4; ++col)
                pieces.push_back(p.Board(kSource, col, row).PieceRow * 4 +
                                 p.Board(kSource, col, row).PieceCol);
        return pieces;
    };
    EXPECT_EQ(deal(7), deal(7));
    EXPECT_NE(deal(7), deal(8));
    // Pinned: a change to the draw order or the exchanges shows here.
    EXPECT_EQ(deal(7), (std::vector<int>{3, 6, 1, 11, 13, 0, 4, 7, 12, 10, 9, 5, 8, 2, 15, 14}));
}

TEST(Shuffle, OneCellGridStaysWholeAndBadRandomIsCaught) {
    Puzzle p;
    p.ComputeLayout(1016, 714, 400, 339, 1);
    p.InitCells();
    p.ShuffleBoard([] { return 0.99f; });
    EXPECT_EQ(p.Board(kSource, 0, 0).PieceCol, 0);
    EXPECT_THROW(p.ShuffleBoard([] { return 1.0f; }), std::out_of_range);
}
