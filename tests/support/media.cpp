#include "media.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
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

std::filesystem::path mediaDir()
{
    const char *fromEnv = std::getenv("ZORVANE_TEST_MEDIA");
    std::filesystem::path dir = fromEnv && *fromEnv ? fromEnv : ZORVANE_TEST_MEDIA_DIR;
    std::filesystem::create_directories(dir);
    return dir;
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

} // namespace zorvane::testing
