#include "progress/progresspasses.h"

#include <algorithm>
#include <cmath>

namespace zorvane {

int barLength(int length) { return length == 0 ? 1000 : length; }

std::vector<ProgressPass> progressPasses(int position, int length, float barWidth, Color colorA, Color colorB)
{
    const int scale = barLength(length);
    // Computed in double, kept in single precision: the float steps decide
    // where the last passes fall.
    const float step = static_cast<float>(static_cast<double>(scale) / (static_cast<double>(barWidth) / 15.0));
    std::vector<ProgressPass> passes;
    // A negative step would never end the loop.
    if (!(step > 0))
        return passes;
    for (float i = static_cast<float>(position); i >= 0;) {
        const double t = static_cast<double>(i) / scale;
        const ProgressPass pass{i, BlendColor(colorB, t, colorA)};
        // Passes at or beyond the right end all cover the whole bar in the
        // same colour; keeping only the last bounds the list when the
        // position lies far past the length.
        if (!passes.empty() && passes.back().right >= scale && i >= scale)
            passes.back() = pass;
        else
            passes.push_back(pass);
        const float next = i - step;
        // Far from 0 a tiny step can vanish in float rounding.
        if (next == i)
            break;
        i = next;
    }
    return passes;
}

int passRightPixel(float right, int length, int widthPixels)
{
    if (widthPixels <= 0)
        return -1;
    const double pixel = std::round(static_cast<double>(right) * widthPixels / barLength(length));
    return static_cast<int>(std::clamp(pixel, 0.0, static_cast<double>(widthPixels - 1)));
}

std::string progressTitle(int position, int length)
{
    return "Zorvane   " + std::to_string(position) + "/" + std::to_string(length) + "    par Brindel";
}

} // namespace zorvane
