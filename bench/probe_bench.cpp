// Times the header probe on large synthetic files: an ASF whose header
// size claims far more than the file holds (the scan runs to the end of
// the file, or 64 MiB at most) and an MPEG stream without a sequence header.
#include "probe/videoinfoprobe.h"

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::filesystem::path writeFile(const std::string &name, const std::string &head, std::int64_t megabytes, char fill)
{
    const auto path = std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()));
    std::ofstream out(path, std::ios::binary);
    out << head;
    const std::string block(1 << 20, fill);
    for (std::int64_t i = 0; i < megabytes; ++i)
        out << block;
    return path;
}

void timeProbe(const char *label, const std::filesystem::path &path, std::int64_t megabytes)
{
    const auto start = std::chrono::steady_clock::now();
    const zorvane::VideoInfo info = zorvane::ProbeVideoInfo(path.string());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-34s %6lld MiB file  %9.3f ms  -> \"%s\" %dx%d\n", label, static_cast<long long>(megabytes),
                seconds * 1000, info.Codec.c_str(), info.Width, info.Height);
    std::filesystem::remove(path);
}

} // namespace

int main(int argc, char **argv)
{
    const std::int64_t megabytes = argc > 1 ? std::atoll(argv[1]) : 256;
    std::string asfHead("\x30\x26\xB2\x75", 4);
    asfHead.resize(16, '\0');
    asfHead += std::string("\xFF\xFF\xFF\x7F", 4); // header size 2147483647
    timeProbe("ASF scan to end of file", writeFile("zorvane-bench.wmv", asfHead, megabytes, '\x01'), megabytes);
    // 'W' bytes start a candidate test at every offset, the slowest content.
    timeProbe("ASF scan, all 'W'", writeFile("zorvane-bench-w.wmv", asfHead, megabytes, 'W'), megabytes);
    timeProbe("MPEG search, no sequence header", writeFile("zorvane-bench.mpg", std::string("\0\0\1\xBA", 4), 1, '\0'),
              1);
    return 0;
}
