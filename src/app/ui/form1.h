#pragma once

#include "journal/journalformat.h"
#include "player/player.h"
#include "player/ui/videodisplay.h"
#include "probe/displayedsize.h"
#include "probe/videoinfo.h"
#include "track/pointset.h"
#include "track/pointtrack.h"

#include <QMainWindow>
#include <QSettings>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QAction;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPainter;
class QTimer;

namespace zorvane {

class CommonDialog;
class HelpWindow;
class MeasureController;
class ProgressBar;
class TrackJournal;
class TransportBar;
class WindowPlaces;

// The main window. Its client area is the central widget, below the menu
// bar; every control sits there at a fixed pixel position, and only the
// video area Picture1 follows the window's size.
class Form1 : public QMainWindow {
    Q_OBJECT

public:
    explicit Form1(Player::Opener opener, QWidget *parent = nullptr);
    ~Form1() override;

    // Colours are 0x00BBGGRR: red in the lowest byte.
    std::uint32_t progressColorA() const { return m_progressColorA; }
    std::uint32_t progressColorB() const { return m_progressColorB; }

    const PointTrack &pointTrack() const { return m_pointTrack; }
    // The points followed beside A, and the one the left button records
    // (0 for A); automatic tracking follows it too.
    const PointSet &otherPoints() const { return m_otherPoints; }
    int activePoint() const { return m_activePoint; }
    const PointTrack &activeTrack() const;
    // A for 0, then the others; throws TrackError (OutOfRange) for a point that does not exist.
    const PointTrack &trackOf(int index) const;
    // False when there is no such point.
    bool chooseActivePoint(int index);
    // Adds the next point and makes it the active one; false when all eight exist.
    bool addPoint();
    // The player behind MMControl1 and Picture1.
    Player &player() { return m_player; }
    const VideoInfo &videoInfo() const { return m_videoInfo; }

    // Replaces the shared file dialog; the window takes ownership.
    void setCommonDialog(CommonDialog *dialog);

    // Shows a French message to the user; a message box unless replaced.
    using MessageDisplay = std::function<void(const QString &text)>;
    void setMessageDisplay(MessageDisplay display) { m_showMessage = std::move(display); }

    // Journals the track into this folder from the next video on, so that
    // a crash loses no point; without a folder nothing is journaled.
    void setJournalFolder(const std::filesystem::path &folder);
    // Keeps this window's size and place, and the table window's, in this
    // settings file (of this format): restored now, saved when they close.
    void keepWindowPlacesIn(const QString &settingsFile, QSettings::Format format = QSettings::IniFormat);
    // Asks whether to restore a video's unsaved points; true for "Oui". A
    // question box unless replaced.
    using RestoreQuestion = std::function<bool(const QString &text)>;
    void setRestoreQuestion(RestoreQuestion ask) { m_askRestore = std::move(ask); }

    // Points set by automatic tracking on point `pointIndex` (0 for A), in
    // the order they were set: journaled, stored, then shown. False,
    // changing nothing, when a frame lies outside the track or the point
    // does not exist.
    bool storeTrackedPoints(const std::vector<FramePoint> &points, int pointIndex = 0);
    // Undoing such a batch: the points it replaced, put back the same way.
    bool undoTrackedPoints(const std::vector<FramePoint> &previous, int pointIndex = 0);

    // Shown in the title instead of the frame count until replaced; empty
    // goes back to the frame count.
    void showTitleNote(const QString &note);
    // A picture of `frame` decoded elsewhere (by an automatic-tracking run),
    // shown with that frame's cross, title and progress until
    // showPlayerFrame(); the player does not move.
    void showFramePicture(int frame, const QImage &picture);
    // Back to the frame of the player, whose next move shows its picture.
    void showPlayerFrame();

    // Opens the video as "Ouvir Video" does once its dialog gave the path.
    void openVideo(const QString &path);
    // Loads a sequence file as "Ouvrir sequence" does once its dialog gave the path.
    void loadSequenceFile(const QString &path);

    // The "Mesures" menu, where commands beyond the first three menus go.
    QMenu *measuresMenu() const { return m_mesures; }
    // Paints on the video, in the frame's coordinates, under the current
    // frame's cross.
    void addOverlay(VideoDisplay::Overlay overlay);
    // Consulted first on a left click on the video: true takes the click,
    // which then records no point.
    using ClickInterceptor = std::function<bool(float x, float y)>;
    void setClickInterceptor(ClickInterceptor interceptor) { m_clickInterceptor = std::move(interceptor); }

signals:
    // After a click, a loaded sequence or an opened video changed the track,
    // or another point became the active one.
    void trackChanged();

public slots:
    // Redraws the video area, and on it what belongs to the current frame.
    void Ref();
    // The click logic of the video area; Picture1 forwards its mouse-up here.
    void Picture2_MouseUp(zorvane::MouseButton button, int shift, float x, float y);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // A file dropped on the window opens as from the File menu.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void createControls();
    void createMenus();
    void Form_Load();
    void setProgressColors();
    void Form_Resize();
    void Timer1_Timer();
    void ov_Click();
    std::optional<DisplayedSize> displayedSize() const;
    void updateStepField();
    void os_Click();
    void es_Click();
    void Aide_Click();
    void apropo_Click();

    // What the mouse buttons and the arrow keys do on the video.
    void stepForward();
    void stepBack();
    void recordPoint(float x, float y);
    bool isOnPicture(float x, float y) const;
    void noteClickOffPicture();
    void showLastRestoredPoint();
    QRect pictureOnScreen() const;
    bool showTrackChange(const std::function<void()> &change);

    void drawOverlays(QPainter &painter) const;
    void drawMarker(QPainter &painter) const;
    int shownFrame() const;
    void drawCross(QPainter &painter, TrackPoint point, const QColor &colour) const;
    void createPointMenu();
    void updatePointMenu();
    PointTrack &trackForChange(int index);
    bool loadCompanionOf(const std::filesystem::path &sequence, std::optional<PointSet> &others);
    bool saveCompanionOf(const std::filesystem::path &sequence);

    Player m_player;
    QWidget *m_client = nullptr;
    TransportBar *m_mmControl1 = nullptr;
    QLabel *m_label3 = nullptr;
    QLineEdit *m_text1 = nullptr;
    ProgressBar *m_picProgress = nullptr;
    VideoDisplay *m_picture1 = nullptr;
    VideoDisplay *m_picture2 = nullptr;
    QTimer *m_timer1 = nullptr;
    CommonDialog *m_commonDialog1 = nullptr;

    QMenu *m_f = nullptr;
    QAction *m_ov = nullptr;
    QAction *m_os = nullptr;
    QAction *m_es = nullptr;
    QAction *m_quit = nullptr;
    QAction *m_aide = nullptr;
    QAction *m_apropo = nullptr;
    QMenu *m_mesures = nullptr;
    std::vector<VideoDisplay::Overlay> m_overlays;
    ClickInterceptor m_clickInterceptor;
    MeasureController *m_measures = nullptr;

    std::uint32_t m_progressColorA = 0;
    std::uint32_t m_progressColorB = 0;
    PointTrack m_pointTrack;
    PointSet m_otherPoints;
    int m_activePoint = 0;
    QMenu *m_pointMenu = nullptr;
    VideoInfo m_videoInfo;
    std::unique_ptr<HelpWindow> m_helpWindow;
    MessageDisplay m_showMessage;
    RestoreQuestion m_askRestore;
    std::unique_ptr<TrackJournal> m_trackJournal;
    QString m_titleNote;
    std::optional<int> m_pictureFrame;
    // Until the user types a step, each video's own frame interval goes in.
    bool m_stepTyped = false;
    WindowPlaces *m_windowPlaces = nullptr;
};

} // namespace zorvane
