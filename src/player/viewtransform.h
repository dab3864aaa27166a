#pragma once

#include <vector>

namespace zorvane {

struct ViewPoint {
    double x = 0.0;
    double y = 0.0;
};

// How a picture sits in a video area: a zoom factor and a scroll offset in
// screen pixels. Screen pixel (i, j) of the view shows video pixel
// floor((i + scroll) / scale); the picture starts at the view's top-left
// corner when it is smaller than the view. Scroll bars appear inside the
// area on the right and at the bottom when the zoomed picture does not fit.
class ViewTransform {
public:
    static constexpr double kMaxScale = 8.0;

    void setPicture(int width, int height);
    // The whole area, scroll bars included when they are shown.
    void setArea(int width, int height, int barThickness);

    double scale() const { return m_scale; }
    int scrollX() const { return m_scrollX; }
    int scrollY() const { return m_scrollY; }
    int pictureWidth() const { return m_pictureWidth; }
    int pictureHeight() const { return m_pictureHeight; }
    // Size of the zoomed picture in screen pixels.
    int contentWidth() const;
    int contentHeight() const;
    bool horizontalBar() const;
    bool verticalBar() const;
    // The area less the scroll bars: where the picture shows.
    int viewWidth() const;
    int viewHeight() const;
    int maxScrollX() const;
    int maxScrollY() const;

    void scrollTo(int x, int y);
    void scrollBy(int dx, int dy) { scrollTo(m_scrollX + dx, m_scrollY + dy); }

    // The scale at which the whole picture fits the area.
    double fitScale() const;
    // From min(fit, 100 %) up to 800 %.
    std::vector<double> zoomSteps() const;
    // Sets the scale keeping the video point under `anchor` (view pixels)
    // where it is, as far as the scroll range allows.
    void zoomAt(double scale, ViewPoint anchor);
    void zoomInAt(ViewPoint anchor);
    void zoomOutAt(ViewPoint anchor);
    void resetZoom() { zoomAt(1.0, {0.0, 0.0}); }

    // The video coordinates of a view position: a position inside a
    // screen pixel maps into the video pixel drawn there, so rounding the
    // result to the nearest integer gives that pixel.
    ViewPoint toVideo(ViewPoint view) const;
    // The view position of a video position (its top-left edge).
    ViewPoint toView(ViewPoint video) const;

private:
    bool barsFor(bool horizontal) const;
    void clampScroll();

    int m_pictureWidth = 0;
    int m_pictureHeight = 0;
    int m_areaWidth = 0;
    int m_areaHeight = 0;
    int m_barThickness = 0;
    double m_scale = 1.0;
    int m_scrollX = 0;
    int m_scrollY = 0;
};

} // namespace zorvane
