#pragma once

#include <QFont>

namespace zorvane {

// The windows are laid out for an 8-point dialog font; the desktop's larger
// default would wrap the help lines and crowd the buttons.
inline QFont dialogFont()
{
    QFont font;
    font.setPointSizeF(8.25);
    return font;
}

} // namespace zorvane
