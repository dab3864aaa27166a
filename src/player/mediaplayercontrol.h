#pragma once

#include "frameprefetcher.h"
#include "mediaplayer.h"

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <array>
#include <chrono>
#include <memory>
#include <vector>

class QToolButton;

namespace zorvane {

class VideoDisplay;

// What one run of "Play" did, for the benchmark and the tests.
struct PlaybackStats {
    int shown = 0;
    int skipped = 0;
    double worstLatenessMs = 0.0;
};

// The media player control of the main window: a row of transport buttons
// and a command interface ("Open", "Close", "Play", "step", "back") over
// MediaPlayer. Frames go to the display window. The two notifications are
// raised only for position changes the control makes on its own (playback
// and its buttons), never for commands it was sent.
class MediaPlayerControl : public QWidget {
    Q_OBJECT

public:
    enum Button { PlayButton, PauseButton, StopButton, BackButton, StepButton, FirstButton, LastButton, ButtonCount };

    explicit MediaPlayerControl(MediaPlayer::Opener opener, QWidget *parent = nullptr);

    void setDeviceType(const QString &type);
    QString deviceType() const;
    void setDisplayWindow(VideoDisplay *display);
    VideoDisplay *displayWindow() const;
    void setFileName(const QString &name);
    QString fileName() const;

    // Carries out a command; false when it cannot, with the player unchanged.
    bool setCommand(const QString &command);
    QString command() const { return m_command; }

    // Options 24, 25 and 26 are accepted and change nothing; others are refused.
    bool setOption(int id, bool value);
    bool option(int id) const;

    int position() const { return m_player.position(); }
    int length() const { return m_player.length(); }
    // "0 0 W H" for the open video, empty without one.
    std::string whereDestination() const { return m_player.whereDestination(); }
    bool isPlaying() const { return m_playing; }
    QString lastError() const;
    const PlaybackStats &playbackStats() const { return m_stats; }

    QToolButton *button(Button which) const { return m_buttons[which]; }

signals:
    // A frame was shown by playback.
    void framePlayed();
    // One of the transport buttons moved the position or ended playback.
    void transportMoved();

private:
    bool open();
    void close();
    bool play();
    void pause();
    bool moveTo(int frame);
    bool showFrame(int frame);
    QImage decodeFrame(int frame);
    void scheduleNextFrame();
    void playDueFrame();
    int dueFrame(double elapsedMs) const;
    double msSincePlayStart() const;
    double playTimeMs(int frame) const;
    void onButton(Button which);
    void updateButtons();
    void createButtons();

    MediaPlayer m_player;
    QPointer<VideoDisplay> m_display;
    QString m_command;
    std::array<bool, 3> m_options{};
    std::array<QToolButton *, ButtonCount> m_buttons{};

    QTimer m_playTimer;
    bool m_playing = false;
    std::chrono::steady_clock::time_point m_playStart;
    PlaybackStats m_stats;
    // Presentation times of the frames from the start of playback on, read
    // once so that playback does not query the source while it decodes.
    std::vector<double> m_playTimes;
    int m_playFirst = 0;
    std::unique_ptr<FramePrefetcher> m_prefetcher;
};

} // namespace zorvane
