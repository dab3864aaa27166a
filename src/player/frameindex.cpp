#include "player/frameindex.h"

#include "player/avpointers.h"
#include "player/decodesession.h"
#include "player/framereader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/avutil.h>
}

#include <algorithm>
#include <iterator>
#include <string>

namespace zorvane {
namespace {

// Gives frames that came out without a timestamp (typically the last one,
// flushed at the end) a value between their neighbours. False when the
// result does not order the frames strictly.
bool fillMissingStamps(std::vector<std::int64_t> &stamps)
{
    std::vector<std::size_t> known;
    for (std::size_t i = 0; i < stamps.size(); ++i)
        if (stamps[i] != AV_NOPTS_VALUE)
            known.push_back(i);
    if (known.empty())
        return false;
    long double step = 1;
    if (known.size() > 1)
        step = std::max<long double>(1, static_cast<long double>(stamps[known.back()] - stamps[known.front()])
                                            / static_cast<long double>(known.back() - known.front()));
    constexpr long double kLimit = 9.0e18L;
    for (std::size_t i = 0; i < stamps.size(); ++i) {
        if (stamps[i] != AV_NOPTS_VALUE)
            continue;
        const auto next = std::upper_bound(known.begin(), known.end(), i);
        long double value = 0;
        if (next != known.begin() && next != known.end()) {
            const std::size_t before = *std::prev(next);
            const std::size_t after = *next;
            value = stamps[before]
                    + static_cast<long double>(stamps[after] - stamps[before]) * (i - before)
                          / static_cast<long double>(after - before);
        } else if (next != known.begin()) {
            const std::size_t before = *std::prev(next);
            value = stamps[before] + step * static_cast<long double>(i - before);
        } else {
            value = stamps[*next] - step * static_cast<long double>(*next - i);
        }
        if (value > kLimit || value < -kLimit)
            return false;
        stamps[i] = static_cast<std::int64_t>(value);
    }
    for (std::size_t i = 1; i < stamps.size(); ++i)
        if (stamps[i] <= stamps[i - 1])
            return false;
    return true;
}

} // namespace

std::optional<FrameIndex> FrameIndex::fromPackets(DecodeSession &session)
{
    if (!session.packetsAreFrames())
        return std::nullopt;
    std::vector<std::int64_t> found;
    std::vector<std::int64_t> keyStamps;
    bool first = true;
    while (AVPacket *packet = session.readPacket()) {
        PacketRelease release(packet);
        if (packet->flags & AV_PKT_FLAG_DISCARD)
            continue;
        const bool key = packet->flags & AV_PKT_FLAG_KEY;
        if ((first && !key) || packet->pts == AV_NOPTS_VALUE || packet->size == 0)
            return std::nullopt;
        first = false;
        found.push_back(packet->pts);
        if (key)
            keyStamps.push_back(packet->pts);
        if (found.size() > static_cast<std::size_t>(FrameReader::kMaxFrames))
            session.fail(ReaderErrorKind::NotSupported,
                         "more than " + std::to_string(FrameReader::kMaxFrames) + " frames");
    }
    if (found.empty())
        return std::nullopt;
    std::sort(found.begin(), found.end());
    if (std::adjacent_find(found.begin(), found.end()) != found.end())
        return std::nullopt;
    FrameIndex index;
    index.m_stamps = std::move(found);
    std::sort(keyStamps.begin(), keyStamps.end());
    for (std::int64_t stamp : keyStamps)
        index.m_keyframes.push_back(index.frameWithStamp(stamp));
    return index;
}

FrameIndex FrameIndex::fromDecodedFrames(std::vector<std::int64_t> stamps, std::vector<int> keyframes)
{
    FrameIndex index;
    index.m_timesFromStamps = fillMissingStamps(stamps);
    index.m_byOrdinal = !index.m_timesFromStamps;
    index.m_stamps = std::move(stamps);
    index.m_keyframes = std::move(keyframes);
    return index;
}

int FrameIndex::frameWithStamp(std::int64_t stamp) const
{
    auto found = std::lower_bound(m_stamps.begin(), m_stamps.end(), stamp);
    if (found == m_stamps.end() || *found != stamp)
        return -1;
    return static_cast<int>(found - m_stamps.begin());
}

// Hostile files may put timestamps at both ends of the 64-bit range.
double FrameIndex::ticksFromFirst(int index) const
{
    return static_cast<double>(static_cast<long double>(stamp(index)) - static_cast<long double>(m_stamps.front()));
}

int FrameIndex::keyPositionAtOrBefore(int index) const
{
    auto after = std::upper_bound(m_keyframes.begin(), m_keyframes.end(), index);
    return static_cast<int>(after - m_keyframes.begin()) - 1;
}

} // namespace zorvane
