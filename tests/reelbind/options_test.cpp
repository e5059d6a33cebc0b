// The converter's command line, when it may show dialogs, and its progress bar.
#include "reelbind/console_host.h"
#include "reelbind/options.h"
#include "tests/reelbind/test_frames.h"

namespace qv::reelbind {
namespace {

TEST(ReelbindOptions, PathsCodecAndQuietInAnyOrderAndOnlyPathsAfterTwoDashes)
{
    std::string error;
    const std::vector<std::string> line = {"--codec", "ffv1", "film", "-q", "--", "-frames"};
    const Options o = parseOptions(line, error).value_or(Options{});
    EXPECT_EQ(o.video, "film");
    EXPECT_EQ(o.frames, "-frames");
    EXPECT_EQ(o.codec, Codec::Ffv1);
    EXPECT_TRUE(o.quiet && !o.help);
    EXPECT_EQ(parseOptions(std::vector<std::string>{"--codec=raw"}, error)->codec, Codec::Raw);
}

TEST(ReelbindOptions, WrongCommandLinesAreRefusedWithAReason)
{
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"--codec"}, "needs a name"},
        {{"--codec", "h264"}, "unknown codec \"h264\""},
        {{"--fast"}, "unknown option --fast"},
        {{"a", "b", "c"}, "too many arguments"},
    };
    for (const auto& [arguments, reason] : cases) {
        std::string error;
        EXPECT_FALSE(parseOptions(arguments, error));
        EXPECT_NE(error.find(reason), std::string::npos) << error;
    }
}

TEST(ReelbindOptions, DialogsNeedADisplayThatQtDrawsOn)
{
    EXPECT_TRUE(dialogsPossible(":0", nullptr, nullptr));
    EXPECT_TRUE(dialogsPossible(nullptr, "wayland-0", "xcb"));
    EXPECT_FALSE(dialogsPossible(nullptr, nullptr, nullptr));
    EXPECT_FALSE(dialogsPossible("", "", nullptr));
    EXPECT_FALSE(dialogsPossible(":0", nullptr, "offscreen"));
    EXPECT_FALSE(dialogsPossible(":0", nullptr, "minimal"));
}

TEST(ConsoleHost, TheBarCountsFramesAndAnInterruptStops)
{
    EXPECT_EQ(progressBar(0, 72, 8), "[........]  0/72 frames");
    EXPECT_EQ(progressBar(36, 72, 8), "[####....] 36/72 frames");
    EXPECT_EQ(progressBar(5, 0, 4), "[....] 0/0 frames");
    std::atomic<int> interrupted{0};
    ConsoleHost host(Codec::Mpeg4, nullptr, stderr, interrupted);
    EXPECT_EQ(host.chooseCodec(), Codec::Mpeg4);
    EXPECT_TRUE(host.progress(1, 2));
    interrupted = 1;
    EXPECT_FALSE(host.progress(2, 2));
}

} // namespace
} // namespace qv::reelbind
