// The conversion end to end: frame folders made here, videos read back through FFmpeg, and
// what stands under the video's name after success, cancellation and failure.
#include "reelbind/converter.h"
#include "reelbind/jpeg_reader.h"
#include "tests/reelbind/test_frames.h"

#include <csignal>
#include <sys/resource.h>

namespace qv::reelbind {
namespace {

using test::banded;

/// Answers the codec question, stops after `stopAfter` frames if set, and keeps the notes.
struct ScriptedHost final : ConversionHost
{
    explicit ScriptedHost(std::optional<Codec> a = Codec::Ffv1) : answer(a) {}

    std::optional<Codec> chooseCodec() override { return ++asked, answer; }

    bool progress(std::int64_t written, std::int64_t) override
    {
        return stopAfter < 0 || written < stopAfter;
    }

    void note(std::string_view line) override { notes.emplace_back(line); }

    std::optional<Codec> answer;
    int asked = 0;
    std::int64_t stopAfter = -1;
    std::vector<std::string> notes;
};

std::vector<std::uint8_t> decodedJpeg(const std::string& path)
{
    std::string error;
    return decodeJpeg(test::readBytes(path), error).value_or(Picture{}).rgb;
}

TEST(Converter, SeventyTwoNumberedJpegsPlayInNameOrderForTwoPointEightEightSeconds)
{
    test::ScratchFolder frames;
    test::ScratchFolder out;
    // Written backwards, so that the folder's own order is not the name order by chance.
    for (int n = 9999999; n >= 9999928; --n) {
        test::writeBytes(frames.file(std::to_string(n) + ".jpg"),
                         test::encodeJpeg(banded(16, 12, std::uint8_t((n - 9999928) * 3))));
    }
    ScriptedHost host;
    const ConversionResult r = convertFrames(out.file("zoom.avi"), frames.path(), host);
    ASSERT_EQ(r.outcome, Outcome::Written) << r.message;
    EXPECT_EQ(r.frames, 72);
    const test::VideoRead read = test::readVideo(out.file("zoom.avi"));
    EXPECT_EQ(read.framesInHeader, 72);
    EXPECT_DOUBLE_EQ(read.seconds, 2.88);
    ASSERT_EQ(read.frames.size(), 72u);
    for (std::size_t i = 0; i < 72; ++i) {
        EXPECT_EQ(read.frames[i].rgb,
                  decodedJpeg(frames.file(std::to_string(9999928 + i) + ".jpg")))
            << i;
    }
}

TEST(Converter, BmpAndJpegOfAnyCaseAreFramesOthersAndDamagedOnesNot)
{
    test::ScratchFolder frames;
    const std::vector<std::uint8_t> jpeg = test::encodeJpeg(banded(40, 30, 100));
    test::writeBytes(frames.file("a.bmp"), test::encodeBmp(banded(20, 10, 10)));
    test::writeBytes(frames.file("b.JPG"), jpeg);
    test::writeBytes(frames.file("c.jpeg"), test::encodeJpeg(banded(20, 10, 200)));
    test::writeBytes(frames.file("d.png"), test::encodeBmp(banded(20, 10, 250)));
    test::writeBytes(frames.file("e.jpg"), {jpeg.begin(), jpeg.begin() + 400});
    test::writeBytes(frames.file("f.jpg"), {'n', 'o', 't'});
    std::filesystem::create_directory(frames.path() / "g.jpg");
    test::writeBytes(frames.file("v.avi"), {'o', 'l', 'd'});
    ScriptedHost host;
    const ConversionResult r = convertFrames(frames.file("v.avi"), frames.path(), host);
    ASSERT_EQ(r.outcome, Outcome::Written) << r.message;
    const test::VideoRead read = test::readVideo(frames.file("v.avi"));
    ASSERT_EQ(read.frames.size(), 3u);
    EXPECT_EQ(read.frames[0].rgb, banded(20, 10, 10).rgb);
    // b.JPG is twice the size: scaled down to the first picture's.
    EXPECT_LT(test::meanDifference(read.frames[1], banded(20, 10, 100)), 6.0);
    EXPECT_EQ(read.frames[2].rgb, decodedJpeg(frames.file("c.jpeg")));
    ASSERT_EQ(host.notes.size(), 2u);
    EXPECT_TRUE(host.notes[0].starts_with("skipped " + frames.file("e.jpg"))) << host.notes[0];
    EXPECT_TRUE(host.notes[1].starts_with("skipped " + frames.file("f.jpg"))) << host.notes[1];
    // The old video is replaced, and no temporary file is left beside it.
    EXPECT_EQ(frames.names(), (std::vector<std::string>{"a.bmp", "b.JPG", "c.jpeg", "d.png",
                                                        "e.jpg", "f.jpg", "g.jpg", "v.avi"}));
}

TEST(Converter, WithoutAVideoTheNameKeepsWhatItHad)
{
    const struct
    {
        const char* name;
        bool pictures;
        bool oldVideo;
        std::optional<Codec> answer;
        std::int64_t stopAfter;
        Outcome outcome;
        const char* left; // under the video's name; nullptr: nothing
    } cases[] = {
        {"codec cancelled", true, true, std::nullopt, -1, Outcome::Cancelled, "old"},
        {"codec cancelled, no video", true, false, std::nullopt, -1, Outcome::Cancelled, ""},
        {"stopped", true, true, Codec::Ffv1, 1, Outcome::Cancelled, "old"},
        {"stopped, no video", true, false, Codec::Ffv1, 1, Outcome::Cancelled, nullptr},
        {"no picture", false, true, Codec::Ffv1, -1, Outcome::NoPicture, "old"},
        {"no picture, no video", false, false, Codec::Ffv1, -1, Outcome::NoPicture, nullptr},
    };

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::ScratchFolder frames;
        test::ScratchFolder out;
        for (int n = 1; c.pictures && n <= 2; ++n) {
            test::writeBytes(frames.file(std::to_string(n) + ".bmp"),
                             test::encodeBmp(banded(8, 8, 1)));
        }
        if (c.oldVideo) {
            test::writeBytes(out.file("v.avi"), {'o', 'l', 'd'});
        }
        ScriptedHost host(c.answer);
        host.stopAfter = c.stopAfter;
        EXPECT_EQ(convertFrames(out.file("v.avi"), frames.path(), host).outcome, c.outcome);
        EXPECT_EQ(host.asked, c.pictures ? 1 : 0);
        EXPECT_EQ(out.names(),
                  c.left ? std::vector<std::string>{"v.avi"} : std::vector<std::string>{});
        const std::vector<std::uint8_t> bytes = test::readBytes(out.file("v.avi"));
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.left ? c.left : "");
    }
}

// A file size limit makes the writes fail part-way, as a full disk would.
TEST(ConverterDeathTest, AWriteFailureLeavesTheOldVideoAndNoTemporaryFile)
{
    test::ScratchFolder frames;
    test::ScratchFolder out;
    for (std::uint32_t n = 0; n < 20; ++n) {
        test::writeBytes(frames.file(std::to_string(n) + ".bmp"),
                         test::encodeBmp(test::noisy(64, 64, n)));
    }
    test::writeBytes(out.file("v.avi"), {'o', 'l', 'd'});
    const auto convertUnderLimit = [&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit = {40000, 40000};
        setrlimit(RLIMIT_FSIZE, &limit);
        ScriptedHost host(Codec::Raw);
        const ConversionResult r = convertFrames(out.file("v.avi"), frames.path(), host);
        std::fprintf(stderr, "%s\n", r.message.c_str());
        std::exit(r.outcome == Outcome::Failed ? 3 : 0);
    };
    EXPECT_EXIT(convertUnderLimit(), ::testing::ExitedWithCode(3), "cannot write the video");
    EXPECT_EQ(out.names(), std::vector<std::string>{"v.avi"});
    EXPECT_EQ(test::readBytes(out.file("v.avi")), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
}

TEST(Converter, TheTemporaryFileLiesBesideTheVideoUnderNoVideoOrFrameName)
{
    test::ScratchFolder out;
    std::string error;
    const std::filesystem::path made =
        createTemporaryBeside(out.file("film.avi"), error).value_or("");
    EXPECT_EQ(made.parent_path(), out.path());
    EXPECT_TRUE(made.filename().string().starts_with("film.avi.")) << made;
    EXPECT_EQ(made.extension(), ".part");
    EXPECT_FALSE(createTemporaryBeside(out.file("gone/film.avi"), error));
    EXPECT_NE(error.find("gone"), std::string::npos) << error;
}

} // namespace
} // namespace qv::reelbind
