#pragma once

#include "progress/blendcolor.h"

#include <QImage>
#include <QWidget>

namespace zorvane {

// The thin gradient bar above the video (PicProgress). Each refresh paints the
// passes into an image that paintEvent only copies, so a repaint between two
// refreshes shows the same bar.
class ProgressBar : public QWidget {
    Q_OBJECT

public:
    explicit ProgressBar(QWidget *parent = nullptr);

    void setColors(Color colorA, Color colorB);
    void refresh(int position, int length);

    QImage image() const { return m_image; }
    static QColor backgroundColor() { return QColor(64, 64, 64); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QImage m_image;
    Color m_colorA = kProgressColorA;
    Color m_colorB = kProgressColorB;
};

} // namespace zorvane
