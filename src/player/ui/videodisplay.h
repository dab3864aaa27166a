#pragma once

#include <QFrame>
#include <QImage>

#include <functional>

class QPainter;

namespace zorvane {

// The released button of a click on a picture box, by its 16-bit code.
enum class MouseButton : int { Other = 0, Left = 1, Right = 2, Middle = 4 };

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

    static MouseButton buttonOf(Qt::MouseButton button);
    // Shift bits: 1 Shift, 2 Ctrl, 4 Alt.
    static int shiftCode(Qt::KeyboardModifiers modifiers);

signals:
    void mouseReleased(zorvane::MouseButton button, int shift, float x, float y);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QImage m_frame;
    Overlay m_overlay;
};

} // namespace zorvane
