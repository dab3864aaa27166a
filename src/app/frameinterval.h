#pragma once

#include <string>
#include <vector>

namespace zorvane {

// What the step field's tooltip says of the video's own frame interval,
// from its frame times in ms: "Intervalle des images de la vidéo : 33,367 ms",
// or "de 16,667 à 33,367 ms" when the interval varies. Milliseconds carry
// three decimals with the given separator. Empty below two frames.
std::string frameIntervalTip(const std::vector<double> &frameTimesMs, const std::string &decimalSeparator);

} // namespace zorvane
