#include "probe/videoinfoprobe.h"

#include "probe/binarystring.h"
#include "probe/mediafile.h"
#include "probe/mediatype.h"
#include "probe/probeerror.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string_view>

namespace zorvane {
namespace {

using namespace std::string_view_literals;

// The five-character codec field of one probe: NUL-filled until written,
// space-padded when a shorter text is written into it.
class CodecField {
public:
    void write(std::string_view text)
    {
        m_chars.assign(5, ' ');
        m_chars.replace(0, std::min<std::size_t>(text.size(), 5), text.substr(0, 5));
    }
    std::string finished() const { return m_chars.substr(0, m_chars.find('\0')); }

private:
    std::string m_chars = std::string(5, '\0');
};

struct ProbeState {
    CodecField codec;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

bool isOneOf(const std::string &tag, std::initializer_list<std::string_view> tags)
{
    for (std::string_view candidate : tags) {
        if (tag == candidate)
            return true;
    }
    return false;
}

void readAviHeader(const std::string &path, ProbeState &state)
{
    MediaFile file(path);
    state.width = file.int32At(64);
    state.height = file.int32At(68);
    // Only the format code is kept; the fifth place becomes a space.
    state.codec.write(file.bytesAt(188, 4));
}

constexpr int kMpegSearchLimit = 30000;

void readMpegSequenceHeader(const std::string &path, ProbeState &state)
{
    std::string digits(24, '1');
    {
        MediaFile file(path);
        for (int offset = 0; offset < kMpegSearchLimit; ++offset) {
            if (file.bytesAt(offset, 4) == "\x00\x00\x01\xB3"sv) {
                digits.clear();
                for (int i = 4; i <= 6; ++i)
                    digits += ToBinaryString(file.byteAt(offset + i)).substr(24);
                break;
            }
        }
    }
    state.width = FromBinaryString(digits.substr(0, 12));
    state.height = FromBinaryString(digits.substr(12, 12));
    state.codec.write("MPEG");
}

// Real header objects, cover pictures included, stay far below this.
constexpr std::int64_t kAsfScanLimit = std::int64_t{64} << 20;

bool startsVideoFormatCode(MediaFile &file, std::int64_t offset)
{
    const auto isAnyOf = [](std::uint8_t byte, char a, char b) { return byte == a || byte == b; };
    return isAnyOf(file.byteAt(offset), 'W', 'M') && isAnyOf(file.byteAt(offset + 1), 'P', 'M')
           && isAnyOf(file.byteAt(offset + 2), 'V', '4');
}

bool hasVideoAspect(std::int32_t width, std::int32_t height)
{
    if (height == 0)
        throw ProbeError(ProbeErrorKind::DivisionByZero, "video size candidate with height 0");
    const double ratio = static_cast<double>(width) / static_cast<double>(height);
    return ratio > 1.2 && ratio < 1.8;
}

void scanAsfStreams(const std::string &path, ProbeState &state)
{
    MediaFile file(path);
    const std::int64_t headerSize = file.int32At(16);
    // Past the end of the file every byte is 0 and no candidate can start,
    // so the scan ends there even when the header size claims more. A
    // header size of gigabytes is damage, not metadata: the scan stops at
    // kAsfScanLimit so that such a file cannot stall the caller for seconds.
    const std::int64_t end = std::min(file.size(), kAsfScanLimit);
    for (std::int64_t offset = 192; offset < end; ++offset) {
        if (startsVideoFormatCode(file, offset)) {
            state.width = file.int32At(offset - 12);
            state.height = file.int32At(offset - 8);
            if (hasVideoAspect(state.width, state.height)) {
                state.codec.write(file.bytesAt(offset, 5));
                return;
            }
        }
        if (offset >= headerSize - 1)
            return;
    }
}

void applyDisplayedSize(const DisplayedSizeQuery &displayedSize, ProbeState &state)
{
    if (!displayedSize)
        return;
    if (const std::optional<DisplayedSize> size = displayedSize()) {
        state.height = size->height;
        state.width = size->width;
    }
}

} // namespace

VideoInfo ProbeVideoInfo(const std::string &path, const DisplayedSizeQuery &displayedSize)
{
    const std::string tag = DetectMediaType(path);
    ProbeState state;
    if (tag == "avi") {
        readAviHeader(path, state);
    } else if (isOneOf(tag, {"mpg", "mpe", "mpeg"})) {
        readMpegSequenceHeader(path, state);
    } else if (isOneOf(tag, {"asf", "wmv"})) {
        scanAsfStreams(path, state);
    } else if (tag == "mov") {
        state.codec.write("QTMOV");
    } else if (isOneOf(tag, {"mp3", "mp2", "mp1", "wav", "mid", "xmi", "rmi", "au", "voc", "wma"})) {
        state.codec.write("AUDIO");
        state.width = 1;
        state.height = 1;
    } else {
        state.codec.write("?");
        state.width = 1;
        state.height = 1;
    }
    if (state.width < 2 && state.height < 2)
        applyDisplayedSize(displayedSize, state);
    return VideoInfo{state.codec.finished(), state.width, state.height, 0, 0};
}

} // namespace zorvane
