#pragma once

#include <opencv2/core.hpp>

namespace zorvane {

// Normalised correlation of a float template, weighted by `weights` when
// given, at every place it fits in a float image (OpenCV's
// TM_CCOEFF_NORMED). Places where the picture or the template is flat
// (a plain wall, the repeated border outside the picture) score -1.
cv::Mat correlate(const cv::Mat &image, const cv::Mat &templ, const cv::Mat &weights = {});

} // namespace zorvane
