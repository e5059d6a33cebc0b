// The conversion end to end: frame folders made here, videos read back through FFmpeg, and
// what stands under the video's name after success, cancellation and failure.
#include "reelbind/converter.h"
#include "reelbind/jpeg_reader.h"
#include "tests/reelbind/test_frames.h"

#include <csignal>
#include <cstdio>
#include <sys/resource.h>

#include <gtest/gtest.h>

namespace qv::reelbind {
namespace {

using test::banded;
using test::ScratchFolder;

/// Answers the codec question, stops after `stopAfter` frames if set, and keeps the notes.
class ScriptedHost final : public ConversionHost
{
public:
    explicit ScriptedHost(std::optional<Codec> answer = Codec::Ffv1) : m_answer(answer) {}

    std::optional<Codec> chooseCodec() override
    {
        ++asked;
        return m_answer;
    }

    bool progress(std::int64_t written, std::int64_t candidates) override
    {
        lastCandidates = candidates;
        return stopAfter < 0 || written < stopAfter;
    }

    void note(std::string_view line) override { notes.emplace_back(line); }

    int asked = 0;
    std::int64_t stopAfter = -1;
    std::int64_t lastCandidates = 0;
    std::vector<std::string> notes;

private:
    std::optional<Codec> m_answer;
};

Picture decodedJpeg(const std::string& path)
{
    std::string error;
    return decodeJpeg(test::readFile(path), error).value_or(Picture{});
}

TEST(Converter, SeventyTwoNumberedJpegsPlayInNameOrderForTwoPointEightEightSeconds)
{
    ScratchFolder frames;
    ScratchFolder out;
    // Written backwards, so that the folder's own order is not the name order by chance.
    for (int n = 9999999; n >= 9999928; --n) {
        const auto level = static_cast<std::uint8_t>((n - 9999928) * 3);
        test::writeFile(frames.file(std::to_string(n) + ".jpg"),
                        test::encodeJpeg(banded(16, 12, level)));
    }
    ScriptedHost host;
    const ConversionResult r = convertFrames(out.file("zoom.avi"), frames.path(), host);
    ASSERT_EQ(r.outcome, Outcome::Written) << r.message;
    EXPECT_EQ(r.frames, 72);
    EXPECT_EQ(host.lastCandidates, 72);
    const test::VideoRead read = test::readVideo(out.file("zoom.avi"));
    EXPECT_EQ(read.framesInHeader, 72);
    EXPECT_DOUBLE_EQ(read.seconds, 2.88);
    ASSERT_EQ(read.frames.size(), 72u);
    for (int i = 0; i < 72; ++i) {
        EXPECT_EQ(read.frames[static_cast<std::size_t>(i)].rgb,
                  decodedJpeg(frames.file(std::to_string(9999928 + i) + ".jpg")).rgb)
            << "frame " << i;
    }
}

TEST(Converter, BmpAndJpegFilesOfAnyCaseAreFramesAndNothingElse)
{
    ScratchFolder frames;
    ScratchFolder out;
    const Picture a = banded(20, 10, 10);
    test::writeFile(frames.file("a.bmp"), test::encodeBmp(a));
    test::writeFile(frames.file("b.JPG"), test::encodeJpeg(banded(20, 10, 100)));
    test::writeFile(frames.file("c.jpeg"), test::encodeJpeg(banded(20, 10, 200)));
    test::writeFile(frames.file("d.png"), test::encodeBmp(banded(20, 10, 250)));
    std::filesystem::create_directory(frames.path() / "e.jpg");
    ScriptedHost host;
    const ConversionResult r = convertFrames(out.file("v.avi"), frames.path(), host);
    ASSERT_EQ(r.outcome, Outcome::Written) << r.message;
    const test::VideoRead read = test::readVideo(out.file("v.avi"));
    ASSERT_EQ(read.frames.size(), 3u);
    EXPECT_EQ(read.frames[0].rgb, a.rgb);
    EXPECT_EQ(read.frames[1].rgb, decodedJpeg(frames.file("b.JPG")).rgb);
    EXPECT_EQ(read.frames[2].rgb, decodedJpeg(frames.file("c.jpeg")).rgb);
    EXPECT_TRUE(host.notes.empty());
}

TEST(Converter, LaterPicturesOfAnotherSizeAreScaledToTheFirst)
{
    ScratchFolder frames;
    ScratchFolder out;
    test::writeFile(frames.file("1.bmp"), test::encodeBmp(banded(40, 30, 60)));
    test::writeFile(frames.file("2.bmp"), test::encodeBmp(banded(80, 60, 60)));
    ScriptedHost host;
    const ConversionResult r = convertFrames(out.file("v.avi"), frames.path(), host);
    ASSERT_EQ(r.outcome, Outcome::Written) << r.message;
    EXPECT_EQ(r.width, 40);
    EXPECT_EQ(r.height, 30);
    const test::VideoRead read = test::readVideo(out.file("v.avi"));
    ASSERT_EQ(read.frames.size(), 2u);
    EXPECT_LT(test::meanDifference(read.frames[1], banded(40, 30, 60)), 6.0);
}

TEST(Converter, AnExistingVideoIsReplacedAndNoOtherFileIsLeft)
{
    ScratchFolder frames;
    test::writeFile(frames.file("1.bmp"), test::encodeBmp(banded(8, 8, 1)));
    test::writeFile(frames.file("old.avi"), {'o', 'l', 'd'});
    ScriptedHost host(Codec::Mjpeg);
    const ConversionResult r = convertFrames(frames.file("old.avi"), frames.path(), host);
    ASSERT_EQ(r.outcome, Outcome::Written) << r.message;
    EXPECT_EQ(test::readVideo(frames.file("old.avi")).frames.size(), 1u);
    EXPECT_EQ(frames.names(), (std::vector<std::string>{"1.bmp", "old.avi"}));
}

TEST(Converter, DamagedJpegsAreSkippedWithANote)
{
    ScratchFolder frames;
    ScratchFolder out;
    const std::vector<std::uint8_t> whole = test::encodeJpeg(banded(32, 32, 50));
    test::writeFile(frames.file("1.jpg"), {whole.begin(), whole.begin() + whole.size() / 2});
    test::writeFile(frames.file("2.jpg"), {'n', 'o', 't', ' ', 'j', 'p', 'e', 'g'});
    test::writeFile(frames.file("3.jpg"), whole);
    ScriptedHost host;
    const ConversionResult r = convertFrames(out.file("v.avi"), frames.path(), host);
    ASSERT_EQ(r.outcome, Outcome::Written) << r.message;
    EXPECT_EQ(r.frames, 1);
    ASSERT_EQ(host.notes.size(), 2u);
    EXPECT_NE(host.notes[0].find("1.jpg"), std::string::npos) << host.notes[0];
    EXPECT_NE(host.notes[1].find("2.jpg"), std::string::npos) << host.notes[1];
}

// What stands under the video's name afterwards, for every way of not making a video.
TEST(Converter, WithoutAVideoTheNameKeepsWhatItHad)
{
    struct Case
    {
        const char* name;
        bool withPicture;
        bool oldVideo;
        std::optional<Codec> answer;
        std::int64_t stopAfter;
        Outcome outcome;
        const char* leftUnderName; // nullptr: no file
    };

    const Case cases[] = {
        {"cancelled codec keeps the old video", true, true, std::nullopt, -1, Outcome::Cancelled,
         "old"},
        {"cancelled codec leaves an empty file", true, false, std::nullopt, -1, Outcome::Cancelled,
         ""},
        {"stopped while writing keeps the old video", true, true, Codec::Ffv1, 1,
         Outcome::Cancelled, "old"},
        {"stopped while writing leaves nothing", true, false, Codec::Ffv1, 1, Outcome::Cancelled,
         nullptr},
        {"no picture keeps the old video", false, true, Codec::Ffv1, -1, Outcome::NoPicture, "old"},
        {"no picture creates nothing", false, false, Codec::Ffv1, -1, Outcome::NoPicture, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder frames;
        ScratchFolder out;
        test::writeFile(frames.file("notes.txt"), {'x'});
        if (c.withPicture) {
            test::writeFile(frames.file("1.bmp"), test::encodeBmp(banded(8, 8, 1)));
            test::writeFile(frames.file("2.bmp"), test::encodeBmp(banded(8, 8, 2)));
        }
        if (c.oldVideo) {
            test::writeFile(out.file("v.avi"), {'o', 'l', 'd'});
        }
        ScriptedHost host(c.answer);
        host.stopAfter = c.stopAfter;
        const ConversionResult r = convertFrames(out.file("v.avi"), frames.path(), host);
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_EQ(host.asked, c.withPicture ? 1 : 0);
        if (c.leftUnderName == nullptr) {
            EXPECT_TRUE(out.names().empty());
        } else {
            EXPECT_EQ(out.names(), std::vector<std::string>{"v.avi"});
            const std::vector<std::uint8_t> bytes = test::readFile(out.file("v.avi"));
            EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.leftUnderName);
        }
    }
}

TEST(Converter, AFolderThatCannotBeReadFailsWithItsName)
{
    ScratchFolder out;
    ScriptedHost host;
    const ConversionResult r = convertFrames(out.file("v.avi"), out.path() / "missing", host);
    EXPECT_EQ(r.outcome, Outcome::Failed);
    EXPECT_NE(r.message.find("missing"), std::string::npos) << r.message;
    EXPECT_TRUE(out.names().empty());
}

// A file size limit makes the writes fail part-way, as a full disk would: the old video must
// survive and the temporary file must go.
TEST(ConverterDeathTest, AWriteFailureLeavesTheOldVideoAndNoTemporaryFile)
{
    ScratchFolder frames;
    ScratchFolder out;
    for (int n = 0; n < 20; ++n) {
        test::writeFile(frames.file(std::to_string(n) + ".bmp"),
                        test::encodeBmp(test::noisy(64, 64, static_cast<std::uint32_t>(n))));
    }
    test::writeFile(out.file("v.avi"), {'o', 'l', 'd'});
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
    EXPECT_EQ(test::readFile(out.file("v.avi")), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
}

TEST(Converter, TheTemporaryFileLiesBesideTheVideoUnderNoVideoOrFrameName)
{
    ScratchFolder out;
    std::string error;
    const std::optional<std::string> made = createTemporaryBeside(out.file("film.avi"), error);
    ASSERT_TRUE(made) << error;
    const std::filesystem::path temporary(*made);
    EXPECT_EQ(temporary.parent_path(), out.path());
    EXPECT_TRUE(temporary.filename().string().starts_with("film.avi."));
    EXPECT_EQ(temporary.extension(), ".part");
    EXPECT_FALSE(createTemporaryBeside(out.file("missing/film.avi"), error));
    EXPECT_NE(error.find("missing"), std::string::npos) << error;
}

} // namespace
} // namespace qv::reelbind
