#include "progress/ui/progressbar.h"

#include "progress/progresspasses.h"

#include <QMouseEvent>
#include <QPainter>

namespace zorvane {

namespace {

QColor toQColor(Color c) { return QColor(redOf(c), greenOf(c), blueOf(c)); }

} // namespace

ProgressBar::ProgressBar(QWidget *parent) : QWidget(parent)
{
    setObjectName("PicProgress");
    setCursor(Qt::SizeHorCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ProgressBar::setColors(Color colorA, Color colorB)
{
    m_colorA = colorA;
    m_colorB = colorB;
}

// User x runs from 0 at the left edge to barLength(length) at the right edge;
// a pass ending at user x = i fills pixel columns 0 .. passRightPixel(i),
// both ends included, over the full height.
void ProgressBar::refresh(int position, int length)
{
    m_image = QImage(size(), QImage::Format_RGB32);
    m_image.fill(backgroundColor());
    if (!m_image.isNull()) {
        QPainter painter(&m_image);
        const auto passes = progressPasses(position, length, static_cast<float>(width()), m_colorA, m_colorB);
        for (const ProgressPass &pass : passes) {
            const int last = passRightPixel(pass.right, length, width());
            painter.fillRect(QRect(0, 0, last + 1, height()), toQColor(pass.color));
        }
    }
    update();
}

void ProgressBar::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), backgroundColor());
    painter.drawImage(event->rect(), m_image, event->rect());
}

void ProgressBar::mouseReleaseEvent(QMouseEvent *event)
{
    // The bar does not move the player.
    event->accept();
}

} // namespace zorvane
