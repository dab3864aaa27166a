#include "player/ui/transportbar.h"

#include "player/ui/videodisplay.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

#include <cmath>

namespace zorvane {
namespace {

// Wraps the decoded pixels without copying them.
QImage toImage(RgbImage &&rgb)
{
    const qsizetype rowBytes = static_cast<qsizetype>(rgb.width) * 3;
    if (rgb.width <= 0 || rgb.height <= 0
        || rgb.pixels.size() < static_cast<size_t>(rowBytes) * static_cast<size_t>(rgb.height))
        return {};
    auto *pixels = new std::vector<std::uint8_t>(std::move(rgb.pixels));
    return QImage(
        pixels->data(), rgb.width, rgb.height, rowBytes, QImage::Format_RGB888,
        [](void *owned) { delete static_cast<std::vector<std::uint8_t> *>(owned); }, pixels);
}

QPainterPath triangle(qreal left, qreal right, bool pointingRight)
{
    const qreal tip = pointingRight ? right : left;
    const qreal base = pointingRight ? left : right;
    QPainterPath path;
    path.moveTo(base, 2);
    path.lineTo(tip, 6);
    path.lineTo(base, 10);
    path.closeSubpath();
    return path;
}

// Glyphs drawn here rather than taken from the style, so they read the
// same on every platform.
QIcon glyph(TransportBar::Button which)
{
    QPixmap pixmap(14, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    switch (which) {
    case TransportBar::PlayButton: painter.drawPath(triangle(3, 11, true)); break;
    case TransportBar::PauseButton:
        painter.drawRect(QRectF(3, 2, 3, 8));
        painter.drawRect(QRectF(8, 2, 3, 8));
        break;
    case TransportBar::StopButton: painter.drawRect(QRectF(3, 2, 8, 8)); break;
    case TransportBar::BackButton:
        painter.drawPath(triangle(2, 8, false));
        painter.drawRect(QRectF(9, 2, 2, 8));
        break;
    case TransportBar::StepButton:
        painter.drawRect(QRectF(3, 2, 2, 8));
        painter.drawPath(triangle(6, 12, true));
        break;
    case TransportBar::FirstButton:
        painter.drawRect(QRectF(1, 2, 2, 8));
        painter.drawPath(triangle(3, 8, false));
        painter.drawPath(triangle(8, 13, false));
        break;
    case TransportBar::LastButton:
        painter.drawPath(triangle(1, 6, true));
        painter.drawPath(triangle(6, 11, true));
        painter.drawRect(QRectF(11, 2, 2, 8));
        break;
    case TransportBar::ButtonCount: break;
    }
    return QIcon(pixmap);
}

const char *tooltip(TransportBar::Button which)
{
    switch (which) {
    case TransportBar::PlayButton: return "Lecture";
    case TransportBar::PauseButton: return "Pause";
    case TransportBar::StopButton: return "Arrêt";
    case TransportBar::BackButton: return "Image précédente";
    case TransportBar::StepButton: return "Image suivante";
    case TransportBar::FirstButton: return "Première image";
    case TransportBar::LastButton: return "Dernière image";
    case TransportBar::ButtonCount: break;
    }
    return "";
}

} // namespace

TransportBar::TransportBar(Player &player, QWidget *parent) : QWidget(parent), m_player(player)
{
    createButtons();
    m_playTimer.setSingleShot(true);
    m_playTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_playTimer, &QTimer::timeout, this, &TransportBar::playDueFrame);
    m_player.setListener(this);
    updateButtons();
}

TransportBar::~TransportBar()
{
    m_player.setListener(nullptr);
    m_player.pause();
}

void TransportBar::createButtons()
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (int i = 0; i < ButtonCount; ++i) {
        const auto which = static_cast<Button>(i);
        auto *button = new QToolButton(this);
        button->setIcon(glyph(which));
        button->setIconSize(QSize(14, 12));
        button->setToolTip(QString::fromUtf8(tooltip(which)));
        button->setAutoRaise(false);
        button->setFocusPolicy(Qt::NoFocus);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        button->setMinimumSize(1, 1);
        connect(button, &QToolButton::clicked, this, [this, which] { onButton(which); });
        row->addWidget(button);
        m_buttons[i] = button;
    }
}

void TransportBar::setDisplayWindow(VideoDisplay *display) { m_display = display; }

VideoDisplay *TransportBar::displayWindow() const { return m_display; }

void TransportBar::pictureChanged(RgbImage &&picture)
{
    if (!m_display)
        return;
    m_display->setFrame(toImage(std::move(picture)));
    // During playback the frame goes on screen now, so that the lateness
    // the player measures is what the user sees.
    if (m_player.isPlaying())
        m_display->repaint();
}

void TransportBar::pictureCleared()
{
    if (m_display)
        m_display->clearFrame();
}

void TransportBar::stateChanged(PlayerState state)
{
    if (state == PlayerState::Playing)
        scheduleNextFrame();
    else
        m_playTimer.stop();
    updateButtons();
}

void TransportBar::scheduleNextFrame() { m_playTimer.start(static_cast<int>(std::ceil(m_player.msUntilNextFrame()))); }

void TransportBar::playDueFrame()
{
    if (!m_player.playDueFrame())
        return;
    if (m_player.isPlaying())
        scheduleNextFrame();
    emit framePlayed();
}

void TransportBar::onButton(Button which)
{
    const int before = m_player.position();
    pressButton(which);
    if (m_player.position() != before)
        emit transportMoved();
}

void TransportBar::pressButton(Button which)
{
    switch (which) {
    case PlayButton: m_player.play(); break;
    case PauseButton: m_player.pause(); break;
    case StopButton: m_player.stop(); break;
    case BackButton: m_player.back(); break;
    case StepButton: m_player.step(); break;
    case FirstButton: m_player.first(); break;
    case LastButton: m_player.last(); break;
    case ButtonCount: break;
    }
}

void TransportBar::updateButtons()
{
    const bool open = m_player.isOpen();
    for (int i = 0; i < ButtonCount; ++i)
        m_buttons[i]->setEnabled(open);
    m_buttons[PlayButton]->setEnabled(open && !m_player.isPlaying());
    m_buttons[PauseButton]->setEnabled(open && m_player.isPlaying());
}

} // namespace zorvane
