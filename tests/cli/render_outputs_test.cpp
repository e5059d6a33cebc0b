// quorvalis-render's outputs at the edges: signals arriving while they are written, names as
// long as the system allows, targets that cannot take them, --info on a huge with-image file
// and the warnings for values the loaders accept without sense.
#include "cli/raw_file.h"
#include "persistence/parameter_files.h"
#include "tests/cli/cli_test_support.h"
#include "tests/cli/program_runner.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

/// Makes the program wait at a step of its output writing, for as long as it lives.
class HoldAt
{
public:
    explicit HoldAt(const std::string& step)
    {
        ::setenv("QUORVALIS_RENDER_TEST_HOLD", step.c_str(), 1);
    }

    HoldAt(const HoldAt&) = delete;
    HoldAt& operator=(const HoldAt&) = delete;

    ~HoldAt() { ::unsetenv("QUORVALIS_RENDER_TEST_HOLD"); }
};

std::vector<std::string> temporariesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(".qv-")) {
            names.push_back(name);
        }
    }
    return names;
}

/// The picture's width from its PNG header and the raw file's width: a pair written by one
/// run has the same width in both.
std::pair<std::int64_t, std::int64_t> widths(const std::string& png, const std::string& raw)
{
    const std::vector<std::uint8_t> p = readBytes(png);
    const std::vector<std::uint8_t> r = readBytes(raw);
    if (p.size() < 24 || r.size() < 16) {
        return {-1, -1};
    }
    const std::int64_t pictureWidth = (p[16] << 24) | (p[17] << 16) | (p[18] << 8) | p[19];
    return {pictureWidth, littleEndian32(r, 8)};
}

ProgramResult renderPair(const std::string& png, const std::string& raw, const char* size)
{
    return runRenderer({"--size", size, "-q", "-o", png, "--raw", raw});
}

TEST(RenderOutputs, ASignalWhileTheOutputsAreWrittenLeavesAllOldOrAllNewAndNoTemporary)
{
    TempFolder folder;
    const std::string png = folder.file("out.png");
    const std::string raw = folder.file("out.qvr");

    struct Case
    {
        std::string step;
        std::int64_t widthAfter; ///< 32: the old pair, 48: the new one
    };

    // write:N holds halfway through the Nth output; name:1 between the first rename and the
    // second, where a signal waits until both have their names.
    const Case cases[] = {{"write:1", 32}, {"write:2", 32}, {"name:1", 48}};
    for (const Case& c : cases) {
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            SCOPED_TRACE(c.step + " signal " + std::to_string(signal));
            ASSERT_EQ(renderPair(png, raw, "32x24").exitStatus, 0);
            const HoldAt hold(c.step);
            RunningProgram program({"--size", "48x36", "-q", "-o", png, "--raw", raw});
            ASSERT_TRUE(program.waitForError("hold: " + c.step + "\n", std::chrono::seconds(60)));
            program.sendSignal(signal);
            const ProgramResult r = program.finish(std::chrono::seconds(60));
            if (c.widthAfter == 32) {
                EXPECT_EQ(r.exitStatus, 128 + signal);
                EXPECT_EQ(r.err,
                          "hold: " + c.step + "\nquorvalis-render: interrupted; nothing written\n");
            } else {
                EXPECT_EQ(r.exitStatus, 0) << r.err;
            }
            EXPECT_EQ(widths(png, raw), std::make_pair(c.widthAfter, c.widthAfter));
            EXPECT_TRUE(temporariesIn(folder.path()).empty());
        }
    }
}

TEST(RenderOutputs, ASecondSignalEndsAtOnceAndAKilledRunsTemporariesGoWithTheNextRun)
{
    TempFolder folder;
    const std::string png = folder.file("out.png");
    const std::string raw = folder.file("out.qvr");
    ASSERT_EQ(renderPair(png, raw, "32x24").exitStatus, 0);
    {
        // Inside the main cardioid a row of 8 pixels takes a second or more: the single-threaded
        // renderer is still in its first row when the second signal ends the program, while
        // its outputs' temporaries exist.
        RunningProgram program({"--mandelbrot", "-0.3", "-0.1", "-0.1", "0.1", "--size", "8x100",
                                "--iter", "100000000", "--threads", "1", "-o", png, "--raw", raw,
                                "--info"});
        ASSERT_TRUE(program.waitForOutput("paletteOffset: ", std::chrono::seconds(60)));
        EXPECT_EQ(temporariesIn(folder.path()).size(), 2u);
        program.sendSignal(SIGTERM);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        program.sendSignal(SIGTERM);
        const ProgramResult r = program.finish(std::chrono::seconds(60));
        EXPECT_EQ(r.exitStatus, 143);
        EXPECT_EQ(r.err, "quorvalis-render: interrupted again; stopped at once\n");
        EXPECT_TRUE(temporariesIn(folder.path()).empty());
    }
    {
        const HoldAt hold("write:2");
        RunningProgram program({"--size", "48x36", "-q", "-o", png, "--raw", raw});
        ASSERT_TRUE(program.waitForError("hold: write:2\n", std::chrono::seconds(60)));
        program.sendSignal(SIGKILL);
        EXPECT_EQ(program.finish().signal, SIGKILL);
    }
    EXPECT_EQ(temporariesIn(folder.path()).size(), 2u);
    EXPECT_EQ(widths(png, raw), std::make_pair(std::int64_t{32}, std::int64_t{32}));
    // A temporary of a running program, or of another output, is not touched.
    const std::string foreign = folder.file(".qv-00000000-1-0.tmp");
    writeBytes(foreign, {1});
    ASSERT_EQ(renderPair(png, raw, "48x36").exitStatus, 0);
    EXPECT_EQ(temporariesIn(folder.path()), std::vector<std::string>{".qv-00000000-1-0.tmp"});
    EXPECT_EQ(widths(png, raw), std::make_pair(std::int64_t{48}, std::int64_t{48}));
}

TEST(RenderOutputs, AnInterruptedMovieSliceLeavesWholeFramesOnly)
{
    TempFolder folder;
    const HoldAt hold("frame:1");
    RunningProgram program(
        {"--size", "32x24", "-q", "--movie-frames", "0..3", "--out", folder.path()});
    ASSERT_TRUE(program.waitForError("hold: frame:1\n", std::chrono::seconds(60)));
    program.sendSignal(SIGHUP);
    const ProgramResult r = program.finish(std::chrono::seconds(60));
    EXPECT_EQ(r.exitStatus, 129);
    EXPECT_EQ(r.err, "hold: frame:1\nquorvalis-render: interrupted; 1 whole frames written\n");
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.path())) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"9999999.jpg"});
}

TEST(RenderOutputs, TheLongestLegalNameIsWrittenAndUnwritableTargetsFailBeforeTheRender)
{
    TempFolder folder;
    const std::string longest = folder.file(std::string(251, 'n') + ".png");
    const ProgramResult written = runRenderer({"--size", "32x24", "-q", "-o", longest});
    EXPECT_EQ(written.exitStatus, 0) << written.err;
    EXPECT_TRUE(fs::is_regular_file(longest));

    struct Case
    {
        std::vector<std::string> output;
        std::string error;
    };

    const std::string tooLong = folder.file(std::string(256, 'n') + ".png");
    const Case cases[] = {
        {{"--raw", "/dev/full"}, "cannot write '/dev/full': No space left on device"},
        {{"-o", tooLong}, "cannot write '" + tooLong + "': File name too long"},
    };
    for (const Case& c : cases) {
        // A render of this size takes minutes: the refusal must come before it.
        std::vector<std::string> arguments{"--mandelbrot", "-0.3",      "-0.1",   "-0.1",   "0.1",
                                           "--size",       "2000x2000", "--iter", "1000000"};
        arguments.insert(arguments.end(), c.output.begin(), c.output.end());
        const auto start = std::chrono::steady_clock::now();
        const ProgramResult r = runRenderer(arguments);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
        EXPECT_EQ(r.exitStatus, 2);
        EXPECT_EQ(r.err, "quorvalis-render: " + c.error + "\n");
    }
}

TEST(RenderOutputs, AFifoIsWrittenInPlace)
{
    TempFolder folder;
    const std::string fifo = folder.file("pipe.qvr");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    RunningProgram program({"--size", "32x24", "-q", "--raw", fifo});
    const std::vector<std::uint8_t> bytes = readBytes(fifo);
    EXPECT_EQ(program.finish().exitStatus, 0);
    EXPECT_EQ(bytes.size(), cli::kRawHeaderBytes + 3u * 32u * 24u * 4u);
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(temporariesIn(folder.path()).empty());
}

TEST(RenderOutputs, InfoOnAHugeWithImageFileReadsNoPicture)
{
    TempFolder folder;
    GuiSession session;
    session.setRenderedSize(8, 6);
    const std::string small = folder.file("small.fpi");
    ASSERT_TRUE(
        saveStandardFileWithImage(session.app, session.shell.observer, session.pictures, small));
    // The same file with a stored picture of 16384 x 16384: a gigabyte, sparse on disk.
    std::vector<std::uint8_t> bytes = readBytes(small);
    const std::size_t sizeAt = bytes.size() - 4 * 10 * 8 - 8;
    for (std::size_t i = 0; i < 8; ++i) {
        bytes[sizeAt + i] = static_cast<std::uint8_t>(i % 4 == 1 ? 0x40 : 0);
    }
    bytes.resize(sizeAt + 8);
    const std::string huge = folder.file("huge.fpi");
    writeBytes(huge, bytes);
    fs::resize_file(huge, sizeAt + 8 + 4ull * 16386 * 16386);

    const ProgramResult r = runRenderer({"--info", huge});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.out.find("size: 16384x16384\n"), std::string::npos) << r.out;
    EXPECT_LT(r.maxResidentKb, 64 * 1024);

    // One byte short: refused from the length alone.
    fs::resize_file(huge, sizeAt + 8 + 4ull * 16386 * 16386 - 1);
    const ProgramResult cut = runRenderer({"--info", huge});
    EXPECT_EQ(cut.exitStatus, 2);
    EXPECT_LT(cut.maxResidentKb, 64 * 1024);
}

TEST(RenderOutputs, ImplausibleValuesOfAFileAreWarnedAbout)
{
    constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();

    struct Case
    {
        const char* name;
        void (*change)(AppState&);
        std::string warning;
    };

    const Case cases[] = {
        {"bailout", [](AppState& a) { a.view.bailout = kNan; },
         "bailout is nan, not a finite number"},
        {"pot", [](AppState& a) { a.view.potValue = -kInf; },
         "potValue is -inf, not a finite number"},
        {"palette",
         [](AppState& a) {
             a.paletteState.parameters.step[1] = std::numeric_limits<float>::quiet_NaN();
         },
         "palette step 2 is nan, not a finite number"},
        {"inverted",
         [](AppState& a) {
             a.view.mandelbrot.xmin.ext = 1.0L;
             a.view.mandelbrot.xmax.ext = -1.0L;
         },
         "the window is inverted: xmin 1.0e0 is above xmax -1.0e0"},
        {"empty",
         [](AppState& a) { a.view.mandelbrot.ymax.ext = a.view.mandelbrot.ymin.ext = 0.5L; },
         "the window is empty: ymin and ymax are both 5.0e-1"},
        {"infinite", [](AppState& a) { a.view.mandelbrot.xmin.ext = -kInf; },
         "xmin in the file is -inf, not a number the view can take: the value it had before "
         "loading stays (the start-up window's, in a program just started)"},
        {"low", [](AppState& a) { a.view.iterMax = 2; },
         "iterMax 2 is below 3; the render counts to 3"},
        {"slow",
         [](AppState& a) {
             a.view.iterMax = 2000000000;
             a.view.mandelbrot.xmin.ext = -0.3L;
             a.view.mandelbrot.xmax.ext = -0.1L;
             a.view.mandelbrot.ymin.ext = -0.1L;
             a.view.mandelbrot.ymax.ext = 0.1L;
         },
         "iterMax 2000000000 at 640x480: the render may take about "},
    };
    TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GuiSession session;
        c.change(session.app);
        const std::string path = folder.file(std::string(c.name) + ".fra");
        ASSERT_TRUE(saveStandardFile(session.app, session.pictures, path));
        const ProgramResult r = runRenderer({"--info", path});
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_TRUE(r.err.starts_with("quorvalis-render: warning: " + c.warning)) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        const std::size_t last = r.out.rfind("paletteOffset: ");
        ASSERT_NE(last, std::string::npos);
        EXPECT_EQ(r.out.find("\nwarning: " + c.warning, last), r.out.find('\n', last)) << r.out;
    }
}

} // namespace
} // namespace qv::test
