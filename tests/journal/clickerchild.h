#pragma once

#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace zorvane::testing {

// A line on stdout, unbuffered, so that the parent sees it before a kill.
inline void say(const std::string &line)
{
    const std::string text = line + "\n";
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (written <= 0)
            std::_Exit(3);
        done += static_cast<std::size_t>(written);
    }
}

// Files of this process stop growing at `bytes` (a decimal text): writes
// past it fail with EFBIG instead of killing the process.
inline void limitFileSize(const char *bytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    const auto limit = static_cast<rlim_t>(std::strtoull(bytes, nullptr, 10));
    const rlimit fileSize{limit, limit};
    if (::setrlimit(RLIMIT_FSIZE, &fileSize) != 0)
        std::_Exit(4);
}

} // namespace zorvane::testing
