// FrameFeed and PlaybackClock: frames decoded ahead are handed over when due, late ones
// dropped; the clock's position runs, holds while paused and goes on from where it held.
#include "tests/video/test_videos.h"
#include "video/frame_feed.h"

#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>

#include <gtest/gtest.h>

namespace qv {
namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;
using Clock = PlaybackClock::Clock;

TEST(PlaybackClock, RunsHoldsAndGoesOnFromWhereItHeld)
{
    const Clock::time_point t0{};
    PlaybackClock clock;
    EXPECT_FALSE(clock.running());
    EXPECT_EQ(clock.position(t0 + milliseconds(500)), microseconds(0));

    struct Step
    {
        const char* action; // "start", "pause" or "" (only read)
        milliseconds at;
        microseconds position; // after the action
    };

    const Step steps[] = {
        {"start", milliseconds(1000), microseconds(0)},
        {"", milliseconds(1040), microseconds(40000)},
        {"pause", milliseconds(1100), microseconds(100000)},
        {"", milliseconds(9000), microseconds(100000)},
        {"start", milliseconds(9000), microseconds(100000)},
        {"", milliseconds(9250), microseconds(350000)},
    };
    for (const Step& s : steps) {
        const Clock::time_point now = t0 + s.at;
        if (std::string_view(s.action) == "start") {
            clock.start(now, clock.position(now));
        } else if (std::string_view(s.action) == "pause") {
            clock.pause(now);
        }
        EXPECT_EQ(clock.position(now), s.position) << s.action << " at " << s.at.count();
    }
    EXPECT_EQ(clock.when(microseconds(400000)), t0 + milliseconds(9300));
}

struct Woken
{
    std::mutex mutex;
    std::condition_variable cv;
    int count = 0;

    void wake()
    {
        std::lock_guard lock(mutex);
        ++count;
        cv.notify_all();
    }
};

TEST(FrameFeed, HandsOverTheLatestDueFrameAndDropsTheLateOnes)
{
    const std::string path = (std::filesystem::temp_directory_path() / "qv feed test.avi").string();
    ASSERT_TRUE(test::writeTestVideo(path, test::TestCodec::Ffv1, 3));
    auto decoder = std::make_unique<MovieDecoder>();
    std::string error;
    ASSERT_TRUE(decoder->open(path, error)) << error;
    Woken woken;
    FrameFeed feed(
        std::move(decoder), [&] { woken.wake(); }, 4);
    {
        std::unique_lock lock(woken.mutex);
        woken.cv.wait(lock, [&] { return woken.count > 0; });
    }
    // Wait for the queue to fill: four frames at 0, 40, 80 and 120 ms.
    while (feed.queued() < 4) {
        std::this_thread::yield();
    }
    EXPECT_FALSE(feed.takeDue(microseconds(-1)).has_value());
    std::optional<VideoFrame> frame = feed.takeDue(microseconds(0));
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->number, 0);
    EXPECT_EQ(feed.nextTime(), microseconds(40000));
    // At 100 ms frame 2 (80 ms) is due; frame 1 is late and never shown.
    frame = feed.takeDue(microseconds(100000));
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->number, 2);
    EXPECT_EQ(frame->time, microseconds(80000));
    EXPECT_EQ(feed.nextTime(), microseconds(120000));
    EXPECT_FALSE(feed.takeDue(microseconds(119999)).has_value());
    // The loop's first frame again, at its continuing time.
    frame = feed.takeDue(microseconds(120000));
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->number, 0);
    EXPECT_EQ(feed.error(), "");
    std::filesystem::remove(path);
}

} // namespace
} // namespace qv
