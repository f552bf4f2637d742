#pragma once

#include <QString>

class Form1;

// How long the window waits for the picture named on the command line
// before it shows itself without it.
constexpr int kWaitForStartPictureMs = 300;

// Shows the main window with the picture named on the command line (a file
// manager's "Open with"). Its decoding starts before the window is shown,
// and the window's first frame shows it: the window waits for the picture,
// briefly, and past that shows an empty board until it comes. A picture that
// cannot be used leaves the built-in one, and the usual message.
void showWithPicture(Form1& window, const QString& path, const QString& name,
                     int waitMs = kWaitForStartPictureMs);
