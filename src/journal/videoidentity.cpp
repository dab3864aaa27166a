#include "journal/videoidentity.h"

#include "common/systemfile.h"

#include <cstdio>

namespace zorvane {

namespace {

std::uint64_t fnv1a(std::uint64_t hash, const void *data, std::size_t size)
{
    const auto *bytes = static_cast<const unsigned char *>(data);
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 0x100000001B3ull;
    }
    return hash;
}

} // namespace

std::optional<VideoIdentity> VideoIdentity::of(const std::filesystem::path &video)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(video, error).lexically_normal();
    if (error)
        return std::nullopt;
    systemfile::Status status;
    if (!systemfile::status(absolute, status) || status.kind != systemfile::Kind::Regular)
        return std::nullopt;
    VideoIdentity identity;
    identity.path = absolute.string();
    identity.size = status.size;
    identity.modifiedNs = status.modifiedNs;
    return identity;
}

std::string VideoIdentity::journalStem() const
{
    std::uint64_t hash = 0xCBF29CE484222325ull;
    hash = fnv1a(hash, path.data(), path.size());
    hash = fnv1a(hash, "\0", 1);
    hash = fnv1a(hash, &size, sizeof size);
    hash = fnv1a(hash, &modifiedNs, sizeof modifiedNs);
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

} // namespace zorvane
