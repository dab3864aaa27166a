#pragma once

#include <QIcon>
#include <QImage>

namespace zorvane {

// Our own picture, drawn by code: a dark video frame with a followed
// object's track of points, the last one marked with a red cross, above the
// green-to-yellow progress gradient.
QImage programPicture(int size);

// The 32 x 32 icon shared by the program's windows.
QIcon programIcon();

} // namespace zorvane
