#include "board/CheckedInt.h"
#include "board/Puzzle.h"

#include <gtest/gtest.h>
#include <utility>

using namespace tivra;

TEST(Rounding, TiesGoToTheEvenNeighbour) {
    EXPECT_EQ(roundToInt16(110.5), 110);
    EXPECT_EQ(roundToInt16(111.5), 112);
    EXPECT_EQ(roundToInt16(-0.5), 0);
    EXPECT_EQ(roundToInt16(-1.5), -2);
    EXPECT_EQ(roundToInt16(2.4999), 2);
    EXPECT_EQ(roundToInt16(2.5001), 3);
}

TEST(Rounding, OutOfRangeIsAnErrorNotAWrap) {
    EXPECT_THROW(roundToInt16(32767.5), std::overflow_error); // rounds to 32768
    EXPECT_EQ(roundToInt16(32766.5), 32766);
    EXPECT_THROW(add16(32767, 1), std::overflow_error);
    EXPECT_THROW(mul16(200, 200), std::overflow_error);
    EXPECT_THROW(roundToInt16(std::numeric_limits<double>::infinity()), std::overflow_error);
}

TEST(Layout, WorkedExampleToThePixel) {
    Puzzle p;
    ASSERT_TRUE(p.ComputeLayout(1016, 714, 400, 339, 4));
    EXPECT_EQ(p.BoardWidth, 433);
    EXPECT_EQ(p.BoardHeight, 367);
    EXPECT_EQ(p.CellHeight, 92);
    EXPECT_EQ(p.CellWidth, 108);
    EXPECT_EQ(p.sourceLeft(), 533);
    p.InitCells();
    EXPECT_EQ(p.Board(kReceiving, 1, 2).X, 158);
    EXPECT_EQ(p.Board(kReceiving, 1, 2).Y, 234);
    EXPECT_EQ(p.Board(kSource, 1, 2).X, 641);
    EXPECT_EQ(p.Board(kSource, 1, 2).Y, 234);
}

// No board is larger than this, whatever the picture: a panorama fills the
// width the two grids may have, a tower the height.
TEST(Layout, LargestBoardBoundsEveryPicture) {
    const ClientSize largest = largestBoard({1016, 714});
    EXPECT_EQ(largest.width, 433);
    EXPECT_EQ(largest.height, 614);
    for (const auto& [w, h] : {std::pair{4000, 400}, {150, 600}, {400, 339}}) {
        Puzzle p;
        ASSERT_TRUE(p.ComputeLayout(1016, 714, w, h, 4));
        EXPECT_LE(p.BoardWidth, largest.width);
        EXPECT_LE(p.BoardHeight, largest.height);
    }
    EXPECT_EQ(largestBoard({100, 80}).width, 1); // never nothing to decode for
    EXPECT_EQ(largestBoard({100, 80}).height, 1);
}

struct CellHeightCase {
    int scaleHeight;
    int cellHeight;
};

class CellHeightTies : public testing::TestWithParam<CellHeightCase> {};

// A tall picture keeps the height fit, so CellHeight = round((h - 100) / 4).
TEST_P(CellHeightTies, RoundHalfToEven) {
    Puzzle p;
    p.ComputeLayout(3000, GetParam().scaleHeight, 100, 400, 4);
    EXPECT_EQ(p.CellHeight, GetParam().cellHeight);
}

INSTANTIATE_TEST_SUITE_P(Board, CellHeightTies,
                         testing::Values(CellHeightCase{542, 110}, // 442 / 4 = 110.5
                                         CellHeightCase{546, 112}, // 446 / 4 = 111.5
                                         CellHeightCase{544, 111}));

TEST(Layout, WidePictureNarrowsTheBoard) {
    Puzzle p;
    ASSERT_TRUE(p.ComputeLayout(1920, 1000, 4000, 1000, 4));
    EXPECT_EQ(p.BoardWidth, 885);  // (1920 - 150) / 2
    EXPECT_EQ(p.BoardHeight, 221); // round(885 * 1000 / 4000 = 221.25)
    p.InitCells();
    // The two grids and three gaps fill the width exactly.
    EXPECT_EQ(p.Board(kSource, 0, 0).X - p.Board(kReceiving, 0, 0).X, 885 + 50);
}

TEST(Layout, TallPictureLeavesAGapBetweenTheGrids) {
    Puzzle p;
    ASSERT_TRUE(p.ComputeLayout(1920, 1000, 300, 1000, 4));
    EXPECT_EQ(p.BoardHeight, 900);
    EXPECT_EQ(p.BoardWidth, 270);
    EXPECT_EQ(p.sourceLeft(), 1920 - 50 - 270);
}

TEST(Layout, EqualToTheFitChangesNothing) {
    // Height fit gives exactly the width fit: the strict comparison keeps it.
    Puzzle p;
    ASSERT_TRUE(p.ComputeLayout(1150, 600, 1, 1, 4));
    EXPECT_EQ(p.BoardWidth, 500);
    EXPECT_EQ(p.BoardHeight, 500);
}

TEST(Layout, ExtremePicturesLayOutWithoutOverflow) {
    Puzzle p;
    // A panorama's unclamped width would be over 16 bits.
    EXPECT_TRUE(p.ComputeLayout(1920, 1080, 65535, 200, 1));
    EXPECT_EQ(p.BoardWidth, 885);
    EXPECT_EQ(p.BoardHeight, 3);                              // 885 * 200 / 65535 = 2.7
    EXPECT_FALSE(p.ComputeLayout(1920, 1080, 65535, 100, 1)); // one pixel high: no room to hit
    EXPECT_FALSE(p.ComputeLayout(1920, 1080, 65535, 200, 4)); // cells 0.75 high
    EXPECT_FALSE(p.ComputeLayout(1920, 1080, 65535, 1, 3));   // height rounds to 0
    EXPECT_FALSE(p.ComputeLayout(1920, 1080, 1, 65535, 10));
    EXPECT_TRUE(p.ComputeLayout(1920, 1080, 1, 1, 10));
    EXPECT_TRUE(p.ComputeLayout(1920, 1080, 65535, 65535, 10));
    EXPECT_FALSE(p.ComputeLayout(1920, 1080, 1, 4000, 10));  // 980 / 4000 wide: 0 pixels
    EXPECT_TRUE(p.ComputeLayout(1920, 1080, 20000, 100, 2)); // board 885 x 4, cells 2 high
    EXPECT_FALSE(p.ComputeLayout(1920, 1080, 20000, 50, 3)); // cells 1 high
}

// Every cell needs a pixel strictly inside its outline for a click to hit.
TEST(Layout, PlayableCellsAreAtLeastTwoPixelsEachWay) {
    Puzzle p;
    // Cells of exactly 1 pixel high at grid 10 (board 885 x 10 at 1920 x 1080).
    EXPECT_FALSE(p.ComputeLayout(1920, 1080, 8850, 100, 10));
    EXPECT_EQ(p.CellHeight, 1);
    EXPECT_TRUE(p.ComputeLayout(1920, 1080, 8850, 200, 10));
    EXPECT_EQ(p.CellHeight, 2);
    p.InitCells();
    EXPECT_EQ(p.HitRow(p.Board(kSource, 0, 4).Y + 1, kSource), 4);
}

TEST(Layout, SmallestPlayableClientIsFoundFromTheMinimum) {
    const ClientSize from{320, 240};
    const ClientSize limit{16000, 16000};
    // The built-in picture is playable at the minimum already.
    auto found = smallestPlayableClient(400, 339, 10, from, limit);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->width, 320);
    EXPECT_EQ(found->height, 240);
    // Wide and tall pictures grow the width and the height, and what is found
    // is the first playable size: one pixel less is not.
    for (auto [w, h] : {std::pair{4000, 100}, std::pair{100, 3000}, std::pair{9000, 400}}) {
        found = smallestPlayableClient(w, h, 10, from, limit);
        ASSERT_TRUE(found);
        Puzzle p;
        EXPECT_TRUE(p.ComputeLayout(found->width, found->height, w, h, 10));
        if (found->width > from.width) {
            EXPECT_FALSE(p.ComputeLayout(found->width - 1, found->height, w, h, 10));
        }
        if (found->height > from.height) {
            EXPECT_FALSE(p.ComputeLayout(found->width, found->height - 1, w, h, 10));
        }
    }
    EXPECT_GT(smallestPlayableClient(4000, 100, 10, from, limit)->width, 1000);
    EXPECT_GT(smallestPlayableClient(100, 3000, 10, from, limit)->height, 500);
    EXPECT_FALSE(smallestPlayableClient(65535, 1, 10, from, limit));
}

TEST(Layout, GridSizesAtTheLimits) {
    Puzzle p;
    ASSERT_TRUE(p.ComputeLayout(1016, 714, 400, 339, 1));
    EXPECT_EQ(p.CellWidth, p.BoardWidth);
    EXPECT_EQ(p.CellHeight, p.BoardHeight);

    for (int n : {3, 10, 12}) {
        ASSERT_TRUE(p.ComputeLayout(1920, 1080, 400, 339, n));
        p.InitCells();
        EXPECT_EQ(p.gridSize(), n);
        const CellRec& last = p.Board(kSource, n - 1, n - 1);
        EXPECT_EQ(last.X, p.sourceLeft() + (n - 1) * p.CellWidth);
        EXPECT_EQ(last.PieceCol, n - 1);
    }
    EXPECT_THROW(p.ComputeLayout(1920, 1080, 400, 339, 0), std::out_of_range);
    EXPECT_THROW(p.ComputeLayout(1920, 1080, 400, 339, 13), std::out_of_range);
    EXPECT_THROW(p.Board(kSource, 12, 0), std::out_of_range);
    EXPECT_THROW(p.Board(2, 0, 0), std::out_of_range);
}

TEST(Layout, SmallerGridLeavesHigherCellsUntouched) {
    Puzzle p;
    p.ComputeLayout(1920, 1080, 400, 339, 10);
    p.InitCells();
    const CellRec before = p.Board(kSource, 9, 9);
    p.ComputeLayout(1920, 1080, 400, 339, 3);
    p.InitCells();
    const CellRec after = p.Board(kSource, 9, 9);
    EXPECT_EQ(after.X, before.X);
    EXPECT_EQ(after.Y, before.Y);
    EXPECT_EQ(after.PieceCol, before.PieceCol);
}
