#pragma once

#include "track/numbertext.h"

#include <cstdint>
#include <optional>
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

// Two clicks the x axis runs along, from the first to the second: a slope.
struct AxisPoints {
    PicturePoint from;
    PicturePoint to;
    friend bool operator==(const AxisPoints &, const AxisPoints &) = default;
};

// A direction on the picture, in pixels to the right and down.
struct PictureDirection {
    double right = 0;
    double down = 0;
};

// Scale, origin and axes of the picture: two clicked points a known real
// distance apart, and a clicked origin. x grows to the right, or along two
// clicked points; y grows upwards by default, like in physics, or
// downwards like picture rows: a quarter turn from x, anticlockwise on the
// screen for up, clockwise for down. Always valid: the constructor refuses
// what would make no scale or no axis.
class Calibration {
public:
    // Largest distance accepted, far beyond any filmed scene.
    static constexpr double kMaxDistanceMetres = 1e9;

    // Throws MeasureError (SamePoints, DistanceNotPositive, DistanceTooLarge,
    // SameAxisPoints).
    Calibration(PicturePoint scaleStart, PicturePoint scaleEnd, double distanceMetres, PicturePoint origin,
                YAxis yAxis = YAxis::Up, std::optional<AxisPoints> xAxis = std::nullopt);

    PicturePoint scaleStart() const { return m_scaleStart; }
    PicturePoint scaleEnd() const { return m_scaleEnd; }
    double distanceMetres() const { return m_distanceMetres; }
    PicturePoint origin() const { return m_origin; }
    YAxis yAxis() const { return m_yAxis; }
    // Nothing when x runs along the picture's rows.
    const std::optional<AxisPoints> &xAxis() const { return m_xAxis; }

    double metresPerPixel() const { return m_metresPerPixel; }
    RealPoint toMetres(PicturePoint point) const;
    // Up the picture from the origin, whatever the axes: what the
    // potential energy needs.
    double heightMetres(PicturePoint point) const;
    // Where the unit x and y point on the picture.
    PictureDirection xDirection() const;
    PictureDirection yDirection() const;

    friend bool operator==(const Calibration &, const Calibration &) = default;

private:
    PicturePoint m_scaleStart;
    PicturePoint m_scaleEnd;
    double m_distanceMetres = 1;
    PicturePoint m_origin;
    YAxis m_yAxis = YAxis::Up;
    std::optional<AxisPoints> m_xAxis;
    double m_metresPerPixel = 1;
};

// The distance as the user typed it, in metres, read like the step: a dot
// or a comma is the decimal separator, digits are not grouped. Throws
// MeasureError (DistanceNotNumber, DistanceNotPositive, DistanceTooLarge).
double parseDistance(std::string_view text, const NumberFormat &format);

} // namespace zorvane
