#pragma once

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <optional>
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
};

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
