#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zorvane {

// What the step field's tooltip says of the video's own frame interval,
// from its frame times in ms: "Intervalle des images de la vidéo : 33,367 ms",
// or "de 16,667 à 33,367 ms" when the interval varies. Milliseconds carry
// three decimals with the given separator. Empty below two frames.
std::string frameIntervalTip(const std::vector<double> &frameTimesMs, const std::string &decimalSeparator);

// The video's frame interval in ms when its frame rate is constant: every
// interval within a millisecond of the mean, so that times rounded to whole
// milliseconds (33, 34, 33...) still count. Nothing below two frames.
std::optional<double> constantFrameIntervalMs(const std::vector<double> &frameTimesMs);

// The step as the field shows it: at most three decimals, no trailing
// zeros ("40", "33,333").
std::string stepFieldText(double ms, const std::string &decimalSeparator);

} // namespace zorvane
