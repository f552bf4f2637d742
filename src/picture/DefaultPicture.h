#pragma once

#include "LoadedPicture.h"

#include <QSize>

namespace tivra {

// The picture built into the program: this size for the layout, its pixels
// drawn at the board's own size.
constexpr QSize kDefaultPictureSize(400, 339);
tivra::LoadedPicture defaultPicture();

} // namespace tivra
