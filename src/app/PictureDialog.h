#pragma once

#include <QString>

class QWidget;

// The "Incarca Poza" file dialog. Returns the chosen file, or an empty name
// when the player cancels.
QString choosePicture(QWidget* parent);

// The dialog's filters: bitmaps and JPEGs first, then every format this Qt reads.
QString picturesFilter();
QString allPicturesFilter();
// Whether a file name passes a filter, in any letter case (IMG_0001.JPG too).
bool matchesPictureFilter(const QString& fileName, const QString& filter);
