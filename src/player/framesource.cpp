#include "player/framesource.h"

#include <atomic>
#include <cstddef>

namespace zorvane {
namespace {

std::atomic<bool> g_decodingStopped{false};
static_assert(std::atomic<bool>::is_always_lock_free, "raised from a signal handler");

} // namespace

void stopAllDecoding() noexcept { g_decodingStopped.store(true); }

bool decodingStoppedForGood() noexcept { return g_decodingStopped.load(); }

GrayImage grayOf(const RgbImage &image)
{
    // 14-bit fixed point, rounded to nearest.
    constexpr int kRed = 4899, kGreen = 9617, kBlue = 1868, kShift = 14;
    GrayImage gray{image.width, image.height, {}};
    const std::size_t count = image.pixels.size() / 3;
    gray.pixels.resize(count);
    const std::uint8_t *rgb = image.pixels.data();
    for (std::size_t i = 0; i < count; ++i, rgb += 3)
        gray.pixels[i] =
            static_cast<std::uint8_t>((rgb[0] * kRed + rgb[1] * kGreen + rgb[2] * kBlue + (1 << (kShift - 1))) >> kShift);
    return gray;
}

} // namespace zorvane
