#include "measure/calibration.h"

#include "measure/measureerror.h"

#include <cmath>
#include <optional>

namespace zorvane {

namespace {

void checkDistance(double metres)
{
    if (!(metres > 0))
        throw MeasureError(MeasureErrorKind::DistanceNotPositive,
                           "La distance entre les deux points doit être plus grande que zéro.");
    if (metres > Calibration::kMaxDistanceMetres)
        throw MeasureError(MeasureErrorKind::DistanceTooLarge,
                           "La distance entre les deux points est trop grande (au plus 1 000 000 000 m).");
}

double pixelsBetween(PicturePoint a, PicturePoint b)
{
    return std::hypot(static_cast<double>(b.x) - a.x, static_cast<double>(b.y) - a.y);
}

} // namespace

Calibration::Calibration(PicturePoint scaleStart, PicturePoint scaleEnd, double distanceMetres, PicturePoint origin,
                         YAxis yAxis, std::optional<AxisPoints> xAxis)
        : m_scaleStart(scaleStart), m_scaleEnd(scaleEnd), m_distanceMetres(distanceMetres), m_origin(origin),
          m_yAxis(yAxis), m_xAxis(xAxis)
{
    if (xAxis && xAxis->from == xAxis->to)
        throw MeasureError(MeasureErrorKind::SameAxisPoints,
                           "Les deux points de l'axe x sont confondus : cliquez deux points distincts de la pente.");
    if (scaleStart == scaleEnd)
        throw MeasureError(MeasureErrorKind::SamePoints,
                           "Les deux points de l'échelle sont confondus : cliquez les deux extrémités "
                           "d'une longueur connue.");
    checkDistance(distanceMetres);
    m_metresPerPixel = distanceMetres / pixelsBetween(scaleStart, scaleEnd);
}

RealPoint Calibration::toMetres(PicturePoint point) const
{
    const double right = static_cast<double>(point.x) - m_origin.x;
    const double down = static_cast<double>(point.y) - m_origin.y;
    if (!m_xAxis) // kept apart so that unturned axes give the very same numbers as ever
        return {right * m_metresPerPixel, (m_yAxis == YAxis::Up ? -down : down) * m_metresPerPixel};
    const PictureDirection x = xDirection();
    const PictureDirection y = yDirection();
    return {(right * x.right + down * x.down) * m_metresPerPixel, (right * y.right + down * y.down) * m_metresPerPixel};
}

double Calibration::heightMetres(PicturePoint point) const
{
    return (static_cast<double>(m_origin.y) - point.y) * m_metresPerPixel;
}

PictureDirection Calibration::xDirection() const
{
    if (!m_xAxis)
        return {1, 0};
    const double right = static_cast<double>(m_xAxis->to.x) - m_xAxis->from.x;
    const double down = static_cast<double>(m_xAxis->to.y) - m_xAxis->from.y;
    const double length = std::hypot(right, down);
    return {right / length, down / length};
}

// A quarter turn of x: on the screen, whose rows go down, anticlockwise
// takes (right, down) to (down, -right).
PictureDirection Calibration::yDirection() const
{
    const PictureDirection x = xDirection();
    return m_yAxis == YAxis::Up ? PictureDirection{x.down, -x.right} : PictureDirection{-x.down, x.right};
}

double parseDistance(std::string_view text, const NumberFormat &format)
{
    const std::optional<double> metres = parseStep(text, format);
    if (!metres)
        throw MeasureError(MeasureErrorKind::DistanceNotNumber,
                           "La distance « " + std::string(text)
                               + " » n'est pas un nombre : tapez la distance "
                                 "réelle entre les deux points, en mètres (par exemple 0"
                               + format.decimalSeparator + "5).");
    checkDistance(*metres);
    return *metres;
}

} // namespace zorvane
