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
                         YAxis yAxis)
        : m_scaleStart(scaleStart), m_scaleEnd(scaleEnd), m_distanceMetres(distanceMetres), m_origin(origin),
          m_yAxis(yAxis)
{
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
    return {right * m_metresPerPixel, (m_yAxis == YAxis::Up ? -down : down) * m_metresPerPixel};
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
