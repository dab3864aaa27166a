#pragma once

#include "app/autotrackruns.h"
#include "app/backgroundtracking.h"
#include "app/ui/form1.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>
#include <string>

class QAction;

namespace zorvane {

// "Suivi automatique" and "Annuler le suivi" in the main window's Mesures
// menu. A run tracks on a thread of its own through the engine the command
// line uses, reading the video with a reader of its own: the player and its
// reader stay the interface thread's alone, and the player does not move
// until the run ends. The points found are posted to the window, which
// writes them through the journal and shows, a few times a second, the
// frame the run has reached, with its cross, scrolled to keep the object in
// sight. Menus work during a run; a click or a key elsewhere in the window
// stops it (Escape and a click on the video do nothing else), and the
// player then shows the last frame whose point was written. Where a run
// stopped by itself stays in the title until the user's next click or key
// in the window. Runs follow the active point; undoing a run changes the
// point it followed, even when another is active by then.
class AutoTrackCommands : public QObject {
    Q_OBJECT

public:
    AutoTrackCommands(Form1 &form, Form1::MessageDisplay showMessage);
    ~AutoTrackCommands() override;

    bool isRunning() const { return m_runs.isRunning(); }
    // How runs open the video; a single-pass reader unless replaced.
    void setOpener(BackgroundTracking::Opener opener) { m_opener = std::move(opener); }

signals:
    // A run is over, whatever ended it.
    void runEnded();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void startRun();
    void undoRun();
    void takeSoon();
    void takeFound();
    void showPicture(TrackedFrame &frame);
    void keepInView(TrackPoint point);
    void askPicture();
    bool isSameVideo();
    void endRun(const RunStep &step);
    void failStart(RunStartError error);
    void dropRun();
    void stopRun();
    void showNote(const QString &note);
    void clearNote();
    void updateActions();
    bool hasRunPoint() const;
    const PointTrack &runTrack() const;
    void updateWatch();
    bool stopsRun(QObject *watched, QEvent *event);
    bool isInWindow(QObject *object) const;
    bool isOnVideo(QObject *object) const;

    Form1 &m_form;
    Form1::MessageDisplay m_showMessage;
    BackgroundTracking::Opener m_opener;
    // The point the runs follow (0 for A), set when one starts.
    int m_runPoint = 0;
    AutoTrackRuns m_runs;
    std::unique_ptr<BackgroundTracking> m_tracking;
    std::string m_runVideo;
    int m_runLength = 0;
    QElapsedTimer m_sincePictureAsked;
    QTimer m_takeTimer;
    QAction *m_start = nullptr;
    QAction *m_undo = nullptr;
    bool m_noteShown = false;
    // The release of the click on the video that stopped a run.
    bool m_swallowRelease = false;
    bool m_watching = false;
};

} // namespace zorvane
