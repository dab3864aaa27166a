#pragma once

#include "track/numbertext.h"

#include <cstdint>
#include <string_view>

namespace zorvane {

// A click on the picture, in pixels of the video area like the track's
// points, but where (0, 0) is an ordinary point.
struct PicturePoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const PicturePoint &, const PicturePoint &) = default;
};

// A position in metres from the calibration's origin.
struct RealPoint {
    double x = 0;
    double y = 0;
};

enum class YAxis { Up, Down };

// Scale, origin and axes of the picture: two clicked points a known real
// distance apart, and a clicked origin. x grows to the right; y grows
// upwards by default, like in physics, or downwards like picture rows.
// Always valid: the constructor refuses what would make no scale.
class Calibration {
public:
    // Largest distance accepted, far beyond any filmed scene.
    static constexpr double kMaxDistanceMetres = 1e9;

    // Throws MeasureError (SamePoints, DistanceNotPositive, DistanceTooLarge).
    Calibration(PicturePoint scaleStart, PicturePoint scaleEnd, double distanceMetres, PicturePoint origin,
                YAxis yAxis = YAxis::Up);

    PicturePoint scaleStart() const { return m_scaleStart; }
    PicturePoint scaleEnd() const { return m_scaleEnd; }
    double distanceMetres() const { return m_distanceMetres; }
    PicturePoint origin() const { return m_origin; }
    YAxis yAxis() const { return m_yAxis; }

    double metresPerPixel() const { return m_metresPerPixel; }
    RealPoint toMetres(PicturePoint point) const;

    friend bool operator==(const Calibration &, const Calibration &) = default;

private:
    PicturePoint m_scaleStart;
    PicturePoint m_scaleEnd;
    double m_distanceMetres = 1;
    PicturePoint m_origin;
    YAxis m_yAxis = YAxis::Up;
    double m_metresPerPixel = 1;
};

// The distance as the user typed it, in metres, read like the step: a dot
// or a comma is the decimal separator, digits are not grouped. Throws
// MeasureError (DistanceNotNumber, DistanceNotPositive, DistanceTooLarge).
double parseDistance(std::string_view text, const NumberFormat &format);

} // namespace zorvane
