// Plays a 1920x1080 H.264 video of 30 frames/s for 10 s through the player
// transport bar, offscreen, and prints what playback showed and skipped.
// Usage: zorvane-bench-playback [VIDEO]
#include "player/framesource.h"
#include "player/player.h"
#include "player/ui/transportbar.h"
#include "player/ui/videodisplay.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QProcess>

#include <cstdio>

namespace {

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

QString benchVideo()
{
    QDir dir(QStringLiteral(ZORVANE_BENCH_MEDIA_DIR));
    dir.mkpath(QStringLiteral("."));
    const QString path = dir.filePath(QStringLiteral("playback-1080p30-10s.mp4"));
    if (QFileInfo::exists(path))
        return path;
    const QString partial = path + QStringLiteral(".partial.mp4");
    const QStringList args{"-nostdin", "-y",      "-loglevel", "error",
                           "-f",       "lavfi",   "-i",        "testsrc2=size=1920x1080:rate=30:duration=10",
                           "-c:v",     "libx264", "-preset",   "veryfast",
                           "-pix_fmt", "yuv420p", partial};
    std::printf("making %s with ffmpeg...\n", qPrintable(path));
    if (QProcess::execute(QStringLiteral("ffmpeg"), args) != 0)
        return {};
    QFile::rename(partial, path);
    return path;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : benchVideo();
    if (path.isEmpty()) {
        std::fprintf(stderr, "no video to play\n");
        return 1;
    }

    zorvane::VideoDisplay display;
    display.resize(1280, 720);
    display.show();
    PaintCounter counter;
    display.installEventFilter(&counter);
    zorvane::Player player(&zorvane::openFrameSource);
    zorvane::TransportBar bar(player);
    bar.setDisplayWindow(&display);
    if (!player.open(path.toStdString())) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(path), player.lastError().c_str());
        return 1;
    }
    QApplication::processEvents();
    const int paintsBefore = counter.paints;

    QElapsedTimer clock;
    clock.start();
    QObject::connect(&bar, &zorvane::TransportBar::framePlayed, [&] {
        if (!player.isPlaying())
            QApplication::quit();
    });
    player.play();
    if (player.isPlaying())
        app.exec();
    const double wallMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;

    const zorvane::PlaybackStats &stats = player.playbackStats();
    const int advanced = stats.shown + stats.skipped;
    std::printf("video: %s, %d frames\n", qPrintable(path), player.length());
    std::printf("played in %.0f ms (nominal %.0f ms)\n", wallMs, advanced * 1000.0 / 30.0);
    std::printf("frames shown: %d\n", stats.shown);
    std::printf("frames skipped: %d (%.2f per 100)\n", stats.skipped,
                advanced > 0 ? 100.0 * stats.skipped / advanced : 0.0);
    std::printf("worst lateness: %.1f ms\n", stats.worstLatenessMs);
    std::printf("display paints during playback: %d\n", counter.paints - paintsBefore);
    return 0;
}
