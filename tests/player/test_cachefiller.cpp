#include "player/cachefiller.h"
#include "player/player.h"
#include "support/fakeframesource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <random>
#include <set>
#include <thread>

using namespace zorvane;
using zorvane::testing::FakeFiles;
using zorvane::testing::FakeFrameSource;

namespace {

// A fake with a cache. A fill takes `fillFrameMs` per frame, nearest first,
// from the frame after `index` back over `room` frames; a request for a
// cached frame counts as a hit. Two threads inside the source at once
// count as an overlap: the source is not thread-safe.
class CachingSource : public FakeFrameSource {
public:
    CachingSource(int frames, int room) : FakeFrameSource(frames, 40.0), m_room(room) {}

    RgbImage frameRgb(int index) override
    {
        const Inside inside(*this);
        {
            const std::lock_guard lock(m_mutex);
            if (m_cached.count(index))
                ++hits;
            m_cached.insert(index);
        }
        return FakeFrameSource::frameRgb(index);
    }

    void fillCacheAround(int index, FillReach reach, const std::atomic<bool> &stop) override
    {
        const Inside inside(*this);
        const int lowest = std::max(0, reach == FillReach::Near ? index - 1 : index - m_room);
        ++calls;
        if (reach == FillReach::All)
            ++fills;
        for (int frame = std::min(index + 1, frameCount() - 1); frame >= lowest; --frame) {
            if (stop) {
                ++stopped;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(fillFrameMs.load()));
            const std::lock_guard lock(m_mutex);
            m_cached.insert(frame);
        }
    }

    bool isCached(int index) const
    {
        const std::lock_guard lock(m_mutex);
        return m_cached.count(index) != 0;
    }

    std::size_t cachedCount() const
    {
        const std::lock_guard lock(m_mutex);
        return m_cached.size();
    }

    std::atomic<int> fillFrameMs = 0;
    std::atomic<int> hits = 0;
    std::atomic<int> fills = 0; // of every frame the cache holds
    std::atomic<int> calls = 0; // near ones too
    std::atomic<int> stopped = 0;
    std::atomic<int> overlaps = 0;

private:
    struct Inside {
        explicit Inside(CachingSource &source) : m_source(source)
        {
            if (++m_source.m_inside > 1)
                ++m_source.overlaps;
        }
        ~Inside() { --m_source.m_inside; }
        CachingSource &m_source;
    };

    const int m_room;
    std::atomic<int> m_inside = 0;
    mutable std::mutex m_mutex;
    std::set<int> m_cached;
};

struct Shown : PlayerListener {
    void pictureChanged(RgbImage &&) override {}
    void pictureCleared() override {}
    void stateChanged(PlayerState) override {}
};

// A player on a CachingSource of 250 frames, on a clock moved by hand.
struct Rig {
    explicit Rig(int room = 20, int delayMs = 0) : files(1, 40.0), player(files.opener())
    {
        player.setCacheFillDelay(std::chrono::milliseconds(delayMs));
        auto made = std::make_unique<CachingSource>(250, room);
        source = made.get();
        files.next = std::move(made);
        player.setListener(&shown);
        player.setTimeSource([this] { return nowMs; });
        EXPECT_TRUE(player.open("clip.avi"));
    }

    FakeFiles files;
    CachingSource *source = nullptr;
    Shown shown;
    double nowMs = 0.0;
    Player player;
};

constexpr double kPatienceMs = 10'000;

} // namespace

TEST(CacheFill, BackStepsAfterAJumpAreServedFromTheFilledCache)
{
    Rig rig(20);
    ASSERT_TRUE(rig.player.seek(100));
    ASSERT_TRUE(rig.player.waitForCacheFill(kPatienceMs));
    for (int frame = 80; frame <= 101; ++frame)
        EXPECT_TRUE(rig.source->isCached(frame)) << frame;
    EXPECT_FALSE(rig.source->isCached(79));
    const int hits = rig.source->hits;
    ASSERT_TRUE(rig.player.back());
    ASSERT_TRUE(rig.player.back());
    EXPECT_EQ(rig.player.position(), 98);
    EXPECT_EQ(rig.source->hits, hits + 2);
    // A step forward from the jump was filled too.
    ASSERT_TRUE(rig.player.seek(100));
    EXPECT_EQ(rig.source->hits, hits + 3);
}

TEST(CacheFill, AMoveStopsARunningFillBetweenTwoFrames)
{
    Rig rig(200);
    ASSERT_TRUE(rig.player.waitForCacheFill(kPatienceMs));
    rig.source->fillFrameMs = 20;
    ASSERT_TRUE(rig.player.seek(220));
    while (rig.source->cachedCount() < 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    // Four seconds of filling were asked for; the step does not wait for them.
    ASSERT_TRUE(rig.player.back());
    EXPECT_EQ(rig.player.position(), 219);
    EXPECT_GE(rig.source->stopped, 1);
    EXPECT_LT(rig.source->cachedCount(), 100u);
    rig.source->fillFrameMs = 0;
    ASSERT_TRUE(rig.player.waitForCacheFill(kPatienceMs));
    EXPECT_TRUE(rig.source->isCached(20));
}

TEST(CacheFill, NothingIsFilledWhilePlayingOrSteppingOnAndThePauseFillsAroundWhereItStopped)
{
    Rig rig(10, 300);
    ASSERT_TRUE(rig.player.waitForCacheFill(kPatienceMs));
    const int fills = rig.source->fills;
    // Moves closer together than the delay start no fill in between.
    ASSERT_TRUE(rig.player.seek(100));
    for (int step = 0; step < 3; ++step)
        ASSERT_TRUE(rig.player.step());
    ASSERT_TRUE(rig.player.waitForCacheFill(kPatienceMs));
    EXPECT_EQ(rig.source->fills, fills + 1);
    EXPECT_TRUE(rig.source->isCached(93));
    EXPECT_FALSE(rig.source->isCached(92));
    rig.player.first();
    ASSERT_TRUE(rig.player.play());
    for (int tick = 1; tick <= 5; ++tick) {
        rig.nowMs = tick * 40.0;
        ASSERT_TRUE(rig.player.playDueFrame());
    }
    EXPECT_EQ(rig.source->fills, fills + 1);
    rig.player.pause();
    ASSERT_TRUE(rig.player.waitForCacheFill(kPatienceMs));
    EXPECT_EQ(rig.source->fills, fills + 2);
    EXPECT_TRUE(rig.source->isCached(rig.player.position() + 1));
}

TEST(CacheFill, TheSourceIsNeverUsedByTwoThreadsAtOnce)
{
    Rig rig(15);
    rig.source->fillFrameMs = 1;
    std::mt19937 random(7);
    for (int move = 0; move < 300; ++move) {
        switch (random() % 5) {
        case 0: rig.player.seek(static_cast<int>(random() % 250)); break;
        case 1: rig.player.back(); break;
        case 2: rig.player.step(); break;
        case 3:
            rig.player.play();
            rig.nowMs += 80.0;
            rig.player.playDueFrame();
            break;
        default: rig.player.pause(); std::this_thread::sleep_for(std::chrono::milliseconds(random() % 3));
        }
    }
    ASSERT_TRUE(rig.player.waitForCacheFill(kPatienceMs));
    EXPECT_GT(rig.source->calls, 10);
    EXPECT_EQ(rig.source->overlaps, 0);
}

TEST(CacheFiller, AClaimDropsTheRequestAndHoldsTheFillOff)
{
    CachingSource source(250, 50);
    source.fillFrameMs = 5;
    CacheFiller filler(source);
    {
        const std::unique_lock<std::mutex> held = filler.claim();
        filler.fillAround(120);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(source.fills, 0) << "the fill waits for the source";
    }
    ASSERT_TRUE(filler.waitUntilIdle(std::chrono::milliseconds(10'000)));
    EXPECT_EQ(filler.completedCount(), 1);
    EXPECT_TRUE(source.isCached(70));

    filler.fillAround(200);
    filler.fillAround(30);
    ASSERT_TRUE(filler.waitUntilIdle(std::chrono::milliseconds(10'000)));
    EXPECT_TRUE(source.isCached(0));
    EXPECT_EQ(source.overlaps, 0);
}
