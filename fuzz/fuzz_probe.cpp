// Classifies and probes arbitrary bytes under several file names, without
// a displayed-size answer, with a fixed one and with one taken from the
// input, and checks the results hang together.
#include "probe/binarystring.h"
#include "probe/mediatype.h"
#include "probe/probeerror.h"
#include "probe/videoinfoprobe.h"
#include "scratchfile.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>
#include <unistd.h>

using namespace zorvane;

namespace {

constexpr std::array kNames{"input.avi", "input.mpg", "input.wmv", "input.mov", "input"};
constexpr std::array kFixedTags{"avi", "wav", "dat", "ram", "mid", "wmv", "mpg"};
constexpr DisplayedSize kFixedSize{320, 240};

[[noreturn]] void fail(const char *what, const std::string &path)
{
    std::fprintf(stderr, "probe invariant broken for %s: %s\n", path.c_str(), what);
    std::abort();
}

// Every name is a hard link to one file, so one write serves them all.
std::array<std::string, kNames.size()> linkedPaths()
{
    fuzz::ScratchFolder &folder = fuzz::ScratchFolder::instance();
    const std::filesystem::path first = folder.write("shared", nullptr, 0);
    std::array<std::string, kNames.size()> paths;
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        paths[i] = (folder.path() / kNames[i]).string();
        if (::link(first.c_str(), paths[i].c_str()) != 0)
            fail("cannot link the scratch file", paths[i]);
    }
    return paths;
}

void checkTag(const std::string &tag, const std::string &path)
{
    if (std::find(kFixedTags.begin(), kFixedTags.end(), tag) != kFixedTags.end())
        return;
    if (tag != pathExtension(path))
        fail("a tag that is neither a signature's nor the extension", path);
    if (tag == "avi" || tag == "mpg" || tag == "wmv")
        fail("an unrecognised video extension was not turned into dat", path);
}

void checkInfo(const VideoInfo &info, const std::string &path)
{
    if (info.Codec.size() > 5 || info.Spare1 != 0 || info.Spare2 != 0)
        fail("a malformed VideoInfo", path);
}

std::optional<VideoInfo> probe(const std::string &path, const DisplayedSizeQuery &query)
{
    try {
        VideoInfo info = ProbeVideoInfo(path, query);
        checkInfo(info, path);
        return info;
    } catch (const ProbeError &) {
        return std::nullopt;
    }
}

// The last nine bytes give the displayed size, or none when the last of
// them is even.
std::optional<DisplayedSize> sizeFromInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 9 || data[size - 1] % 2 == 0)
        return std::nullopt;
    std::int32_t numbers[2];
    std::memcpy(numbers, data + size - 9, sizeof numbers);
    return DisplayedSize{numbers[0], numbers[1]};
}

void probeUnderName(const std::string &path, const std::optional<DisplayedSize> &inputSize)
{
    checkTag(DetectMediaType(path), path);

    const std::optional<VideoInfo> plain = probe(path, {});
    const std::optional<VideoInfo> fixed = probe(path, []() -> std::optional<DisplayedSize> { return kFixedSize; });
    if (plain.has_value() != fixed.has_value())
        fail("a displayed size changed whether the probe fails", path);
    if (plain && fixed) {
        const bool headersGaveSize = plain->Width >= 2 || plain->Height >= 2;
        const VideoInfo expected = headersGaveSize ? *plain : VideoInfo{plain->Codec, 320, 240, 0, 0};
        if (*fixed != expected)
            fail("the displayed size was used wrongly", path);
    }
    const std::optional<VideoInfo> fromInput = probe(path, [&] { return inputSize; });
    if (fromInput && !plain)
        fail("a displayed size made a failing probe succeed", path);
    if (fromInput && plain && fromInput->Codec != plain->Codec)
        fail("the displayed size changed the codec", path);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const std::array<std::string, kNames.size()> paths = linkedPaths();
    fuzz::ScratchFolder::instance().write("shared", data, size);
    const std::optional<DisplayedSize> inputSize = sizeFromInput(data, size);
    for (const std::string &path : paths)
        probeUnderName(path, inputSize);

    // The MPEG reader's digit conversion, on any text.
    try {
        FromBinaryString(std::string(reinterpret_cast<const char *>(data), std::min<std::size_t>(size, 40)));
    } catch (const ProbeError &error) {
        if (error.kind() != ProbeErrorKind::Overflow)
            fail("FromBinaryString failed other than by overflow", "digits");
    }
    return 0;
}
