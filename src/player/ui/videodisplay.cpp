#include "player/ui/videodisplay.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace zorvane {
namespace {

// Screen pixels one wheel notch scrolls.
constexpr int kWheelStep = 60;
constexpr int kNotch = 120;

} // namespace

VideoDisplay::VideoDisplay(QWidget *parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setAutoFillBackground(true);
    QPalette darkGrey = palette();
    darkGrey.setColor(QPalette::Window, QColor(64, 64, 64));
    setPalette(darkGrey);
    m_horizontalBar = new QScrollBar(Qt::Horizontal, this);
    m_verticalBar = new QScrollBar(Qt::Vertical, this);
    for (QScrollBar *bar : {m_horizontalBar, m_verticalBar}) {
        bar->setObjectName(bar == m_horizontalBar ? QStringLiteral("horizontalBar") : QStringLiteral("verticalBar"));
        bar->setSingleStep(kWheelStep / 3);
        bar->hide();
        connect(bar, &QScrollBar::valueChanged, this,
                [this] { scrollTo(m_horizontalBar->value(), m_verticalBar->value()); });
    }
}

void VideoDisplay::setFrame(const QImage &frame)
{
    m_frame = frame;
    // One frame pixel per device-independent pixel, also on dense screens,
    // so that mouse positions and frame pixels keep the same scale.
    m_frame.setDevicePixelRatio(1.0);
    layoutView();
    update();
}

// The next video starts at 1:1 from its top-left corner.
void VideoDisplay::clearFrame()
{
    m_frame = QImage();
    m_view = ViewTransform();
    layoutView();
    update();
}

QRect VideoDisplay::viewRect() const
{
    const QRect inside = contentsRect();
    return {inside.topLeft(), QSize(m_view.viewWidth(), m_view.viewHeight())};
}

ViewPoint VideoDisplay::fromWidget(QPointF at) const
{
    const QPointF corner = contentsRect().topLeft();
    return {at.x() - corner.x(), at.y() - corner.y()};
}

void VideoDisplay::zoomAt(double scale, QPointF anchor)
{
    m_view.zoomAt(scale, fromWidget(anchor));
    layoutView();
    update();
}

void VideoDisplay::zoomIn(QPointF anchor)
{
    m_view.zoomInAt(fromWidget(anchor));
    layoutView();
    update();
}

void VideoDisplay::zoomOut(QPointF anchor)
{
    m_view.zoomOutAt(fromWidget(anchor));
    layoutView();
    update();
}

void VideoDisplay::resetZoom(QPointF anchor) { zoomAt(1.0, anchor); }

void VideoDisplay::fitToView()
{
    m_view.zoomAt(m_view.fitScale(), {0.0, 0.0});
    layoutView();
    update();
}

void VideoDisplay::scrollTo(int x, int y)
{
    if (x == m_view.scrollX() && y == m_view.scrollY())
        return;
    m_view.scrollTo(x, y);
    layoutView();
    update();
}

// Keeps the scroll bars in step with the view: shown only when the picture
// does not fit, inside the border on the right and at the bottom.
void VideoDisplay::layoutView()
{
    const QRect inside = contentsRect();
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    m_view.setPicture(m_frame.width(), m_frame.height());
    m_view.setArea(inside.width(), inside.height(), extent);
    const QSignalBlocker blockH(m_horizontalBar);
    const QSignalBlocker blockV(m_verticalBar);
    m_horizontalBar->setGeometry(inside.left(), inside.bottom() + 1 - extent, m_view.viewWidth(), extent);
    m_horizontalBar->setRange(0, m_view.maxScrollX());
    m_horizontalBar->setPageStep(std::max(1, m_view.viewWidth()));
    m_horizontalBar->setValue(m_view.scrollX());
    m_horizontalBar->setVisible(m_view.horizontalBar());
    m_verticalBar->setGeometry(inside.right() + 1 - extent, inside.top(), extent, m_view.viewHeight());
    m_verticalBar->setRange(0, m_view.maxScrollY());
    m_verticalBar->setPageStep(std::max(1, m_view.viewHeight()));
    m_verticalBar->setValue(m_view.scrollY());
    m_verticalBar->setVisible(m_view.verticalBar());
}

void VideoDisplay::setOverlay(Overlay overlay)
{
    m_overlay = std::move(overlay);
    update();
}

MouseButton VideoDisplay::buttonOf(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton: return MouseButton::Left;
    case Qt::RightButton: return MouseButton::Right;
    case Qt::MiddleButton: return MouseButton::Middle;
    default: return MouseButton::Other;
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
    const QRect area = viewRect();
    QPainter painter(this);
    painter.setClipRect(area);
    painter.translate(area.topLeft());
    if (m_view.scale() != 1.0 || m_view.scrollX() != 0 || m_view.scrollY() != 0) {
        painter.translate(-m_view.scrollX(), -m_view.scrollY());
        painter.scale(m_view.scale(), m_view.scale());
    }
    if (!m_frame.isNull())
        paintFrame(painter);
    if (m_overlay)
        m_overlay(painter);
}

// Only the part of the frame in view is drawn, so that a zoomed 4K frame
// costs what the screen shows. Above 1:1 pixels stay sharp squares.
void VideoDisplay::paintFrame(QPainter &painter) const
{
    const double scale = m_view.scale();
    if (scale == 1.0) {
        painter.drawImage(QPoint(0, 0), m_frame);
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform, scale < 1.0);
    const int left = std::max(0, static_cast<int>(std::floor(m_view.scrollX() / scale)) - 1);
    const int top = std::max(0, static_cast<int>(std::floor(m_view.scrollY() / scale)) - 1);
    const int right =
        std::min(m_frame.width(), static_cast<int>(std::ceil((m_view.scrollX() + m_view.viewWidth()) / scale)) + 1);
    const int bottom =
        std::min(m_frame.height(), static_cast<int>(std::ceil((m_view.scrollY() + m_view.viewHeight()) / scale)) + 1);
    if (right <= left || bottom <= top)
        return;
    const QRect source(left, top, right - left, bottom - top);
    painter.drawImage(QRectF(source), m_frame, QRectF(source));
}

void VideoDisplay::mouseReleaseEvent(QMouseEvent *event)
{
    const ViewPoint at = m_view.toVideo(fromWidget(event->position()));
    emit mouseReleased(buttonOf(event->button()), shiftCode(event->modifiers()), static_cast<float>(at.x),
                       static_cast<float>(at.y));
}

// Ctrl+wheel zooms; the wheel scrolls down and up, sideways with Shift or
// when the device scrolls sideways itself.
void VideoDisplay::wheelEvent(QWheelEvent *event)
{
    const QPoint delta = event->angleDelta();
    const int amount = delta.y() != 0 ? delta.y() : delta.x();
    if (event->modifiers() & Qt::ControlModifier) {
        if (amount > 0)
            zoomIn(event->position());
        else if (amount < 0)
            zoomOut(event->position());
        event->accept();
        return;
    }
    const int pixels = -amount * kWheelStep / kNotch;
    if ((event->modifiers() & Qt::ShiftModifier) || delta.y() == 0)
        scrollTo(m_view.scrollX() + pixels, m_view.scrollY());
    else
        scrollTo(m_view.scrollX(), m_view.scrollY() + pixels);
    event->accept();
}

bool VideoDisplay::handleZoomKey(const QKeyEvent &event)
{
    if (!(event.modifiers() & Qt::ControlModifier))
        return false;
    switch (event.key()) {
    case Qt::Key_0: resetZoom(keyAnchor()); return true;
    case Qt::Key_9: fitToView(); return true;
    case Qt::Key_Plus:
    case Qt::Key_Equal: zoomIn(keyAnchor()); return true;
    case Qt::Key_Minus: zoomOut(keyAnchor()); return true;
    default: return false;
    }
}

QPointF VideoDisplay::keyAnchor() const
{
    const QRect view = viewRect();
    const QPoint pointer = mapFromGlobal(QCursor::pos());
    // The middle of the screen pixel under the pointer, so that 1:1 shows
    // the same video pixel there.
    if (view.contains(pointer))
        return QPointF(pointer) + QPointF(0.5, 0.5);
    return QRectF(view).center();
}

void VideoDisplay::keyPressEvent(QKeyEvent *event)
{
    if (handleZoomKey(*event)) {
        event->accept();
        return;
    }
    QFrame::keyPressEvent(event);
}

void VideoDisplay::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    layoutView();
}

} // namespace zorvane
