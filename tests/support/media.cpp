#include "support/media.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

extern char **environ;

namespace zorvane::testing {
namespace {

std::vector<char *> argvPointers(const std::vector<std::string> &argv)
{
    std::vector<char *> pointers;
    for (const std::string &arg : argv)
        pointers.push_back(const_cast<char *>(arg.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

int runProgram(const std::vector<std::string> &argv, std::string *output)
{
    int pipeFds[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output) {
        if (pipe(pipeFds) != 0)
            throw std::system_error(errno, std::generic_category(), "pipe");
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    }
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<char *> args = argvPointers(argv);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (output) {
        close(pipeFds[1]);
        if (spawned == 0) {
            std::array<char, 4096> buffer{};
            ssize_t n = 0;
            while ((n = read(pipeFds[0], buffer.data(), buffer.size())) > 0)
                output->append(buffer.data(), static_cast<size_t>(n));
        }
        close(pipeFds[0]);
    }
    if (spawned != 0)
        return 127;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

std::string programErrors(const std::vector<std::string> &argv, int *status)
{
    std::vector<std::string> shell{"sh", "-c", "\"$0\" \"$@\" 2>&1 >/dev/null"};
    shell.insert(shell.end(), argv.begin(), argv.end());
    std::string errors;
    *status = runProgram(shell, &errors);
    return errors;
}

std::filesystem::path mediaDir()
{
    const char *fromEnv = std::getenv("ZORVANE_TEST_MEDIA");
    std::filesystem::path dir = fromEnv && *fromEnv ? fromEnv : ZORVANE_TEST_MEDIA_DIR;
    std::filesystem::create_directories(dir);
    return dir;
}

std::filesystem::path mediaSubdir(const std::string &name)
{
    const std::filesystem::path dir = mediaDir() / name;
    std::filesystem::create_directories(dir);
    return dir;
}

std::string readFileBytes(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::filesystem::path writeFileBytes(const std::filesystem::path &file, const std::string &bytes)
{
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file;
}

std::filesystem::path generateMedia(const std::string &name, const std::vector<std::string> &ffmpegArgs)
{
    const std::filesystem::path target = mediaDir() / name;
    if (std::filesystem::exists(target))
        return target;
    // Written under a temporary name so an interrupted run never leaves a
    // half-made file that later runs would trust.
    const std::filesystem::path partial = mediaDir() / ("partial-" + std::to_string(getpid()) + "-" + name);
    std::vector<std::string> argv{"ffmpeg", "-nostdin", "-y", "-loglevel", "error"};
    argv.insert(argv.end(), ffmpegArgs.begin(), ffmpegArgs.end());
    argv.push_back(partial.string());
    if (runProgram(argv) != 0) {
        std::filesystem::remove(partial);
        throw std::runtime_error("ffmpeg could not make " + name);
    }
    std::filesystem::rename(partial, target);
    return target;
}

namespace {

constexpr int kDigitBase = 16;
constexpr int kGreyOffset = 16;
constexpr int kGreyStep = 14;
constexpr int kGreyTolerance = 6;

int bandStart(int band, int width) { return band * width / kIndexDigits; }

std::uint8_t digitGrey(int index, int band)
{
    int digit = index;
    for (int i = 0; i < band; ++i)
        digit /= kDigitBase;
    return static_cast<std::uint8_t>(kGreyOffset + kGreyStep * (digit % kDigitBase));
}

std::filesystem::path rawIndexedSource(int frames, int width, int height)
{
    const std::string name =
        "indexed-" + std::to_string(width) + "x" + std::to_string(height) + "-" + std::to_string(frames) + ".gray";
    const std::filesystem::path target = mediaDir() / name;
    if (std::filesystem::exists(target))
        return target;
    const std::filesystem::path partial = mediaDir() / ("partial-" + std::to_string(getpid()) + "-" + name);
    {
        std::ofstream out(partial, std::ios::binary);
        std::vector<char> row(static_cast<size_t>(width));
        for (int index = 0; index < frames; ++index) {
            for (int band = 0; band < kIndexDigits; ++band) {
                const auto grey = static_cast<char>(digitGrey(index, band));
                std::fill(row.begin() + bandStart(band, width), row.begin() + bandStart(band + 1, width), grey);
            }
            for (int y = 0; y < height; ++y)
                out.write(row.data(), static_cast<std::streamsize>(row.size()));
        }
        if (!out)
            throw std::runtime_error("cannot write " + partial.string());
    }
    std::filesystem::rename(partial, target);
    return target;
}

} // namespace

std::filesystem::path generateIndexedVideo(const std::string &name, int frames, int width, int height,
                                           const std::vector<std::string> &encoderArgs, const std::string &rate)
{
    if (frames <= 0 || frames > kMaxIndexedFrames)
        throw std::invalid_argument("indexed videos hold 1 to 4096 frames");
    const std::filesystem::path source = rawIndexedSource(frames, width, height);
    std::vector<std::string> args{"-f",           "rawvideo",    "-pix_fmt",
                                  "gray",         "-video_size", std::to_string(width) + "x" + std::to_string(height),
                                  "-framerate",   rate,          "-i",
                                  source.string()};
    args.insert(args.end(), encoderArgs.begin(), encoderArgs.end());
    return generateMedia(name, args);
}

int readFrameIndex(const std::uint8_t *rgb, int width, int height)
{
    int index = 0;
    int scale = 1;
    for (int band = 0; band < kIndexDigits; ++band) {
        // The middle half of the band, away from edges that codecs smear.
        const int left = bandStart(band, width);
        const int bandWidth = bandStart(band + 1, width) - left;
        double sum = 0;
        int count = 0;
        for (int y = height / 4; y < height * 3 / 4; ++y)
            for (int x = left + bandWidth / 4; x < left + bandWidth * 3 / 4; ++x) {
                const std::uint8_t *pixel = rgb + (static_cast<size_t>(y) * width + x) * 3;
                sum += pixel[0] + pixel[1] + pixel[2];
                count += 3;
            }
        const double grey = sum / count;
        const long digit = std::lround((grey - kGreyOffset) / kGreyStep);
        if (digit < 0 || digit >= kDigitBase || std::abs(grey - (kGreyOffset + kGreyStep * digit)) > kGreyTolerance)
            return -1;
        index += static_cast<int>(digit) * scale;
        scale *= kDigitBase;
    }
    return index;
}

int ffprobeFrameCount(const std::filesystem::path &file)
{
    std::string output;
    const int status = runProgram({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                                   "stream=nb_read_frames", "-of", "csv=p=0", file.string()},
                                  &output);
    if (status != 0)
        throw std::runtime_error("ffprobe failed on " + file.string());
    return std::stoi(output);
}

std::vector<double> ffprobeFrameTimesMs(const std::filesystem::path &file)
{
    std::string output;
    const int status = runProgram({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                                   "frame=best_effort_timestamp_time", "-of", "csv=p=0", file.string()},
                                  &output);
    if (status != 0)
        throw std::runtime_error("ffprobe failed on " + file.string());
    std::vector<double> seconds;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty())
            seconds.push_back(std::stod(line));
    std::sort(seconds.begin(), seconds.end());
    std::vector<double> times;
    for (double value : seconds)
        times.push_back((value - seconds.front()) * 1000.0);
    return times;
}

} // namespace zorvane::testing
