#pragma once

#include "framesource.h"

#include <QColor>

#include <atomic>
#include <chrono>
#include <thread>

namespace zorvane::testing {

// Frames of one flat colour each, told apart by their index.
class FakeFrameSource : public FrameSource {
public:
    FakeFrameSource(int frames, double intervalMs) : m_frames(frames), m_intervalMs(intervalMs) {}

    static QColor colourOf(int index) { return QColor((index * 37) % 256, 255 - (index * 11) % 256, 90); }

    int frameCount() const override { return m_frames; }
    int width() const override { return 64; }
    int height() const override { return 48; }
    double frameTimeMs(int index) const override { return index * m_intervalMs; }

    RgbImage frameRgb(int index) override
    {
        if (index < 0 || index >= m_frames || index == failingFrame)
            throw ReaderError(ReaderErrorKind::DecodeFailed, "frame " + std::to_string(index) + " is broken");
        if (index == slowFrame)
            std::this_thread::sleep_for(std::chrono::milliseconds(slowFrameDelayMs));
        ++decoded;
        const QColor colour = colourOf(index);
        RgbImage image{width(), height(), {}};
        for (int i = 0; i < width() * height(); ++i) {
            image.pixels.push_back(static_cast<std::uint8_t>(colour.red()));
            image.pixels.push_back(static_cast<std::uint8_t>(colour.green()));
            image.pixels.push_back(static_cast<std::uint8_t>(colour.blue()));
        }
        return image;
    }

    int failingFrame = -1;
    int slowFrame = -1;
    int slowFrameDelayMs = 0;
    std::atomic<int> decoded = 0;

private:
    int m_frames;
    double m_intervalMs;
};

} // namespace zorvane::testing
