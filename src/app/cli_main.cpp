#include "app/cli_commands.h"
#include "app/cli_probe.h"
#include "app/commandline.h"
#include "common/systemfile.h"
#include "player/player.h"

#include <iostream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace zorvane::inspect {
namespace {

// The displayed size as the player reports it for the file, so the probe's
// fallback sees what the program would: nothing when it cannot open it.
std::optional<DisplayedSize> playerDisplayedSize(const std::string &path)
{
    Player player(openFrameSource);
    player.open(path);
    const std::optional<PictureSize> size = player.pictureSize();
    if (!size)
        return std::nullopt;
    return DisplayedSize{size->width, size->height};
}

int runProbe(const std::vector<std::string> &args)
{
    return runProbeCommand(args, std::cout, std::cerr, playerDisplayedSize);
}

struct Subcommand {
    const char *name;
    const char *usage;
    int (*run)(const std::vector<std::string> &args);
};

// New subcommands are one line here.
const Subcommand kSubcommands[] = {
    {"frames", "frames FILE [--times]", runFrames},
    {"frame", "frame FILE N [N ...] --out DIR", runFrame},
    {"probe", "probe [--no-fallback] FILE [FILE ...]", runProbe},
    {"measure", "measure SEQUENCE [--calibration FILE] [--video VIDEO]", zorvane::inspect::runMeasure},
    {"track", "track FILE --from N --at X Y [--to M]", zorvane::inspect::runTrack},
};

void printUsage(std::ostream &out)
{
    out << "usage:";
    for (const Subcommand &command : kSubcommands)
        out << "\n  zorvane-inspect " << command.usage;
    out << "\n  zorvane-inspect --help\n  zorvane-inspect --version\n";
}

constexpr int kUsageError = 2;

} // namespace
} // namespace zorvane::inspect

int main(int argc, char **argv)
{
    using namespace zorvane::inspect;
    if (argc < 2) {
        printUsage(std::cerr);
        return kUsageError;
    }
    const std::vector<std::string> arguments = zorvane::systemfile::utf8Arguments(argc, argv);
    const std::string &name = arguments.front();
    if (name == "--help" || name == "-h") {
        printUsage(std::cout);
        return 0;
    }
    if (name == "--version") {
        std::cout << zorvane::versionText("zorvane-inspect");
        return 0;
    }
    const std::vector<std::string> args(arguments.begin() + 1, arguments.end());
    for (const Subcommand &command : kSubcommands)
        if (name == command.name)
            return command.run(args);
    std::cerr << "zorvane-inspect: unknown command \"" << name << "\"\n";
    printUsage(std::cerr);
    return kUsageError;
}
