#pragma once

#include <optional>

namespace zorvane {

// New size of the video area when the client area changes: 10 pixels less
// than the client width, and down to 5 pixels above the bottom. A side that
// would come out negative is left as it is; the other still applies.
struct VideoAreaSize {
    std::optional<int> width;
    std::optional<int> height;
};

VideoAreaSize videoAreaSize(int clientWidth, int clientHeight, int areaTop);

// Along one axis, the scroll offset (screen pixels) that keeps a followed
// point (video pixels) in view: unchanged while the point shows in the
// middle half of the view, else the point in the middle, within 0 to
// `maxScroll`.
int followingScroll(double point, double scale, int scroll, int viewLength, int maxScroll);

} // namespace zorvane
