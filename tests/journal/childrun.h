#pragma once

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zorvane::testing {

// What a child of the kill tests printed, line by line, and how it ended.
struct ChildRun {
    std::vector<std::string> lines;
    int status = 0;

    // The index in the last line starting with `word`, or -1.
    int last(const std::string &word) const
    {
        for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
            if (line->starts_with(word + " "))
                return std::stoi(line->substr(word.size() + 1));
        }
        return -1;
    }
    int count(const std::string &word) const
    {
        return static_cast<int>(
            std::count_if(lines.begin(), lines.end(), [&](const std::string &line) { return line.starts_with(word); }));
    }
    bool endedNormally() const { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }
    // Whether the click after the last handled one had begun.
    bool nextBegun() const { return last("begin") == last("handled") + 1; }
};

// When a kill test kills its child: after that many lines, plus a delay.
struct KillMoment {
    int afterLines = 0;
    std::chrono::microseconds delay{};
};

// Up to `maxLines` lines, and up to 3 ms past them.
inline KillMoment randomKillMoment(std::mt19937 &random, int maxLines)
{
    KillMoment moment;
    moment.afterLines = std::uniform_int_distribution<int>(0, maxLines)(random);
    moment.delay = std::chrono::microseconds(std::uniform_int_distribution<int>(0, 3000)(random));
    return moment;
}

// What a failure report needs to tell where the child was killed.
inline std::string killTrace(const KillMoment &moment, const ChildRun &run)
{
    return "killed after " + std::to_string(moment.afterLines) + " lines + " + std::to_string(moment.delay.count())
           + " us, last handled click " + std::to_string(run.last("handled"))
           + (run.nextBegun() ? ", next one begun" : "");
}

// Runs the program with its stdout read line by line; with killAfterLines
// set, sends SIGKILL `delay` after it printed that many lines.
inline ChildRun runChild(const std::string &program, const std::vector<std::string> &args,
                         std::optional<int> killAfterLines = {}, std::chrono::microseconds delay = {})
{
    int out[2];
    if (::pipe(out) != 0)
        throw std::runtime_error("pipe");
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        std::vector<char *> argv{const_cast<char *>(program.c_str())};
        for (const std::string &arg : args)
            argv.push_back(const_cast<char *>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ChildRun run;
    std::string pending;
    bool killed = false;
    const auto maybeKill = [&] {
        if (killed || !killAfterLines || static_cast<int>(run.lines.size()) < *killAfterLines)
            return;
        std::this_thread::sleep_for(delay);
        ::kill(child, SIGKILL);
        killed = true;
    };
    maybeKill();
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(out[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        pending.append(buffer, static_cast<std::size_t>(got));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            run.lines.push_back(pending.substr(0, end));
            pending.erase(0, end + 1);
            maybeKill();
        }
    }
    ::close(out[0]);
    ::waitpid(child, &run.status, 0);
    return run;
}

} // namespace zorvane::testing
