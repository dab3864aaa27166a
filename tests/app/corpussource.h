#pragma once

#include "player/framesource.h"
#include "trackcorpus.h"

#include <atomic>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace zorvane::testing {

// A video made of a corpus case's frames, then of plain grey ones up to
// `frames` (or of its last frame again, when `holdLast`); one frame may be
// made to fail, and from `blankFrom` on the frames are grey. Counts its
// reads.
class CorpusSource : public FrameSource {
public:
    explicit CorpusSource(const CorpusCase &corpus, int frames = 0)
            : m_corpus(corpus), m_frames(frames ? frames : corpus.frameCount())
    {}

    int frameCount() const override { return m_frames; }
    int width() const override { return m_corpus.width(); }
    int height() const override { return m_corpus.height(); }
    double frameTimeMs(int index) const override { return index * 40.0; }

    RgbImage frameRgb(int index) override
    {
        ++reads;
        if (index == failingFrame || index < 0 || index >= m_frames)
            throw ReaderError(ReaderErrorKind::DecodeFailed, "frame " + std::to_string(index) + " is broken");
        if (holdLast && index >= m_corpus.frameCount())
            return m_corpus.frame(m_corpus.frameCount() - 1);
        if (index >= blankFrom || index >= m_corpus.frameCount())
            return RgbImage{width(), height(),
                            std::vector<std::uint8_t>(static_cast<std::size_t>(width()) * height() * 3, 128)};
        return m_corpus.frame(index);
    }

    int failingFrame = -1;
    int blankFrom = 1 << 30;
    bool holdLast = false;
    std::atomic<int> reads = 0;

private:
    const CorpusCase &m_corpus;
    int m_frames;
};

} // namespace zorvane::testing
