#include "probe/mediatype.h"

#include "probe/mediafile.h"

#include <array>
#include <string_view>

namespace zorvane {
namespace {

using namespace std::string_view_literals;

std::string tagOfRiffForm(const std::string &formType)
{
    if (formType == "AVI ")
        return "avi";
    if (formType == "WAVE")
        return "wav";
    return "dat"; // CDXA and every other form type
}

std::string tagOfExtension(const std::string &extension)
{
    // Compared case-sensitively on purpose: "AVI" passes through unchanged.
    constexpr std::array kVideoExtensions{"ram"sv, "avi"sv, "mpg"sv, "mpe"sv, "mpeg"sv, "asf"sv, "wmv"sv};
    for (std::string_view known : kVideoExtensions) {
        if (extension == known)
            return "dat";
    }
    return extension;
}

} // namespace

std::string pathExtension(const std::string &path)
{
    const std::size_t dot = path.rfind('.');
    return dot == std::string::npos ? path : path.substr(dot + 1);
}

std::string DetectMediaType(const std::string &path)
{
    const std::string extension = pathExtension(path);
    MediaFile file(path);
    const std::string signature = file.bytesAt(0, 4);
    if (signature == "RIFF")
        return tagOfRiffForm(file.bytesAt(8, 4));
    if (signature == ".RMF")
        return "ram";
    if (signature == "MThd")
        return "mid";
    if (signature == "\x30\x26\xB2\x75"sv)
        return "wmv";
    if (signature == "\x00\x00\x01\xBA"sv)
        return "mpg";
    return tagOfExtension(extension);
}

} // namespace zorvane
