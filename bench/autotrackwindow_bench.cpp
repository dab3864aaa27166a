// Times one automatic-tracking run through the window against the same run
// through zorvane-inspect track, on a 600-frame 720p H.264 video at
// 8 Mbit/s: the window is driven offscreen as a user would (click, "Suivi
// automatique", wait for the end), its points journaled on the disk.
// Usage: QT_QPA_PLATFORM=offscreen zorvane-bench-autotrack-window [RUNS]
#include "app/ui/autotrackcommands.h"
#include "app/ui/form1.h"
#include "trackcorpus.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

using namespace zorvane;
using namespace zorvane::testing;

namespace {

namespace fs = std::filesystem;

struct Timing {
    double seconds = 0;
    double cpuSeconds = 0;
};

double processorSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The command's points, rounded as the window stores them.
Timing timeCommand(const fs::path &video, const CorpusCase &corpus, std::map<int, TrackPoint> *points)
{
    const std::string command = std::string("'") + ZORVANE_INSPECT_PATH + "' track '" + video.string()
                                + "' --from 0 --at " + std::to_string(corpus.clickX()) + " "
                                + std::to_string(corpus.clickY());
    const double cpuBefore = processorSeconds(RUSAGE_CHILDREN);
    const auto started = std::chrono::steady_clock::now();
    FILE *output = popen(command.c_str(), "r");
    if (!output)
        return {};
    char line[256];
    points->clear();
    while (std::fgets(line, sizeof line, output)) {
        int frame = 0;
        double x = 0, y = 0, confidence = 0;
        if (std::sscanf(line, "%d\t%lf\t%lf\t%lf", &frame, &x, &y, &confidence) == 4)
            (*points)[frame] = TrackPoint{int(std::nearbyint(x)), int(std::nearbyint(y))};
    }
    pclose(output);
    return {secondsSince(started), processorSeconds(RUSAGE_CHILDREN) - cpuBefore};
}

// From the click on frame 0 to the end of the run, the player showing the
// last frame.
Timing timeWindow(const fs::path &video, const CorpusCase &corpus, const fs::path &journal,
                  std::map<int, TrackPoint> *points)
{
    Form1 form(&openFrameSource);
    form.setJournalFolder(journal);
    form.setRestoreQuestion([](const QString &) { return false; });
    form.resize(1300, 820);
    form.show();
    form.openVideo(QString::fromStdString(video.string()));
    form.player().seek(0);
    auto *commands = form.findChild<AutoTrackCommands *>();
    auto *start = form.findChild<QAction *>(QStringLiteral("suiviAuto"));
    if (!commands || !start)
        return {};
    form.Picture2_MouseUp(MouseButton::Left, 0, float(corpus.clickX()), float(corpus.clickY()));
    QCoreApplication::processEvents();

    const double cpuBefore = processorSeconds(RUSAGE_SELF);
    const auto started = std::chrono::steady_clock::now();
    QEventLoop untilEnd;
    QObject::connect(commands, &AutoTrackCommands::runEnded, &untilEnd, &QEventLoop::quit);
    start->trigger();
    if (commands->isRunning())
        untilEnd.exec();
    const Timing timing{secondsSince(started), processorSeconds(RUSAGE_SELF) - cpuBefore};
    points->clear();
    for (int frame = 1; frame < form.player().length(); ++frame)
        if (!form.pointTrack().at(frame).isEmpty())
            (*points)[frame] = form.pointTrack().at(frame);
    std::printf("window: ended on frame %d of %d\n", form.player().position(), form.player().length());
    return timing;
}

int sameRoundedPoints(const std::map<int, TrackPoint> &a, const std::map<int, TrackPoint> &b)
{
    int same = 0;
    for (const auto &[frame, point] : a) {
        const auto other = b.find(frame);
        same +=
            other != b.end() && std::abs(other->second.X - point.X) <= 1 && std::abs(other->second.Y - point.Y) <= 1;
    }
    return same;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const auto corpus = makeCorpusCase("orbit720");
    const fs::path dir = ZORVANE_BENCH_MEDIA_DIR;
    fs::create_directories(dir);
    const fs::path video = dir / ("autotrack-" + corpus->name() + "-8M.mp4");
    encodeVideo(*corpus, video.string(), "-b:v 8M -maxrate 8M -bufsize 16M");
    const fs::path journal = dir / ("window-bench-journal-" + std::to_string(getpid()));

    std::vector<double> command, window;
    std::map<int, TrackPoint> commandPoints, windowPoints;
    for (int run = 0; run < runs; ++run) {
        const Timing c = timeCommand(video, *corpus, &commandPoints);
        const Timing w = timeWindow(video, *corpus, journal, &windowPoints);
        fs::remove_all(journal);
        std::printf("run %d: command %.2f s (%.2f s processor), window %.2f s (%.2f s processor)\n", run + 1, c.seconds,
                    c.cpuSeconds, w.seconds, w.cpuSeconds);
        command.push_back(c.seconds);
        window.push_back(w.seconds);
    }
    std::sort(command.begin(), command.end());
    std::sort(window.begin(), window.end());
    const double commandMedian = command[command.size() / 2];
    const double windowMedian = window[window.size() / 2];
    std::printf("points: command %zu, window %zu, the same within a pixel %d\n", commandPoints.size(),
                windowPoints.size(), sameRoundedPoints(commandPoints, windowPoints));
    std::printf("targets: window at most 1.5x the command: %s; window at most 6 s: %s\n",
                windowMedian <= 1.5 * commandMedian ? "met" : "NOT met", windowMedian <= 6.0 ? "met" : "NOT met");
    std::printf("bench_autotrack_window: frames=%d command_s=%.2f window_s=%.2f ratio=%.2f\n", corpus->frameCount(),
                commandMedian, windowMedian, windowMedian / commandMedian);
    return 0;
}
