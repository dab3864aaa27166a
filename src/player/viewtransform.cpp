#include "player/viewtransform.h"

#include <algorithm>
#include <cmath>

namespace zorvane {
namespace {

constexpr double kSteps[] = {1.0 / 8, 1.0 / 4, 1.0 / 3, 1.0 / 2, 2.0 / 3, 1.0, 1.5, 2.0, 3.0, 4.0, 6.0, 8.0};
// Scales closer than this are the same step.
constexpr double kSameStep = 1e-6;

int scaled(int pixels, double scale) { return static_cast<int>(std::ceil(pixels * scale - kSameStep)); }

} // namespace

void ViewTransform::setPicture(int width, int height)
{
    m_pictureWidth = std::max(0, width);
    m_pictureHeight = std::max(0, height);
    clampScroll();
}

void ViewTransform::setArea(int width, int height, int barThickness)
{
    m_areaWidth = std::max(0, width);
    m_areaHeight = std::max(0, height);
    m_barThickness = std::max(0, barThickness);
    clampScroll();
}

int ViewTransform::contentWidth() const { return scaled(m_pictureWidth, m_scale); }
int ViewTransform::contentHeight() const { return scaled(m_pictureHeight, m_scale); }

// A bar on one side takes room from the other, which may then need its
// own bar too.
bool ViewTransform::barsFor(bool horizontal) const
{
    const bool wide = contentWidth() > m_areaWidth;
    const bool tall = contentHeight() > m_areaHeight;
    const bool needsH = wide || (tall && contentWidth() > m_areaWidth - m_barThickness);
    const bool needsV = tall || (wide && contentHeight() > m_areaHeight - m_barThickness);
    return horizontal ? needsH : needsV;
}

bool ViewTransform::horizontalBar() const { return barsFor(true); }
bool ViewTransform::verticalBar() const { return barsFor(false); }

int ViewTransform::viewWidth() const { return std::max(0, m_areaWidth - (verticalBar() ? m_barThickness : 0)); }
int ViewTransform::viewHeight() const { return std::max(0, m_areaHeight - (horizontalBar() ? m_barThickness : 0)); }
int ViewTransform::maxScrollX() const { return std::max(0, contentWidth() - viewWidth()); }
int ViewTransform::maxScrollY() const { return std::max(0, contentHeight() - viewHeight()); }

void ViewTransform::scrollTo(int x, int y)
{
    m_scrollX = x;
    m_scrollY = y;
    clampScroll();
}

void ViewTransform::clampScroll()
{
    m_scrollX = std::clamp(m_scrollX, 0, maxScrollX());
    m_scrollY = std::clamp(m_scrollY, 0, maxScrollY());
}

double ViewTransform::fitScale() const
{
    if (m_pictureWidth == 0 || m_pictureHeight == 0 || m_areaWidth == 0 || m_areaHeight == 0)
        return 1.0;
    return std::min(static_cast<double>(m_areaWidth) / m_pictureWidth,
                    static_cast<double>(m_areaHeight) / m_pictureHeight);
}

std::vector<double> ViewTransform::zoomSteps() const
{
    const double smallest = std::min(1.0, fitScale());
    std::vector<double> steps{smallest};
    for (double step : kSteps)
        if (step > smallest + kSameStep)
            steps.push_back(step);
    return steps;
}

void ViewTransform::zoomAt(double scale, ViewPoint anchor)
{
    const std::vector<double> steps = zoomSteps();
    scale = std::clamp(scale, steps.front(), kMaxScale);
    const double videoX = (anchor.x + m_scrollX) / m_scale;
    const double videoY = (anchor.y + m_scrollY) / m_scale;
    m_scale = scale;
    scrollTo(static_cast<int>(std::lround(videoX * scale - anchor.x)),
             static_cast<int>(std::lround(videoY * scale - anchor.y)));
}

void ViewTransform::zoomInAt(ViewPoint anchor)
{
    for (double step : zoomSteps()) {
        if (step > m_scale + kSameStep) {
            zoomAt(step, anchor);
            return;
        }
    }
}

void ViewTransform::zoomOutAt(ViewPoint anchor)
{
    const std::vector<double> steps = zoomSteps();
    for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
        if (*step < m_scale - kSameStep) {
            zoomAt(*step, anchor);
            return;
        }
    }
}

ViewPoint ViewTransform::toVideo(ViewPoint view) const
{
    // At 1:1 the view position is the video position, fractions included.
    if (m_scale == 1.0)
        return {view.x + m_scrollX, view.y + m_scrollY};
    return {(view.x + 0.5 + m_scrollX) / m_scale - 0.5, (view.y + 0.5 + m_scrollY) / m_scale - 0.5};
}

ViewPoint ViewTransform::toView(ViewPoint video) const
{
    return {video.x * m_scale - m_scrollX, video.y * m_scale - m_scrollY};
}

} // namespace zorvane
