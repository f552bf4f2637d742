#pragma once

#include <QString>
#include <functional>

class QWidget;

// Opens the "Incarca Poza" file dialog, modal. `chosen` gets the chosen
// file, or an empty name when the player cancels.
void choosePicture(QWidget* parent, std::function<void(const QString&)> chosen);

// The dialog's filters: bitmaps and JPEGs first, then every format this Qt reads.
QString picturesFilter();
QString allPicturesFilter();
// Whether a file name passes a filter, in any letter case (IMG_0001.JPG too).
bool matchesPictureFilter(const QString& fileName, const QString& filter);
