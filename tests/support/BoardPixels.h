#pragma once

#include "board/Puzzle.h"
#include "paint/BoardSurfaces.h"

#include <QImage>
#include <QString>
#include <optional>

namespace tivra::testing {

// A picture whose every pixel is different from its neighbours, so that a
// piece shown one pixel off, or in the wrong cell, never matches.
QImage codedPicture(int width, int height);

// The source grid as New Game leaves it before the shuffle: every piece at
// home, outlines drawn. Pieces are cut from this.
QImage homeGrid(const Puzzle& puzzle, const Surface& window);

// The layout a board must have on a client of this size for a picture of
// this size, its cells placed; none when they would be too small.
std::optional<Puzzle> layoutFor(QSize client, QSize picture, int divisions = 4);

// A board painted afresh for a picture, client size and grid size: the idle
// board, its reference picture, and the pieces' home grid.
struct FreshBoard {
    QImage idle;
    QImage reference;
    QImage homes;
};
FreshBoard paintFreshBoard(const LoadedPicture& picture, QSize client, int divisions);

inline QImage freshHomeGrid(const LoadedPicture& picture, QSize client, int divisions) {
    return paintFreshBoard(picture, client, divisions).homes;
}

// The mean difference of two images of one size, per channel.
double meanDifference(const QImage& a, const QImage& b);

// How far the pixels a board shows are from a picture scaled smoothly to
// their size, and from the same picture shrunk to `softSize` and enlarged
// back: mean differences per channel, a `margin` kept off each edge. A
// picture drawn at the screen's own resolution is much nearer the first.
struct Sharpness {
    double toSharp;
    double toSoft;
    // Less than half as far from the sharp picture as from the soft one.
    bool looksSharp() const { return toSharp * 2 < toSoft; }
    QString describe() const {
        return QStringLiteral("%1 from the sharp picture, %2 from the soft one")
            .arg(toSharp)
            .arg(toSoft);
    }
};
Sharpness sharpness(const QImage& shown, const QImage& picture, QSize softSize, int margin);
// The same for the built-in picture, against the nearest of the sizes the
// build drew it at, softened to the size the layout gives it: on a board
// shown, or on a surface's untouched board.
Sharpness builtInSharpness(const QImage& shown, int margin);
Sharpness builtInSharpness(const Puzzle& puzzle, const Surface& window);

// How far apart two colours are: their channels' differences, added.
int colourDistance(QRgb a, QRgb b);

// How many pixels of an image have this colour.
int countColour(const QImage& image, QRgb colour);

// Whether a surface shows exactly these pixels, read a band of rows at a time
// rather than copied whole.
bool shows(const Surface& surface, const QImage& pixels);

// Full, PieceCol and PieceRow of every cell of both grids, for comparing the
// pieces' places before and after something.
QList<int> tableState(const Puzzle& puzzle);

// Checks that every full cell shows exactly its piece's pixels (inside its
// outline), that every empty cell shows the background, and that each piece
// is in exactly one place. Returns the first fault found, or an empty string.
QString boardFault(const Puzzle& puzzle, const Surface& window, const QImage& homes);

// A cell's place on a surface at a screen's ratio: each grid's origin
// rounded once, every cell the same whole number of device pixels.
QRect deviceCell(const Puzzle& puzzle, int side, int col, int row, double ratio);
// The middle of a cell in the layout's pixels, where the hit test always
// finds it.
QPoint cellCentre(const Puzzle& puzzle, int side, int col, int row);

// What can be checked of a board at any ratio: each piece in exactly one
// place, and every empty cell background inside its outline (along the
// cell's middle row and column).
QString scaledBoardFault(const Puzzle& puzzle, const Surface& window);

// Checks that Picture2 holds the unshuffled picture: the home grid's pixels
// everywhere but on the outlines.
QString referenceFault(const Puzzle& puzzle, const Surface& picture2, const QImage& homes);

} // namespace tivra::testing
