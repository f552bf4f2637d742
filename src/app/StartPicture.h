#pragma once

#include "PictureLoading.h"

#include <QString>
#include <memory>

class Form1;
namespace tivra {
class DecoderProcess;
}

// How long the window waits for the picture named on the command line
// before it shows itself without it.
constexpr int kWaitForStartPictureMs = 300;

// Shows the main window with the picture named on the command line (a file
// manager's "Open with"). Its decoding starts before the window is shown,
// and the window's first frame shows it: the window waits for the picture,
// briefly, and past that shows an empty board until it comes. A picture that
// cannot be used leaves the built-in one, and the usual message.
// Asks `helper`, started at the top of the program, for the picture named
// on the command line, decoded for the largest board of the screen the
// window opens on: it decodes while the window is made. For the window's
// PictureLoading to take over.
AskedPicture askForStartPicture(const QString& program,
                                std::unique_ptr<tivra::DecoderProcess> helper, const QString& path,
                                const QString& name);

void showWithPicture(Form1& window, const QString& path, const QString& name,
                     int waitMs = kWaitForStartPictureMs);
