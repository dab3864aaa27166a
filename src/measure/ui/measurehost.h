#pragma once

#include "player/player.h"
#include "player/ui/videodisplay.h"
#include "track/numbertext.h"
#include "track/pointset.h"
#include "track/pointtrack.h"

#include <QString>

#include <functional>

class QMenu;
class QWidget;

namespace zorvane {

// What the main window lends the measures.
struct MeasureHost {
    // Left clicks on the picture, in frame pixels: true when taken, so the
    // point is not recorded.
    using ClickInterceptor = std::function<bool(float x, float y)>;

    Player &player;
    const PointTrack &track; // A
    const PointSet &others;  // B and the next
    // The point the left button records (0 for A): the one measured and
    // drawn with its vectors.
    std::function<int()> activePoint;
    QMenu *menu = nullptr;
    QWidget *window = nullptr;
    NumberFormat numberFormat;
    std::function<void(VideoDisplay::Overlay)> addOverlay;
    std::function<void(ClickInterceptor)> setClickInterceptor;
    std::function<void()> refresh;
    std::function<void(const QString &)> showMessage;
};

} // namespace zorvane
