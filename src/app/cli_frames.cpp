#include "app/cli_commands.h"
#include "common/utf8path.h"

#include "player/framereader.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>

namespace zorvane::inspect {
namespace {

// Three decimals at most, without trailing zeros: "25", "29.97", "33.367".
std::string formatDecimal(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    std::string result = text;
    result.erase(result.find_last_not_of('0') + 1);
    if (result.back() == '.')
        result.pop_back();
    return result;
}

bool parseIndex(const std::string &text, int *index)
{
    const char *end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, *index);
    return error == std::errc() && stop == end && *index >= 0;
}

int failure(const std::string &message)
{
    std::cerr << message << "\n";
    return 1;
}

void writePpm(const RgbImage &image, const std::filesystem::path &file)
{
    std::ofstream out(file, std::ios::binary);
    out << "P6\n" << image.width << " " << image.height << "\n255\n";
    out.write(reinterpret_cast<const char *>(image.pixels.data()), static_cast<std::streamsize>(image.pixels.size()));
    out.close();
    if (!out)
        throw std::runtime_error(file.string() + ": cannot write (" + std::strerror(errno) + ")");
}

} // namespace

int runFrames(const std::vector<std::string> &args)
{
    std::vector<std::string> files(args);
    const auto timesOption = std::find(files.begin(), files.end(), "--times");
    const bool withTimes = timesOption != files.end();
    if (withTimes)
        files.erase(timesOption);
    if (files.size() != 1)
        return failure("usage: zorvane-inspect frames FILE [--times]");
    try {
        FrameReader reader(files.front());
        std::cout << "frames=" << reader.frameCount() << " width=" << reader.width() << " height=" << reader.height()
                  << " fps=" << formatDecimal(reader.fps()) << " duration_ms=" << reader.durationMs() << "\n";
        if (withTimes)
            for (int index = 0; index < reader.frameCount(); ++index)
                std::cout << index << '\t' << formatDecimal(reader.frameTimeMs(index)) << '\n';
        return 0;
    } catch (const ReaderError &error) {
        return failure(error.what());
    }
}

int runFrame(const std::vector<std::string> &args)
{
    const char *usageText = "usage: zorvane-inspect frame FILE N [N ...] --out DIR";
    std::vector<std::string> rest(args);
    std::filesystem::path outDir;
    for (auto it = rest.begin(); it != rest.end(); ++it) {
        if (*it != "--out")
            continue;
        if (std::next(it) == rest.end())
            return failure(usageText);
        outDir = pathFromUtf8(*std::next(it));
        rest.erase(it, std::next(it, 2));
        break;
    }
    if (outDir.empty() || rest.size() < 2)
        return failure(usageText);
    std::vector<int> indices;
    for (auto it = std::next(rest.begin()); it != rest.end(); ++it) {
        int index = 0;
        if (!parseIndex(*it, &index))
            return failure("zorvane-inspect: \"" + *it + "\" is not a frame number");
        indices.push_back(index);
    }
    const std::string &file = rest.front();
    try {
        FrameReader reader(file);
        std::filesystem::create_directories(outDir);
        for (int index : indices) {
            if (index >= reader.frameCount())
                return failure(file + ": no frame " + std::to_string(index) + " (the video has "
                               + std::to_string(reader.frameCount()) + " frames)");
            writePpm(reader.frameRgb(index), outDir / ("frame-" + std::to_string(index) + ".ppm"));
        }
        return 0;
    } catch (const ReaderError &error) {
        return failure(error.what());
    } catch (const std::exception &error) {
        return failure(file + ": " + error.what());
    }
}

} // namespace zorvane::inspect
