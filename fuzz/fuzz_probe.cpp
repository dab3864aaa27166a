// Classifies and probes arbitrary bytes under several file names, without
// a displayed-size answer, with a fixed one and with one taken from the
// input, and checks the results hang together.
#include "binarystring.h"
#include "mediatype.h"
#include "probeerror.h"
#include "scratchfile.h"
#include "videoinfoprobe.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <unistd.h>

using namespace zorvane;

namespace {

constexpr std::array names{"input.avi", "input.mpg", "input.wmv", "input.mov", "input"};
constexpr std::array fixedTags{"avi", "wav", "dat", "ram", "mid", "wmv", "mpg"};
constexpr std::string_view fixedReply = "0 0 320 240";

[[noreturn]] void fail(const char *what, const std::string &path)
{
    std::fprintf(stderr, "probe invariant broken for %s: %s\n", path.c_str(), what);
    std::abort();
}

// Every name is a hard link to one file, so one write serves them all.
std::array<std::string, names.size()> linkedPaths()
{
    fuzz::ScratchFolder &folder = fuzz::ScratchFolder::instance();
    const std::filesystem::path first = folder.write("shared", nullptr, 0);
    std::array<std::string, names.size()> paths;
    for (std::size_t i = 0; i < names.size(); ++i) {
        paths[i] = (folder.path() / names[i]).string();
        if (::link(first.c_str(), paths[i].c_str()) != 0)
            fail("cannot link the scratch file", paths[i]);
    }
    return paths;
}

void checkTag(const std::string &tag, const std::string &path)
{
    if (std::find(fixedTags.begin(), fixedTags.end(), tag) != fixedTags.end())
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

// The last byte tells how many of the bytes before it form the reply.
std::string replyFromInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return {};
    const std::size_t length = std::min<std::size_t>(data[size - 1] % 48, size - 1);
    return std::string(reinterpret_cast<const char *>(data + size - 1 - length), length);
}

void probeUnderName(const std::string &path, const std::string &inputReply)
{
    checkTag(DetectMediaType(path), path);

    const std::optional<VideoInfo> plain = probe(path, {});
    const std::optional<VideoInfo> fixed = probe(path, [] { return std::string(fixedReply); });
    if (plain.has_value() != fixed.has_value())
        fail("a well-formed reply changed whether the probe fails", path);
    if (plain && fixed) {
        const bool headersGaveSize = plain->Width >= 2 || plain->Height >= 2;
        const VideoInfo expected = headersGaveSize ? *plain : VideoInfo{plain->Codec, 320, 240, 0, 0};
        if (*fixed != expected)
            fail("the displayed size was used wrongly", path);
    }
    const std::optional<VideoInfo> fromInput = probe(path, [&] { return inputReply; });
    if (fromInput && !plain)
        fail("a reply made a failing probe succeed", path);
    if (fromInput && plain && fromInput->Codec != plain->Codec)
        fail("the reply changed the codec", path);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const std::array<std::string, names.size()> paths = linkedPaths();
    fuzz::ScratchFolder::instance().write("shared", data, size);
    const std::string inputReply = replyFromInput(data, size);
    for (const std::string &path : paths)
        probeUnderName(path, inputReply);

    // The MPEG reader's digit conversion, on any text.
    try {
        FromBinaryString(std::string(reinterpret_cast<const char *>(data), std::min<std::size_t>(size, 40)));
    } catch (const ProbeError &error) {
        if (error.kind() != ProbeErrorKind::Overflow)
            fail("FromBinaryString failed other than by overflow", "digits");
    }
    return 0;
}
