#include "programicon.h"

#include <QPainter>
#include <QPixmap>

#include <cmath>

namespace zorvane {

QIcon programIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);

    // Film strip: dark body with sprocket holes top and bottom.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 40, 48));
    painter.drawRoundedRect(QRectF(0, 2, 32, 28), 3, 3);
    painter.setBrush(QColor(230, 230, 230));
    for (int x = 2; x < 32; x += 6) {
        painter.drawRect(x, 4, 3, 2);
        painter.drawRect(x, 26, 3, 2);
    }
    painter.setBrush(QColor(70, 110, 160));
    painter.drawRect(2, 8, 28, 16);

    // A ball's path: one dot per frame on a parabola.
    painter.setBrush(QColor(255, 220, 60));
    for (int i = 0; i <= 6; ++i) {
        const double x = 4 + i * 3.5;
        const double y = 22 - 12 * (1 - std::pow((i - 3) / 3.0, 2));
        painter.drawEllipse(QPointF(x, y), 1.3, 1.3);
    }

    // The marker of the current frame.
    painter.setPen(QPen(QColor(255, 0, 0), 2));
    painter.drawLine(QPointF(22, 21), QPointF(30, 21));
    painter.drawLine(QPointF(26, 17), QPointF(26, 25));
    painter.end();

    return QIcon(pixmap);
}

} // namespace zorvane
