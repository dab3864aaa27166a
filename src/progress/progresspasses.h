#pragma once

#include "progress/blendcolor.h"

#include <string>
#include <vector>

namespace zorvane {

// One rectangle of the bar's refresh: from the left edge (user x = 0) to
// user x = right, over the full height, in colour.
struct ProgressPass {
    float right = 0;
    Color color = 0;
};

// The length the bar is scaled to: the player's length, or 1000 when it is 0.
int barLength(int length);

// The passes of one refresh, in drawing order (from the current frame down to
// 0), for a bar barWidth pixels wide. Each pass moves about 15 pixels left.
std::vector<ProgressPass> progressPasses(int position, int length, float barWidth, Color colorA = kProgressColorA,
                                         Color colorB = kProgressColorB);

// Last pixel column (inclusive) that a pass ending at user x = right covers on
// a bar of widthPixels, where user x runs from 0 at the left edge to
// barLength(length) at the right edge. A box's corners are both painted, so
// right = 0 still fills column 0; the result is clipped to the bar.
int passRightPixel(float right, int length, int widthPixels);

// "Zorvane   P/L    par Brindel".
std::string progressTitle(int position, int length);

} // namespace zorvane
