#pragma once

#include "Colours.h"
#include "Surface.h"
#include "picture/LoadedPicture.h"

namespace tivra {

// The four drawing surfaces of the main window.
struct BoardSurfaces {
    // The main window's client area. Only the pixels the board draws are
    // stored, from the picture on: memory is short at start-up, and until
    // the first move the receiving grid is only outlines.
    Surface window{kWindowBackground, {}, Surface::Storage::DrawnPartOnly};
    LoadedPicture Picture1; // the current picture, hidden
    Surface Picture2{kFaceColour, {}, Surface::Storage::DrawnPartOnly}; // the reference overlay
    Surface Picture3{kFaceColour};                                      // scratch for one cell
};

} // namespace tivra
