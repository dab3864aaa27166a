#include "app/commandline.h"

#include "app/version.h"

#include <algorithm>

namespace zorvane {

namespace {

bool isOption(const std::string &arg) { return arg.size() > 1 && arg.front() == '-'; }

CommandLine::Action requestedAnswer(const std::vector<std::string> &args)
{
    const auto end = std::find(args.begin(), args.end(), "--");
    for (auto arg = args.begin(); arg != end; ++arg) {
        if (*arg == "-h" || *arg == "--help")
            return CommandLine::Action::Help;
        if (*arg == "--version")
            return CommandLine::Action::Version;
    }
    return CommandLine::Action::Run;
}

CommandLine failure(std::string message) { return {CommandLine::Action::Error, {}, std::move(message)}; }

} // namespace

CommandLine parseCommandLine(const std::vector<std::string> &args)
{
    if (const CommandLine::Action answer = requestedAnswer(args); answer != CommandLine::Action::Run)
        return {answer, {}, {}};
    CommandLine result;
    bool optionsEnded = false;
    for (const std::string &arg : args) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && isOption(arg))
            return failure("unknown option \"" + arg + "\"");
        if (!result.file.empty())
            return failure("only one file can be opened, \"" + arg + "\" is one too many");
        if (arg.empty())
            return failure("empty file name");
        result.file = arg;
    }
    return result;
}

std::string helpText()
{
    return "usage: zorvane [FILE]\n"
           "\n"
           "Measures motion in a video, frame by frame.\n"
           "\n"
           "  FILE         a video to open at start-up, as \"Fichier\" > \"Ouvir Video\" does\n"
           "  -h, --help   show this help and exit\n"
           "  --version    show the version and exit\n"
           "\n"
           "The toolkit's own options (-platform, -style, ...) are accepted too.\n";
}

std::string versionText(const std::string &program) { return program + " " + kVersion + "\n"; }

} // namespace zorvane
