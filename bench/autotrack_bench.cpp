// Scores the automatic tracker on the generated corpus with known object
// positions, and times it: tracking alone per case, and zorvane-inspect
// track on a 600-frame 720p video, decoding included.
// Usage: zorvane-bench-autotrack [--no-video | --crf N] [CASE...] | --trace CASE
//        | --picture CASE FRAME FILE.ppm
#include "autotrack/autotracker.h"
#include "player/framesource.h"
#include "trackcorpus.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>

using namespace zorvane;
using namespace zorvane::testing;

namespace {

namespace fs = std::filesystem;

void printHeader()
{
    std::printf("%-20s %-9s %6s %7s %9s %7s %7s %6s %6s %9s %8s\n", "case", "size", "frames", "visible", "within3px",
                "mean", "max", "wrong", "hidden", "reacq", "cpu fr/s");
}

void printRow(const std::string &name, const std::string &size, const CaseScore &s, double fps)
{
    std::printf("%-20s %-9s %6d %7d %8.2f%% %7.3f %7.2f %6d %6d %5d/%-3d %8.0f\n", name.c_str(), size.c_str(), s.frames,
                s.visibleFrames, 100 * s.withinShare(), s.meanError, s.maxError, s.wrongClaims, s.hiddenClaims,
                s.reappearances - s.lateReacquisitions, s.reappearances, fps);
}

// The timing video at a camera's rate: 8 Mbit/s.
fs::path encodedVideo(const CorpusCase &corpus)
{
    const fs::path dir = ZORVANE_BENCH_MEDIA_DIR;
    fs::create_directories(dir);
    const fs::path video = dir / ("autotrack-" + corpus.name() + "-8M.mp4");
    encodeVideo(corpus, video.string(), "-b:v 8M -maxrate 8M -bufsize 16M");
    return video;
}

double childrenProcessorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Reads "F<TAB>X<TAB>Y<TAB>CONFIDENCE" lines; other lines make no claim.
TrackRun parseTrackOutput(FILE *output, int frames)
{
    TrackRun run(frames);
    char line[256];
    while (std::fgets(line, sizeof line, output)) {
        int frame = 0;
        double x = 0, y = 0, confidence = 0;
        if (std::sscanf(line, "%d\t%lf\t%lf\t%lf", &frame, &x, &y, &confidence) == 4 && frame > 0 && frame < frames)
            run[frame] = {TrackStep::State::Found, x, y, confidence};
    }
    return run;
}

// The whole zorvane-inspect track command on an encoded video: opening,
// decoding and tracking.
void endToEnd()
{
    const auto corpus = makeCorpusCase("orbit720");
    const fs::path video = encodedVideo(*corpus);
    using Clock = std::chrono::steady_clock;
    {
        const auto started = Clock::now();
        const std::clock_t cpuStarted = std::clock();
        // Once, in order, in grey levels (the command adds colour only for
        // an object its colour sets apart).
        auto source = openSinglePassFrameSource(video.string());
        for (int index = 0; index < source->frameCount(); ++index)
            source->frameGray(index);
        std::printf("end to end: decoding alone %.2f s (%.2f s processor time)\n",
                    std::chrono::duration<double>(Clock::now() - started).count(),
                    static_cast<double>(std::clock() - cpuStarted) / CLOCKS_PER_SEC);
    }
    const std::string command = std::string("'") + ZORVANE_INSPECT_PATH + "' track '" + video.string()
                                + "' --from 0 --at " + std::to_string(corpus->clickX()) + " "
                                + std::to_string(corpus->clickY());
    const double cpuBefore = childrenProcessorSeconds();
    const auto started = Clock::now();
    FILE *output = popen(command.c_str(), "r");
    if (!output) {
        std::printf("end to end: cannot run zorvane-inspect\n");
        return;
    }
    const TrackRun run = parseTrackOutput(output, corpus->frameCount());
    const int status = pclose(output);
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    const double cpuSeconds = childrenProcessorSeconds() - cpuBefore;
    const CaseScore score = scoreRun(*corpus, run);
    std::printf("end to end: %s, %.1f MB\n", video.filename().c_str(), fs::file_size(video) / 1e6);
    std::printf("end to end: zorvane-inspect track (exit %d) on %d frames 1280x720: %.2f s (%.2f s processor "
                "time); %.2f%% within 3 px, mean %.3f px, %d wrong claims\n",
                WEXITSTATUS(status), corpus->frameCount(), seconds, cpuSeconds, 100 * score.withinShare(),
                score.meanError, score.wrongClaims);
}

// A frame of a case as a binary PPM, to look at.
void picture(const std::string &name, int index, const std::string &path)
{
    const auto corpus = makeCorpusCase(name);
    const RgbImage image = corpus->frame(index);
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        throw std::invalid_argument("cannot write " + path);
    std::fprintf(file, "P6\n%d %d\n255\n", image.width, image.height);
    std::fwrite(image.pixels.data(), 1, image.pixels.size(), file);
    std::fclose(file);
    const TruthPoint truth = corpus->truth(index);
    std::printf("%s frame %d: truth %.2f %.2f shown %.2f\n", name.c_str(), index, truth.x, truth.y, truth.visible);
}

// A case as a user's camera gives it: its video read back as the track
// command reads it, then tracked.
TrackRun trackVideo(const CorpusCase &corpus, const std::string &video, double *fps)
{
    double cpu = 0;
    TrackRun run = runTrackerOnVideo(corpus, video, &cpu);
    if (fps)
        *fps = (corpus.frameCount() - 1) / std::max(cpu, 1e-9);
    return run;
}

// The case encoded at a low bit rate, as a cheap camera streams it.
std::string encodedAtBitRate(const CorpusCase &corpus, const std::string &rate)
{
    const fs::path dir = ZORVANE_BENCH_MEDIA_DIR;
    fs::create_directories(dir);
    const fs::path video = dir / ("autotrack-" + corpus.name() + "-" + rate + ".mp4");
    encodeVideo(corpus, video.string(), "-b:v " + rate + " -maxrate " + rate + " -bufsize " + rate);
    return video.string();
}

// One line per frame: the truth and what the tracker said, on the rendered
// frames or, given a quality, on the encoded video.
void trace(const std::string &name, std::optional<int> crf)
{
    const auto corpus = makeCorpusCase(name);
    const TrackRun run = crf ? trackVideo(*corpus, encodedAtQuality(*corpus, *crf), nullptr) : runTracker(*corpus);
    for (int index = 1; index < static_cast<int>(run.size()); ++index) {
        const TruthPoint truth = corpus->truth(index);
        const TrackStep &step = run[index];
        const char *state = step.state == TrackStep::State::Found    ? "found"
                            : step.state == TrackStep::State::Hidden ? "hidden"
                                                                     : "lost";
        std::printf("%4d truth %8.2f %8.2f shown %.2f  %-6s %8.2f %8.2f conf %.3f err %.2f\n", index, truth.x, truth.y,
                    truth.visible, state, step.x, step.y, step.confidence,
                    step.state == TrackStep::State::Found ? std::hypot(step.x - truth.x, step.y - truth.y) : 0.0);
    }
}

// Every case as a camera's file at constant quality, the way users' videos
// reach the tracker.
void scoreAllEncoded(const std::vector<std::string> &names, int crf)
{
    printHeader();
    CaseScore total;
    for (const std::string &name : names) {
        const auto corpus = makeCorpusCase(name);
        double fps = 0;
        const CaseScore score = scoreRun(*corpus, trackVideo(*corpus, encodedAtQuality(*corpus, crf), &fps));
        total.add(score);
        printRow(name, "crf" + std::to_string(crf), score, fps);
    }
    printRow("total", "", total, 0);
}

void scoreCases(const std::vector<std::string> &names, bool video)
{
    printHeader();
    CaseScore total;
    TrackTiming time720, time1080;
    int frames720 = 0, frames1080 = 0;
    for (const std::string &name : names) {
        const auto corpus = makeCorpusCase(name);
        TrackTiming timing;
        const TrackRun run = runTracker(*corpus, &timing);
        const CaseScore score = scoreRun(*corpus, run);
        total.add(score);
        const int tracked = corpus->frameCount() - 1;
        TrackTiming &sum = corpus->height() >= 1080 ? time1080 : time720;
        sum.wallSeconds += timing.wallSeconds;
        sum.cpuSeconds += timing.cpuSeconds;
        (corpus->height() >= 1080 ? frames1080 : frames720) += tracked;
        printRow(name, std::to_string(corpus->width()) + "x" + std::to_string(corpus->height()), score,
                 tracked / std::max(timing.cpuSeconds, 1e-9));
    }
    if (video) {
        // Low light under heavy compression, and a hand-held camera.
        for (const auto &[name, rate] :
             {std::pair<std::string, std::string>{"lowlight", "400k"}, {"shake-pan", "800k"}}) {
            if (!names.empty() && std::find(names.begin(), names.end(), name) == names.end())
                continue;
            double fps = 0;
            const auto corpus = makeCorpusCase(name);
            const CaseScore score = scoreRun(*corpus, trackVideo(*corpus, encodedAtBitRate(*corpus, rate), &fps));
            total.add(score);
            printRow(name + "@" + rate, "H.264", score, fps);
        }
    }
    printRow("total", "", total, 0);
    const auto printSpeed = [](const char *size, int frames, const TrackTiming &timing) {
        if (frames)
            std::printf("tracking alone at %s: %.0f frames/s of processor time, %.0f frames/s on the wall clock\n",
                        size, frames / std::max(timing.cpuSeconds, 1e-9), frames / std::max(timing.wallSeconds, 1e-9));
    };
    printSpeed("720p", frames720, time720);
    printSpeed("1080p", frames1080, time1080);
    if (video)
        endToEnd();
}

int runOrExplain(const std::function<void()> &run)
{
    try {
        run();
        return 0;
    } catch (const std::invalid_argument &error) {
        std::fprintf(stderr,
                     "%s\nusage: zorvane-bench-autotrack [--no-video | --crf N] [CASE ...] | --trace CASE\ncases:",
                     error.what());
        for (const std::string &name : corpusCaseNames())
            std::fprintf(stderr, " %s", name.c_str());
        std::fprintf(stderr, "\n");
        return 2;
    }
}

} // namespace

int main(int argc, char **argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each row as soon as its case is scored
    std::vector<std::string> names;
    bool video = true;
    std::optional<int> crf;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--no-video")
            video = false;
        else if (arg == "--crf" && i + 1 < argc)
            crf = std::atoi(argv[++i]);
        else if (arg == "--picture" && i + 3 < argc)
            return runOrExplain([&] { picture(argv[i + 1], std::atoi(argv[i + 2]), argv[i + 3]); });
        else if (arg == "--trace" && i + 1 < argc)
            return runOrExplain([&] { trace(argv[i + 1], crf); });
        else if (arg.starts_with("-"))
            return runOrExplain([&] { throw std::invalid_argument("no option " + arg); });
        else
            names.push_back(arg);
    }
    if (names.empty())
        names = corpusCaseNames();
    if (crf)
        return runOrExplain([&] { scoreAllEncoded(names, *crf); });
    return runOrExplain([&] { scoreCases(names, video); });
}
