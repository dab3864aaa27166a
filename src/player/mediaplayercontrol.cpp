#include "mediaplayercontrol.h"

#include "videodisplay.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <exception>

namespace zorvane {
namespace {

constexpr int firstOptionId = 24;

// Wraps the decoded pixels without copying them.
QImage toImage(RgbImage &&rgb)
{
    const qsizetype rowBytes = static_cast<qsizetype>(rgb.width) * 3;
    if (rgb.width <= 0 || rgb.height <= 0
        || rgb.pixels.size() < static_cast<size_t>(rowBytes) * static_cast<size_t>(rgb.height))
        return {};
    auto *pixels = new std::vector<std::uint8_t>(std::move(rgb.pixels));
    return QImage(pixels->data(), rgb.width, rgb.height, rowBytes, QImage::Format_RGB888,
                  [](void *owned) { delete static_cast<std::vector<std::uint8_t> *>(owned); }, pixels);
}

constexpr int prefetchDepth = 4;

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
QIcon glyph(MediaPlayerControl::Button which)
{
    QPixmap pixmap(14, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    switch (which) {
    case MediaPlayerControl::PlayButton:
        painter.drawPath(triangle(3, 11, true));
        break;
    case MediaPlayerControl::PauseButton:
        painter.drawRect(QRectF(3, 2, 3, 8));
        painter.drawRect(QRectF(8, 2, 3, 8));
        break;
    case MediaPlayerControl::StopButton:
        painter.drawRect(QRectF(3, 2, 8, 8));
        break;
    case MediaPlayerControl::BackButton:
        painter.drawPath(triangle(2, 8, false));
        painter.drawRect(QRectF(9, 2, 2, 8));
        break;
    case MediaPlayerControl::StepButton:
        painter.drawRect(QRectF(3, 2, 2, 8));
        painter.drawPath(triangle(6, 12, true));
        break;
    case MediaPlayerControl::FirstButton:
        painter.drawRect(QRectF(1, 2, 2, 8));
        painter.drawPath(triangle(3, 8, false));
        painter.drawPath(triangle(8, 13, false));
        break;
    case MediaPlayerControl::LastButton:
        painter.drawPath(triangle(1, 6, true));
        painter.drawPath(triangle(6, 11, true));
        painter.drawRect(QRectF(11, 2, 2, 8));
        break;
    case MediaPlayerControl::ButtonCount:
        break;
    }
    return QIcon(pixmap);
}

const char *tooltip(MediaPlayerControl::Button which)
{
    switch (which) {
    case MediaPlayerControl::PlayButton:
        return "Lecture";
    case MediaPlayerControl::PauseButton:
        return "Pause";
    case MediaPlayerControl::StopButton:
        return "Arrêt";
    case MediaPlayerControl::BackButton:
        return "Image précédente";
    case MediaPlayerControl::StepButton:
        return "Image suivante";
    case MediaPlayerControl::FirstButton:
        return "Première image";
    case MediaPlayerControl::LastButton:
        return "Dernière image";
    case MediaPlayerControl::ButtonCount:
        break;
    }
    return "";
}

} // namespace

MediaPlayerControl::MediaPlayerControl(MediaPlayer::Opener opener, QWidget *parent)
    : QWidget(parent), m_player(std::move(opener))
{
    createButtons();
    m_playTimer.setSingleShot(true);
    m_playTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_playTimer, &QTimer::timeout, this, &MediaPlayerControl::playDueFrame);
    updateButtons();
}

void MediaPlayerControl::createButtons()
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

void MediaPlayerControl::setDeviceType(const QString &type) { m_player.setDeviceType(type.toStdString()); }

QString MediaPlayerControl::deviceType() const { return QString::fromStdString(m_player.deviceType()); }

void MediaPlayerControl::setDisplayWindow(VideoDisplay *display) { m_display = display; }

VideoDisplay *MediaPlayerControl::displayWindow() const { return m_display; }

void MediaPlayerControl::setFileName(const QString &name) { m_player.setFileName(name.toStdString()); }

QString MediaPlayerControl::fileName() const { return QString::fromStdString(m_player.fileName()); }

QString MediaPlayerControl::lastError() const { return QString::fromStdString(m_player.lastError()); }

bool MediaPlayerControl::setCommand(const QString &command)
{
    m_command = command;
    const QString name = command.toLower();
    if (name == QLatin1String("open"))
        return open();
    if (name == QLatin1String("close")) {
        close();
        return true;
    }
    if (name == QLatin1String("play"))
        return play();
    if (name == QLatin1String("step")) {
        pause();
        return moveTo(position() + 1);
    }
    if (name == QLatin1String("back")) {
        pause();
        return moveTo(position() - 1);
    }
    return false;
}

bool MediaPlayerControl::setOption(int id, bool value)
{
    const int index = id - firstOptionId;
    if (index < 0 || index >= static_cast<int>(m_options.size()))
        return false;
    m_options[static_cast<size_t>(index)] = value;
    return true;
}

bool MediaPlayerControl::option(int id) const
{
    const int index = id - firstOptionId;
    if (index < 0 || index >= static_cast<int>(m_options.size()))
        return false;
    return m_options[static_cast<size_t>(index)];
}

bool MediaPlayerControl::open()
{
    close();
    const bool opened = m_player.open();
    // A file whose first frame cannot be decoded stays open with an empty
    // display rather than showing a frame that is not frame 0.
    if (opened && length() > 0)
        showFrame(0);
    updateButtons();
    return opened;
}

void MediaPlayerControl::close()
{
    pause();
    m_player.close();
    if (m_display)
        m_display->clearFrame();
    updateButtons();
}

bool MediaPlayerControl::play()
{
    if (!m_player.isOpen())
        return false;
    if (m_playing || position() >= length() - 1)
        return true;
    m_playing = true;
    m_stats = {};
    m_playFirst = position();
    m_playTimes.clear();
    for (int frame = m_playFirst; frame < length(); ++frame)
        m_playTimes.push_back(m_player.source()->frameTimeMs(frame));
    m_prefetcher = std::make_unique<FramePrefetcher>(*m_player.source(), position() + 1, length() - 1, prefetchDepth);
    m_playStart = std::chrono::steady_clock::now();
    scheduleNextFrame();
    updateButtons();
    return true;
}

void MediaPlayerControl::pause()
{
    m_playTimer.stop();
    // Joins the decoding thread before anyone else uses the source.
    m_prefetcher.reset();
    if (!m_playing)
        return;
    m_playing = false;
    updateButtons();
}

bool MediaPlayerControl::moveTo(int frame)
{
    if (!m_player.isOpen() || frame < 0 || frame >= length())
        return false;
    if (!showFrame(frame))
        return false;
    m_player.seek(frame);
    return true;
}

bool MediaPlayerControl::showFrame(int frame)
{
    const QImage image = decodeFrame(frame);
    if (image.isNull())
        return false;
    if (m_display)
        m_display->setFrame(image);
    return true;
}

QImage MediaPlayerControl::decodeFrame(int frame)
{
    try {
        return toImage(m_player.source()->frameRgb(frame));
    } catch (const std::exception &) {
        // Out of memory for a huge frame fails the command like a broken frame.
        return {};
    }
}

double MediaPlayerControl::playTimeMs(int frame) const
{
    return m_playTimes[static_cast<size_t>(frame - m_playFirst)] - m_playTimes.front();
}

double MediaPlayerControl::msSincePlayStart() const
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - m_playStart).count();
}

void MediaPlayerControl::scheduleNextFrame()
{
    const double wait = playTimeMs(position() + 1) - msSincePlayStart();
    m_playTimer.start(std::max(0, static_cast<int>(std::ceil(wait))));
}

int MediaPlayerControl::dueFrame(double elapsedMs) const
{
    const int last = length() - 1;
    int frame = position() + 1;
    // A frame whose successor is already due is late: pass over it.
    while (frame < last && playTimeMs(frame + 1) <= elapsedMs)
        ++frame;
    return frame;
}

void MediaPlayerControl::playDueFrame()
{
    if (!m_playing || !m_prefetcher)
        return;
    const int due = dueFrame(msSincePlayStart());
    std::optional<RgbImage> decoded = m_prefetcher->take(due);
    const QImage image = decoded ? toImage(std::move(*decoded)) : QImage();
    if (image.isNull()) {
        pause();
        return;
    }
    if (m_display) {
        m_display->setFrame(image);
        // On screen now, so that the lateness below is what the user sees.
        m_display->repaint();
    }
    m_stats.skipped += due - position() - 1;
    m_stats.shown += 1;
    m_player.seek(due);
    const double lateness = msSincePlayStart() - playTimeMs(due);
    m_stats.worstLatenessMs = std::max(m_stats.worstLatenessMs, lateness);
    if (due >= length() - 1)
        pause();
    else
        scheduleNextFrame();
    emit framePlayed();
}

void MediaPlayerControl::onButton(Button which)
{
    const int before = position();
    switch (which) {
    case PlayButton:
        play();
        break;
    case PauseButton:
        pause();
        break;
    case StopButton:
        pause();
        moveTo(0);
        break;
    case BackButton:
        pause();
        moveTo(position() - 1);
        break;
    case StepButton:
        pause();
        moveTo(position() + 1);
        break;
    case FirstButton:
        pause();
        moveTo(0);
        break;
    case LastButton:
        pause();
        moveTo(length() - 1);
        break;
    case ButtonCount:
        break;
    }
    if (position() != before)
        emit transportMoved();
}

void MediaPlayerControl::updateButtons()
{
    const bool open = m_player.isOpen();
    for (int i = 0; i < ButtonCount; ++i)
        m_buttons[i]->setEnabled(open);
    m_buttons[PlayButton]->setEnabled(open && !m_playing);
    m_buttons[PauseButton]->setEnabled(open && m_playing);
}

} // namespace zorvane
