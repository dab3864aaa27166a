#pragma once

#include <QFrame>
#include <QImage>

#include <functional>

class QPainter;

namespace zorvane {

// A picture box: sunken border, dark grey inside, and the current video
// frame drawn 1:1 from the top-left corner of the area inside the border.
// Mouse positions are reported from that same corner, so a position is the
// pixel of the frame under the pointer.
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

    // Button codes 1 left, 2 right, 4 middle; shift bits 1 Shift, 2 Ctrl, 4 Alt.
    static int buttonCode(Qt::MouseButton button);
    static int shiftCode(Qt::KeyboardModifiers modifiers);

signals:
    void mouseReleased(int button, int shift, float x, float y);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QImage m_frame;
    Overlay m_overlay;
};

} // namespace zorvane
