#include "inspect_commands.h"

#include <iostream>
#include <string>
#include <vector>

namespace {

struct Subcommand {
    const char *name;
    const char *usage;
    int (*run)(const std::vector<std::string> &args);
};

// New subcommands are one line here.
const Subcommand kSubcommands[] = {
    {"frames", "frames FILE", zorvane::inspect::runFrames},
    {"frame", "frame FILE N [N ...] --out DIR", zorvane::inspect::runFrame},
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
