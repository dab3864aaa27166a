#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QKeyEvent;
class QWidget;

namespace zorvane {

class VideoDisplay;

// The keys of the video, taken in the whole window wherever the focus is:
// the arrows step, the zoom keys zoom. Only while the user types in a text
// field do the arrows stay with the field; Return, Enter or Escape there,
// or leaving it, gives them back.
class VideoKeys : public QObject {
    Q_OBJECT

public:
    struct Actions {
        std::function<bool()> videoOpen;
        std::function<void()> stepForward;
        std::function<void()> stepBack;
    };

    // Watches the application's events; the window and display outlive it.
    VideoKeys(QWidget &window, VideoDisplay &display, Actions actions, QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool takeKey(const QKeyEvent &key);
    void followTyping(QWidget *receiver, const QKeyEvent &key);
    bool isInWindow(const QWidget *widget) const;

    QWidget &m_window;
    VideoDisplay &m_display;
    Actions m_actions;
    QPointer<QWidget> m_typingIn;
};

} // namespace zorvane
