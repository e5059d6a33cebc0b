// The converter's command line, when it may show dialogs, and its progress bar.
#include "reelbind/console_host.h"
#include "reelbind/options.h"

#include <gtest/gtest.h>

namespace qv::reelbind {
namespace {

std::optional<Options> parsed(std::vector<std::string> arguments, std::string& error)
{
    return parseOptions(arguments, error);
}

TEST(ReelbindOptions, PathsCodecAndQuietInAnyOrder)
{
    std::string error;
    const auto o = parsed({"--codec", "ffv1", "film", "-q", "frames/"}, error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->video, "film");
    EXPECT_EQ(o->frames, "frames/");
    EXPECT_EQ(o->codec, Codec::Ffv1);
    EXPECT_TRUE(o->quiet);
    EXPECT_FALSE(o->help);

    const auto bare = parsed({}, error);
    ASSERT_TRUE(bare);
    EXPECT_FALSE(bare->video || bare->frames || bare->codec || bare->quiet);

    const auto dashed = parsed({"--codec=raw", "--", "-film", "--quiet"}, error);
    ASSERT_TRUE(dashed) << error;
    EXPECT_EQ(dashed->codec, Codec::Raw);
    EXPECT_EQ(dashed->video, "-film");
    EXPECT_EQ(dashed->frames, "--quiet");
    EXPECT_FALSE(dashed->quiet);
}

TEST(ReelbindOptions, WrongCommandLinesAreRefusedWithAReason)
{
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"--codec"}, "needs a name"},           {{"--codec", "h264"}, "unknown codec \"h264\""},
        {{"--codec="}, "unknown codec"},         {{"--fast"}, "unknown option --fast"},
        {{"a", "b", "c"}, "too many arguments"},
    };
    for (const auto& [arguments, reason] : cases) {
        std::string error;
        EXPECT_FALSE(parsed(arguments, error));
        EXPECT_NE(error.find(reason), std::string::npos) << error;
    }
}

TEST(ReelbindOptions, DialogsNeedADisplayThatQtDrawsOn)
{
    struct Case
    {
        const char* display;
        const char* wayland;
        const char* platform;
        bool possible;
    };

    const Case cases[] = {
        {":0", nullptr, nullptr, true},      {nullptr, "wayland-0", nullptr, true},
        {nullptr, nullptr, nullptr, false},  {"", "", "xcb", false},
        {":0", nullptr, "offscreen", false}, {":0", nullptr, "minimal", false},
        {":0", nullptr, "xcb", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dialogsPossible(c.display, c.wayland, c.platform), c.possible)
            << (c.display ? c.display : "-") << " " << (c.platform ? c.platform : "-");
    }
}

TEST(ReelbindOptions, HelpNamesEveryOptionAndCodec)
{
    const std::string_view help = helpText();
    for (const char* word : {"--codec", "--quiet", "--help", "mjpeg", "mpeg4", "ffv1", "raw",
                             "Save AVI", "Select images directory", "Exit status"}) {
        EXPECT_NE(help.find(word), std::string_view::npos) << word;
    }
}

TEST(ConsoleHost, TheBarCountsFrames)
{
    EXPECT_EQ(progressBar(0, 72, 8), "[........]  0/72 frames");
    EXPECT_EQ(progressBar(36, 72, 8), "[####....] 36/72 frames");
    EXPECT_EQ(progressBar(72, 72, 8), "[########] 72/72 frames");
    EXPECT_EQ(progressBar(5, 0, 4), "[....] 0/0 frames");
}

TEST(ConsoleHost, AnswersItsCodecAndStopsOnAnInterrupt)
{
    std::atomic<int> interrupted{0};
    std::FILE* sink = std::tmpfile();
    ConsoleHost host(Codec::Mpeg4, sink, sink, interrupted);
    EXPECT_EQ(host.chooseCodec(), Codec::Mpeg4);
    EXPECT_TRUE(host.progress(1, 2));
    interrupted = 1;
    EXPECT_FALSE(host.progress(2, 2));
    host.note("skipped x.jpg");
    std::rewind(sink);
    char text[200] = {};
    const std::size_t read = std::fread(text, 1, sizeof text - 1, sink);
    // Built piece by piece: GCC 12 warns wrongly about a literal + string chain here.
    std::string expected = "\r";
    expected.append(progressBar(1, 2)).append("\r").append(progressBar(2, 2));
    expected.append("\nreelbind: skipped x.jpg\n");
    EXPECT_EQ(std::string(text, read), expected);
    std::fclose(sink);
}

} // namespace
} // namespace qv::reelbind
