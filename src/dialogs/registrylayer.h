#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zorvane {

constexpr std::uint32_t HKEY_LOCAL_MACHINE_ROOT = 0x80000002;
// Read control plus query, set, create sub-key, enumerate, notify, create link.
constexpr std::uint32_t kKeyOpenAccess = 0x2003F;
constexpr std::uint32_t REG_SZ_TYPE = 1;
constexpr std::uint32_t REG_DWORD_TYPE = 4;

enum class RegistryStatus { Ok, KeyNotOpened, ValueNotRead };

struct RegistryAnswer {
    RegistryStatus status = RegistryStatus::KeyNotOpened;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

// Reads one value of a key: opening the key with the given access, querying
// the value and closing the key again, all in one call.
class RegistryLayer {
public:
    virtual ~RegistryLayer() = default;
    virtual RegistryAnswer readValue(std::uint32_t root, const std::string &keyName, const std::string &valueName,
                                     std::uint32_t access) const = 0;
};

} // namespace zorvane
