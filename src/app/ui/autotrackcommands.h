#pragma once

#include "app/autotrackruns.h"
#include "app/ui/form1.h"

#include <QObject>
#include <QTimer>

class QAction;

namespace zorvane {

// "Suivi automatique" and "Annuler le suivi" in the main window's Mesures
// menu. A run shows one frame per turn of the event loop, so the window
// stays live; a click or a key in the window stops it (Escape and a click
// on the video do nothing else). Where a run stopped by itself stays in
// the title until the user's next click or key in the window.
class AutoTrackCommands : public QObject {
    Q_OBJECT

public:
    AutoTrackCommands(Form1 &form, Form1::MessageDisplay showMessage);
    ~AutoTrackCommands() override;

    bool isRunning() const { return m_runs.isRunning(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void startRun();
    void undoRun();
    void runNextFrame();
    void endRun(const RunStep &step);
    void stopRun();
    void showNote(const QString &note);
    void clearNote();
    void updateActions();
    void updateWatch();
    bool stopsRun(QObject *watched, QEvent *event);
    bool isInWindow(QObject *object) const;
    bool isOnVideo(QObject *object) const;

    Form1 &m_form;
    Form1::MessageDisplay m_showMessage;
    AutoTrackRuns m_runs;
    QAction *m_start = nullptr;
    QAction *m_undo = nullptr;
    QTimer m_nextFrame;
    bool m_noteShown = false;
    // The release of the click on the video that stopped a run.
    bool m_swallowRelease = false;
    bool m_watching = false;
};

} // namespace zorvane
