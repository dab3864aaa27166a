#include "cli_commands.h"
#include "cli_probe.h"
#include "mediaplayer.h"

#include <iostream>
#include <string>
#include <vector>

namespace {

// The displayed size as the media player reports it for the file, so the
// probe's fallback sees what the program would: empty when it cannot open.
std::string playerDisplayedSize(const std::string &path)
{
    zorvane::MediaPlayer player(zorvane::openFrameSource);
    player.setFileName(path);
    player.command("Open");
    return player.whereDestination();
}

int runProbe(const std::vector<std::string> &args)
{
    return zorvane::runProbeCommand(args, std::cout, std::cerr, playerDisplayedSize);
}

struct Subcommand {
    const char *name;
    const char *usage;
    int (*run)(const std::vector<std::string> &args);
};

// New subcommands are one line here.
const Subcommand kSubcommands[] = {
    {"frames", "frames FILE", zorvane::inspect::runFrames},
    {"frame", "frame FILE N [N ...] --out DIR", zorvane::inspect::runFrame},
    {"probe", "probe [--no-fallback] FILE [FILE ...]", runProbe},
    {"track", "track FILE --from N --at X Y [--to M]", zorvane::inspect::runTrack},
};

int usage()
{
    std::cerr << "usage:";
    for (const Subcommand &command : kSubcommands)
        std::cerr << "\n  zorvane-inspect " << command.usage;
    std::cerr << "\n";
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return usage();
    const std::string name = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    for (const Subcommand &command : kSubcommands)
        if (name == command.name)
            return command.run(args);
    std::cerr << "zorvane-inspect: unknown command \"" << name << "\"\n";
    return usage();
}
