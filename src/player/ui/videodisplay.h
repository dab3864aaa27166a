#pragma once

#include "player/viewtransform.h"

#include <QFrame>
#include <QImage>

#include <functional>

class QPainter;
class QScrollBar;

namespace zorvane {

// The released button of a click on a picture box, by its 16-bit code.
enum class MouseButton : int { Other = 0, Left = 1, Right = 2, Middle = 4 };

// A picture box: sunken border, dark grey inside, and the current video
// frame drawn from the top-left corner of the area inside the border, 1:1
// unless zoomed. A frame larger than the area scrolls (scroll bars, the
// wheel, Shift+wheel sideways); Ctrl+wheel zooms around the pointer. The
// zoom keys (handleZoomKey) act around the pointer when it is over the
// picture, else around the middle of the view. Mouse positions are
// reported in frame coordinates: at 1:1 without scrolling, the position
// from that corner.
class VideoDisplay : public QFrame {
    Q_OBJECT

public:
    // Paints on top of the frame, in the frame's coordinates.
    using Overlay = std::function<void(QPainter &)>;

    explicit VideoDisplay(QWidget *parent = nullptr);

    void setFrame(const QImage &frame);
    void clearFrame();
    const QImage &frame() const { return m_frame; }

    void setOverlay(Overlay overlay);

    const ViewTransform &view() const { return m_view; }
    // The area inside the border less the scroll bars, in widget pixels.
    QRect viewRect() const;
    // Anchors are widget positions.
    void zoomAt(double scale, QPointF anchor);
    void zoomIn(QPointF anchor);
    void zoomOut(QPointF anchor);
    // Back to 1:1, keeping the video pixel under the anchor.
    void resetZoom(QPointF anchor);
    // The whole picture in the view, as large as it fits.
    void fitToView();
    void scrollTo(int x, int y);

    // Ctrl+0 (1:1), Ctrl+9 (fit), Ctrl++ or Ctrl+= (in) and Ctrl+- (out);
    // true when the key was one of them.
    bool handleZoomKey(const QKeyEvent &event);
    // The middle of the screen pixel under the pointer when it is over the
    // view, else the view's middle.
    QPointF keyAnchor() const;

    static MouseButton buttonOf(Qt::MouseButton button);
    // Shift bits: 1 Shift, 2 Ctrl, 4 Alt.
    static int shiftCode(Qt::KeyboardModifiers modifiers);

signals:
    void mouseReleased(zorvane::MouseButton button, int shift, float x, float y);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    ViewPoint fromWidget(QPointF at) const;
    void paintFrame(QPainter &painter) const;
    void layoutView();

    QImage m_frame;
    Overlay m_overlay;
    ViewTransform m_view;
    QScrollBar *m_horizontalBar = nullptr;
    QScrollBar *m_verticalBar = nullptr;
};

} // namespace zorvane
