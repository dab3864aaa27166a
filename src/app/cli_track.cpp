#include "cli_commands.h"

#include "app/trackingengine.h"
#include "player/framesource.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <optional>

namespace zorvane::inspect {
namespace {

constexpr const char *kUsage = "usage: zorvane-inspect track FILE --from N --at X Y [--to M]";

struct TrackArgs {
    std::string file;
    int from = -1;
    int to = -1;
    double x = NAN;
    double y = NAN;
};

template <typename Number>
bool parseNumber(const std::string &text, Number *value)
{
    const char *end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, *value);
    return error == std::errc() && stop == end;
}

std::optional<TrackArgs> parseArgs(const std::vector<std::string> &args)
{
    TrackArgs parsed;
    bool haveFrom = false, haveAt = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        const std::size_t left = args.size() - i - 1;
        if (arg == "--from" && left >= 1) {
            haveFrom = parseNumber(args[++i], &parsed.from);
            if (!haveFrom)
                return std::nullopt;
        } else if (arg == "--to" && left >= 1) {
            if (!parseNumber(args[++i], &parsed.to))
                return std::nullopt;
        } else if (arg == "--at" && left >= 2) {
            haveAt = parseNumber(args[i + 1], &parsed.x) && parseNumber(args[i + 2], &parsed.y);
            if (!haveAt)
                return std::nullopt;
            i += 2;
        } else if (parsed.file.empty() && !arg.starts_with("--")) {
            parsed.file = arg;
        } else {
            return std::nullopt;
        }
    }
    if (parsed.file.empty() || !haveFrom || !haveAt)
        return std::nullopt;
    return parsed;
}

int failure(const std::string &message)
{
    std::cerr << message << "\n";
    return 1;
}

std::string pointText(double x, double y)
{
    char text[64];
    std::snprintf(text, sizeof text, "(%g, %g)", x, y);
    return text;
}

void printStep(int frame, const TrackStep &step)
{
    if (step.state == TrackStep::State::Found)
        std::printf("%d\t%.2f\t%.2f\t%.2f\n", frame, step.x, step.y, step.confidence);
    else if (step.state == TrackStep::State::Hidden)
        std::printf("hidden\t%d\n", frame);
    else
        std::printf("lost\t%d\n", frame);
}

} // namespace

int runTrack(const std::vector<std::string> &args)
{
    const std::optional<TrackArgs> parsed = parseArgs(args);
    if (!parsed)
        return failure(kUsage);
    const TrackArgs &a = *parsed;
    try {
        const std::unique_ptr<FrameSource> source = openSinglePassFrameSource(a.file);
        const int count = source->frameCount();
        if (a.from < 0 || a.from >= count)
            return failure(a.file + ": no frame " + std::to_string(a.from) + " to start from (the video has "
                           + std::to_string(count) + " frames)");
        const int last = a.to < 0 ? count - 1 : a.to;
        if (last < a.from || last >= count)
            return failure(a.file + ": cannot track up to frame " + std::to_string(last) + " (the video has "
                           + std::to_string(count) + " frames)");
        if (!(a.x >= -0.5 && a.x < source->width() - 0.5 && a.y >= -0.5 && a.y < source->height() - 0.5))
            return failure(a.file + ": the point " + pointText(a.x, a.y) + " is outside the "
                           + std::to_string(source->width()) + "x" + std::to_string(source->height()) + " picture");
        TrackingEngine engine(*source, {a.from, last, a.x, a.y});
        if (!engine.hasTarget())
            std::cerr << a.file << ": nothing to follow at " << pointText(a.x, a.y) << " (too little contrast)\n";
        const std::atomic<bool> never = false;
        const TrackingEnd end = engine.run([](TrackedFrame &&frame) { printStep(frame.frame, frame.step); }, never);
        if (end.kind == TrackingEnd::Kind::Unreadable)
            return failure(a.file + ": frame " + std::to_string(end.frame) + " could not be decoded");
        return 0;
    } catch (const ReaderError &error) {
        return failure(error.what());
    } catch (const AutoTrackError &error) {
        return failure(a.file + ": " + error.what());
    }
}

} // namespace zorvane::inspect
