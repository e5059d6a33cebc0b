// FrameFeed: frames decoded ahead are handed over when due, late ones dropped. (The clock
// that says when is exercised by the player's window test.)
#include "tests/video/test_videos.h"
#include "video/frame_feed.h"

#include <atomic>
#include <filesystem>

#include <gtest/gtest.h>

namespace qv {
namespace {

using std::chrono::microseconds;

TEST(FrameFeed, HandsOverTheLatestDueFrameAndDropsTheLateOnes)
{
    const std::string path = std::filesystem::temp_directory_path() / "qv feed test.avi";
    ASSERT_TRUE(test::writeTestVideo(path, test::TestCodec::Ffv1, 3));
    std::atomic<int> wakes = 0;
    FrameFeed feed(
        path, [&] { ++wakes; }, 4);
    // Four frames decoded ahead: 0, 40, 80 and 120 ms (the first of the second pass).
    while (feed.queued() < 4) {
        std::this_thread::yield();
    }
    EXPECT_EQ(wakes, 1); // the first frame found the queue empty
    EXPECT_FALSE(feed.takeDue(microseconds(-1)).has_value());
    EXPECT_EQ(feed.takeDue(microseconds(0))->number, 0);
    EXPECT_EQ(feed.nextTime(), microseconds(40000));
    // At 100 ms frame 2 (80 ms) is due; frame 1 is late and never shown.
    const std::optional<VideoFrame> frame = feed.takeDue(microseconds(100000));
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->number, 2);
    EXPECT_EQ(frame->time, microseconds(80000));
    EXPECT_FALSE(feed.takeDue(microseconds(119999)).has_value());
    EXPECT_EQ(feed.takeDue(microseconds(120000))->number, 0);
    EXPECT_EQ(feed.error(), "");
    std::filesystem::remove(path);
}

TEST(FrameFeed, AFileThatDoesNotOpenWakesWithTheReason)
{
    std::atomic<int> wakes = 0;
    FrameFeed feed("/nonexistent/movie.avi", [&] { ++wakes; });
    while (wakes == 0) {
        std::this_thread::yield();
    }
    EXPECT_NE(feed.error(), "");
    EXPECT_EQ(feed.queued(), 0u);
}

} // namespace
} // namespace qv
