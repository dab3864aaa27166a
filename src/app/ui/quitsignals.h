#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace zorvane {

// Turns SIGTERM and SIGINT (on Windows, Ctrl+C, Ctrl+Break and the closing
// of the program's console) into a call on the interface thread, so that a
// quit asked by the system ends like "Quitter": the windows close and
// everything they hold is released. The handler itself only stops every
// decode at once and wakes the interface thread, which may be busy in one.
// One instance per process.
class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(std::function<void()> quit, QObject *parent = nullptr);
    ~QuitSignals() override;

private:
    void takeSignal();

    std::function<void()> m_quit;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace zorvane
