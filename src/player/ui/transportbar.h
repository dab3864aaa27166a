#pragma once

#include "player/player.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>

class QToolButton;

namespace zorvane {

class VideoDisplay;

// The player's row of transport buttons (MMControl1 in the main window).
// It drives playback with a timer and puts the player's pictures in the
// display window. The two notifications are raised only for position
// changes it makes on its own (playback and its buttons), never for moves
// others asked of the player.
class TransportBar : public QWidget, private PlayerListener {
    Q_OBJECT

public:
    enum Button { PlayButton, PauseButton, StopButton, BackButton, StepButton, FirstButton, LastButton, ButtonCount };

    explicit TransportBar(Player &player, QWidget *parent = nullptr);
    ~TransportBar() override;

    void setDisplayWindow(VideoDisplay *display);
    VideoDisplay *displayWindow() const;

    QToolButton *button(Button which) const { return m_buttons[which]; }

signals:
    // A frame was shown by playback.
    void framePlayed();
    // One of the buttons moved the position.
    void transportMoved();

private:
    void pictureChanged(RgbImage &&picture) override;
    void pictureCleared() override;
    void stateChanged(PlayerState state) override;

    void createButtons();
    void onButton(Button which);
    void pressButton(Button which);
    void scheduleNextFrame();
    void playDueFrame();
    void updateButtons();

    Player &m_player;
    QPointer<VideoDisplay> m_display;
    std::array<QToolButton *, ButtonCount> m_buttons{};
    QTimer m_playTimer;
};

} // namespace zorvane
