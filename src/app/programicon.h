#pragma once

#include <QIcon>

namespace zorvane {

// The 32 x 32 icon of the program: a film frame with a thrown ball's dotted
// path and a red cross on its last point.
QIcon programIcon();

} // namespace zorvane
