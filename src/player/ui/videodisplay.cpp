#include "player/ui/videodisplay.h"

#include <QMouseEvent>
#include <QPainter>

namespace zorvane {

VideoDisplay::VideoDisplay(QWidget *parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setAutoFillBackground(true);
    QPalette darkGrey = palette();
    darkGrey.setColor(QPalette::Window, QColor(64, 64, 64));
    setPalette(darkGrey);
}

void VideoDisplay::setFrame(const QImage &frame)
{
    m_frame = frame;
    // One frame pixel per device-independent pixel, also on dense screens,
    // so that mouse positions and frame pixels keep the same scale.
    m_frame.setDevicePixelRatio(1.0);
    update();
}

void VideoDisplay::clearFrame()
{
    m_frame = QImage();
    update();
}

void VideoDisplay::setOverlay(Overlay overlay)
{
    m_overlay = std::move(overlay);
    update();
}

MouseButton VideoDisplay::buttonOf(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return MouseButton::Left;
    case Qt::RightButton:
        return MouseButton::Right;
    case Qt::MiddleButton:
        return MouseButton::Middle;
    default:
        return MouseButton::Other;
    }
}

int VideoDisplay::shiftCode(Qt::KeyboardModifiers modifiers)
{
    int code = 0;
    if (modifiers & Qt::ShiftModifier)
        code |= 1;
    if (modifiers & Qt::ControlModifier)
        code |= 2;
    if (modifiers & Qt::AltModifier)
        code |= 4;
    return code;
}

void VideoDisplay::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    const QRect area = contentsRect();
    QPainter painter(this);
    painter.setClipRect(area);
    painter.translate(area.topLeft());
    if (!m_frame.isNull())
        painter.drawImage(QPoint(0, 0), m_frame);
    if (m_overlay)
        m_overlay(painter);
}

void VideoDisplay::mouseReleaseEvent(QMouseEvent *event)
{
    const QPointF origin = contentsRect().topLeft();
    const QPointF at = event->position() - origin;
    emit mouseReleased(buttonOf(event->button()), shiftCode(event->modifiers()),
                       static_cast<float>(at.x()), static_cast<float>(at.y()));
}

} // namespace zorvane
