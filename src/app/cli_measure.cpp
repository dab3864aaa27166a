#include "app/cli_commands.h"

#include "measure/measureerror.h"
#include "measure/measureexport.h"
#include "measure/sidecar.h"
#include "player/framereader.h"
#include "track/sequencefile.h"

#include <iostream>
#include <memory>
#include <optional>

namespace zorvane::inspect {
namespace {

namespace fs = std::filesystem;

constexpr const char *kUsage = "usage: zorvane-inspect measure SEQUENCE [--calibration FILE] [--video VIDEO]";

struct MeasureArgs {
    fs::path sequence;
    fs::path calibration;
    fs::path video;
};

std::optional<MeasureArgs> parseArgs(const std::vector<std::string> &args)
{
    MeasureArgs parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        fs::path *option = args[i] == "--calibration" ? &parsed.calibration
                           : args[i] == "--video"     ? &parsed.video
                                                      : nullptr;
        if (option && i + 1 < args.size() && option->empty())
            *option = args[++i];
        else if (!option && parsed.sequence.empty() && !args[i].starts_with("--"))
            parsed.sequence = args[i];
        else
            return std::nullopt;
    }
    if (parsed.sequence.empty())
        return std::nullopt;
    return parsed;
}

// The video the settings were made on: the one given, else a file of its
// recorded name beside the sequence. Only opened when its frame times are
// needed or a video was named to check against.
std::unique_ptr<FrameReader> openVideo(const MeasureArgs &args, const MeasureSettings &settings,
                                       const fs::path &calibration)
{
    fs::path video = args.video;
    if (video.empty()) {
        if (settings.time.source != TimeSource::VideoFrameTimes)
            return nullptr;
        video = args.sequence.parent_path() / settings.video.fileName;
    }
    auto reader = std::make_unique<FrameReader>(video.string());
    checkSameVideo(settings, identifyVideo(video, reader->frameCount()), calibration);
    return reader;
}

} // namespace

// Prints the table the export would write, with a dot as decimal separator.
int runMeasure(const std::vector<std::string> &args)
{
    const std::optional<MeasureArgs> parsed = parseArgs(args);
    if (!parsed) {
        std::cerr << kUsage << "\n";
        return 1;
    }
    const fs::path calibration = parsed->calibration.empty() ? sidecarPath(parsed->sequence) : parsed->calibration;
    try {
        PointTrack track;
        loadSequence(parsed->sequence, track);
        const std::optional<MeasureSettings> settings = readSidecar(calibration);
        if (!settings) {
            std::cerr << calibration.string() << ": no calibration file\n";
            return 1;
        }
        const std::unique_ptr<FrameReader> video = openVideo(*parsed, *settings, calibration);
        const MeasureTable table = measureTrack(track, settings->calibration, clockFor(settings->time, video.get()));
        std::cout << csvText(table, NumberFormat{});
        if (table.pointsWithoutTime > 0)
            std::cerr << table.pointsWithoutTime << " point(s) past the video's last frame left out\n";
        return 0;
    } catch (const std::exception &error) {
        // SequenceError, MeasureError and ReaderError carry the file's name.
        std::cerr << error.what() << "\n";
        return 1;
    }
}

} // namespace zorvane::inspect
