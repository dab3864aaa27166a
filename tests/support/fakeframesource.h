#pragma once

#include "player/framesource.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace zorvane::testing {

// Frames of one flat colour each, told apart by their index (up to 256
// frames; 37 and 11 have no common factor with 256).
class FakeFrameSource : public FrameSource {
public:
    using Rgb = std::array<std::uint8_t, 3>;

    FakeFrameSource(int frames, double intervalMs, int width = 64, int height = 48)
            : m_frames(frames), m_intervalMs(intervalMs), m_width(width), m_height(height)
    {}

    static Rgb colourOf(int index)
    {
        return {static_cast<std::uint8_t>(index * 37 % 256), static_cast<std::uint8_t>(255 - index * 11 % 256), 90};
    }

    int frameCount() const override { return m_frames; }
    int width() const override { return m_width; }
    int height() const override { return m_height; }
    double frameTimeMs(int index) const override { return index * m_intervalMs; }

    RgbImage frameRgb(int index) override
    {
        if (index == slowFrame)
            std::this_thread::sleep_for(std::chrono::milliseconds(slowFrameDelayMs));
        ++calls;
        if (index < 0 || index >= m_frames || index == failingFrame)
            throw ReaderError(ReaderErrorKind::DecodeFailed, "frame " + std::to_string(index) + " is broken");
        ++decoded;
        const Rgb colour = colourOf(index);
        RgbImage image{m_width, m_height, {}};
        image.pixels.reserve(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height) * 3);
        for (int i = 0; i < m_width * m_height; ++i)
            image.pixels.insert(image.pixels.end(), colour.begin(), colour.end());
        return image;
    }

    // The index of a frame this source made, from its first pixel; -1 when
    // none matches.
    static int indexOf(const RgbImage &image)
    {
        if (image.pixels.size() < 3)
            return -1;
        for (int index = 0; index < 256; ++index)
            if (colourOf(index) == Rgb{image.pixels[0], image.pixels[1], image.pixels[2]})
                return index;
        return -1;
    }

    int failingFrame = -1;
    int slowFrame = -1;
    int slowFrameDelayMs = 100;
    // Every request, also those that fail; and the frames handed out.
    std::atomic<int> calls = 0;
    std::atomic<int> decoded = 0;

private:
    int m_frames;
    double m_intervalMs;
    int m_width;
    int m_height;
};

// A file system of fake videos for a player: every name opens the source
// in `next`, which a test may tune first, and `current` points to it once
// open; "missing.avi" cannot be opened.
struct FakeFiles {
    FakeFiles(int frames, double intervalMs) : next(std::make_unique<FakeFrameSource>(frames, intervalMs)) {}

    std::function<std::unique_ptr<FrameSource>(const std::string &)> opener()
    {
        return [this](const std::string &path) -> std::unique_ptr<FrameSource> {
            if (path == "missing.avi")
                throw ReaderError(ReaderErrorKind::CannotOpen, "missing.avi: cannot open");
            auto source = std::move(next);
            current = source.get();
            return source;
        };
    }

    std::unique_ptr<FakeFrameSource> next;
    FakeFrameSource *current = nullptr;
};

} // namespace zorvane::testing
