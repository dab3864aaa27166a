#pragma once

#include <opencv2/core.hpp>

namespace zorvane {

// Normalised correlation of a float template, weighted by `weights` when
// given, at every place it fits in a float image (OpenCV's
// TM_CCOEFF_NORMED). Places where the picture or the template is flat
// (a plain wall, the repeated border outside the picture) score -1.
cv::Mat correlate(const cv::Mat &image, const cv::Mat &templ, const cv::Mat &weights = {});
// Small maps are summed with the widest vector instructions the processor
// has, or with the four-lane ones every processor has: both give the same
// bits, which the second is there to check.
enum class SumWidth { Widest, FourLanes };
// Whether the processor has wider ones than four lanes.
bool hasWiderSums();
// The same scores where only the cells within `cells` are read: small maps
// work out those alone (the others hold -1), large ones all of them.
cv::Mat correlateWithin(const cv::Mat &image, const cv::Mat &templ, const cv::Mat &weights, cv::Rect cells,
                        SumWidth width = SumWidth::Widest);

// Where a peak sampled at three even steps lies between them, in steps
// from the middle one, by the parabola through the three; 0 where they
// make no peak.
double parabolaOffset(double before, double at, double after);

} // namespace zorvane
