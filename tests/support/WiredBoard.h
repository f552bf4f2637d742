#pragma once

#include "board/Puzzle.h"
#include "paint/BoardPainter.h"
#include "paint/BoardSurfaces.h"
#include "picture/LoadedPicture.h"

#include <QSize>

namespace tivra::testing {

// A board with its surfaces and painter, wired as the main window wires
// them but with no window: the board's surface at the client's size, the
// whole picture's at `reference` (the client's size unless told), and the
// picture loaded. Nothing is laid out or drawn yet.
struct WiredBoard {
    Puzzle puzzle;
    BoardSurfaces surfaces;
    BoardPainter painter{puzzle, surfaces};

    WiredBoard(QSize client, const LoadedPicture& picture, QSize reference) {
        surfaces.window.resize(client);
        surfaces.Picture2.resize(reference);
        surfaces.Picture1 = picture;
    }
    WiredBoard(QSize client, const LoadedPicture& picture) : WiredBoard(client, picture, client) {}
};

} // namespace tivra::testing
