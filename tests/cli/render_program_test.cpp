// quorvalis-render run as a program: its pictures and raw results against the windowed
// program's own render and Save Picture, the renderer it reports, its progress bar and its
// interrupt.
#include "cli/options.h"
#include "palette/palette_file.h"
#include "persistence/parameter_files.h"
#include "tests/cli/cli_test_support.h"
#include "tests/cli/program_runner.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include <QImage>
#include <gtest/gtest.h>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

/// The closing line of a render that was not asked to be quiet.
std::string closingLinePattern(const std::string& size, int threads, const std::string& renderer)
{
    return "^" + size +
           ", [0-9]+\\.[0-9]{3} s, [0-9]+ pixels/s, threads: " + std::to_string(threads) +
           ", renderer: " + renderer + "\n$";
}

void expectSamePicture(const std::string& written, const std::string& reference)
{
    const std::vector<std::uint8_t> a = readBytes(written);
    const std::vector<std::uint8_t> b = readBytes(reference);
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(a, b) << written << " differs from " << reference;
    const QImage x(QString::fromStdString(written));
    const QImage y(QString::fromStdString(reference));
    ASSERT_FALSE(x.isNull());
    EXPECT_EQ(x.size(), y.size());
    EXPECT_TRUE(x.convertToFormat(QImage::Format_RGB32) == y.convertToFormat(QImage::Format_RGB32));
}

TEST(RenderProgram, TheStartViewIsThePictureThatSavePictureWrites)
{
    TempFolder folder;

    const struct
    {
        int threads;
        const char* name;
        const char* renderer;
    } cases[] = {
        {2, "start.png", "threaded"}, {1, "start.jpg", "single"}, {3, "start.bmp", "threaded"}};

    for (const auto& c : cases) {
        const std::string written = folder.file(c.name);
        const ProgramResult r =
            runRenderer({"--size", "48x36", "--threads", std::to_string(c.threads), "-o", written});
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        EXPECT_TRUE(
            std::regex_match(r.err, std::regex(closingLinePattern("48x36", c.threads, c.renderer))))
            << r.err;
        EXPECT_TRUE(r.out.empty());

        GuiSession gui;
        gui.setSizeAndThreads(48, 36, c.threads);
        gui.applyView();
        gui.render();
        const std::string reference = folder.file(std::string("reference_") + c.name);
        ASSERT_TRUE(gui.savePicture(reference));
        expectSamePicture(written, reference);
    }
}

TEST(RenderProgram, RawResultsAreTheKernelResultsBeforeColouring)
{
    TempFolder folder;
    // One worker colours as it goes, several colour at the end: both keep the kernel's counts.
    for (const int threads : {1, 3}) {
        const std::string raw = folder.file("view.qvr");
        const std::string picture = folder.file("view.png");
        const ProgramResult r =
            runRenderer({"--size", "40x30", "--threads", std::to_string(threads), "--iter", "250",
                         "--raw", raw, "-o", picture, "-q"});
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        EXPECT_TRUE(r.err.empty()) << r.err;

        GuiSession gui;
        gui.setSizeAndThreads(40, 30, threads);
        gui.app.view.iterMax = 250;
        gui.applyView();
        const RawResults expected = gui.render();

        const std::optional<RawFile> file = readRawFile(raw);
        ASSERT_TRUE(file.has_value());
        EXPECT_EQ(file->version, 1u);
        EXPECT_EQ(file->results.width, 40);
        EXPECT_EQ(file->results.height, 30);
        EXPECT_TRUE(sameResults(file->results, expected)) << "threads " << threads;
        // Counts, not colours: every one lies in 0..iterMax, and the picture's coloured values
        // are something else.
        for (const std::int32_t count : file->results.counts) {
            ASSERT_GE(count, 0);
            ASSERT_LE(count, 250);
        }
        const std::size_t n = 40 * 30;
        const std::vector<std::int32_t> coloured(gui.app.iterations.counts.begin(),
                                                 gui.app.iterations.counts.begin() + n);
        EXPECT_NE(coloured, file->results.counts);

        const std::string reference = folder.file("reference.png");
        ASSERT_TRUE(gui.savePicture(reference));
        expectSamePicture(picture, reference);
    }
}

TEST(RenderProgram, AWindow1e20WideIsRenderedInDeepPrecision)
{
    TempFolder folder;
    const std::vector<std::string> window{"-0.75", "-0.74999999999999999999", "0.1",
                                          "0.100000000000000000015"};
    const std::string raw = folder.file("deep.qvr");
    const ProgramResult r =
        runRenderer({"--mandelbrot", window[0], window[1], window[2], window[3], "--size", "8x6",
                     "--iter", "60", "--threads", "2", "--raw", raw, "--info"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_TRUE(std::regex_match(r.err, std::regex(closingLinePattern("8x6", 2, "deep")))) << r.err;
    const auto info = infoMap(r.out);
    EXPECT_EQ(info.at("deepZoom"), "1");
    EXPECT_EQ(info.at("deepLimit"), "-21"); // dx = 1e-20 / 8
    EXPECT_EQ(info.at("xmax"), "-7.4999999999999999999e-1");
    EXPECT_EQ(info.at("ymax"), "1.00000000000000000015e-1");

    GuiSession gui;
    gui.setSizeAndThreads(8, 6, 2);
    gui.app.view.iterMax = 60;
    gui.typeWindow(window[0], window[1], window[2], window[3]);
    const RawResults expected = gui.render();
    ASSERT_EQ(gui.app.render.lastRenderer, RendererKind::Deep);
    EXPECT_TRUE(rawFileHolds(raw, expected));
}

TEST(RenderProgram, FastDeepCertifiesTheDeepPictureOnItsClosingLine)
{
    const std::vector<std::string> window{"-0.75", "-0.74999999999999999999", "0.1",
                                          "0.100000000000000000015"};
    const std::vector<std::string> common{"--mandelbrot", window[0], window[1],
                                          window[2],      window[3], "--size",
                                          "32x24",        "--iter",  "300"};
    std::vector<std::string> fast = common;
    fast.push_back("--fast-deep");
    const ProgramResult r = runRenderer(fast);
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.err.find("renderer: deep, fast deep: 100.0% of 256 pixels identical\n"),
              std::string::npos)
        << r.err;
    const ProgramResult exact = runRenderer(common);
    EXPECT_EQ(exact.err.find("fast deep"), std::string::npos) << exact.err;
}

TEST(RenderProgram, AJuliaViewIsDrawnInTheWindowItComesWith)
{
    TempFolder folder;
    const std::string raw = folder.file("julia.qvr");
    const ProgramResult r = runRenderer({"--julia", "-0.8", "0.156", "-1", "1", "-0.75", "0.75",
                                         "--size", "32x24", "--raw", raw, "--info", "-q"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    const auto info = infoMap(r.out);
    EXPECT_EQ(info.at("type"), "Julia");
    EXPECT_EQ(info.at("xmin"), "-1.0e0");
    EXPECT_EQ(info.at("ymax"), "7.5e-1");
    EXPECT_EQ(info.at("cr"), "-8.0e-1");
    EXPECT_EQ(info.at("ci"), "1.56e-1");

    GuiSession gui;
    gui.setSizeAndThreads(32, 24, 2);
    gui.typeJulia("-0.8", "0.156", "-1", "1", "-0.75", "0.75");
    const RawResults expected = gui.render();
    EXPECT_TRUE(rawFileHolds(raw, expected));

    // Without a window the default Julia window is used.
    const ProgramResult plain = runRenderer({"--julia", "0.285", "0.01", "--info"});
    ASSERT_EQ(plain.exitStatus, 0) << plain.err;
    const auto plainInfo = infoMap(plain.out);
    EXPECT_EQ(plainInfo.at("xmin"), "-1.8e0");
    EXPECT_EQ(plainInfo.at("xmax"), "1.8e0");
    EXPECT_EQ(plainInfo.at("ymin"), "-1.8e0");
    EXPECT_EQ(plainInfo.at("ymax"), "1.8e0");
}

TEST(RenderProgram, ThreadsChooseTheRendererAsInTheWindowedProgram)
{
    const struct
    {
        std::vector<std::string> arguments;
        int threads;
        const char* renderer;
    } cases[] = {
        {{"--threads", "1"}, 1, "single"},
        {{"--threads", "2"}, 2, "threaded"},
        // Drawing modes 26..28 need the workers' kernels: one worker, but threaded.
        {{"--threads", "1", "--mode", "27"}, 1, "threaded"},
        // More threads than processors and than rows.
        {{"--threads", "64"}, 64, "threaded"},
    };

    for (const auto& c : cases) {
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.end(), {"--size", "12x9", "--iter", "40"});
        const ProgramResult r = runRenderer(arguments);
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        EXPECT_TRUE(
            std::regex_match(r.err, std::regex(closingLinePattern("12x9", c.threads, c.renderer))))
            << r.err;
    }
}

TEST(RenderProgram, APaletteFileColoursThePictureAsItDoesInTheWindowedProgram)
{
    TempFolder folder;
    const std::string palettePath = folder.file("warm.pal");
    {
        GuiSession maker;
        PaletteState& state = maker.app.paletteState;
        state.parameters = {{200.0f, 40.5f, 10.0f}, {2.5f, 1.25f, 0.75f}, {255.0f, 90.0f, 60.0f}};
        state.options.reverse = true;
        state.paletteOffset = 9;
        maker.app.settings.colourFlags = 5;
        PaletteContext context = paletteContext(maker.app, maker.shell.services);
        ASSERT_TRUE(savePaletteFile(context, palettePath));
    }
    const std::string picture = folder.file("warm.png");
    const ProgramResult r =
        runRenderer({"--palette", palettePath, "--size", "30x20", "-o", picture, "--info", "-q"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    const auto info = infoMap(r.out);
    EXPECT_EQ(info.at("palette"), "200 40.5 10 2.5 1.25 0.75 255 90 60");
    EXPECT_EQ(info.at("paletteOffset"), "9");
    EXPECT_EQ(info.at("colourFlags"), std::to_string(5u | PaletteOptions::kReverseBit));

    GuiSession gui;
    gui.setSizeAndThreads(30, 20, 2);
    PaletteContext context = paletteContext(gui.app, gui.shell.services);
    ASSERT_TRUE(loadPaletteFile(context, palettePath));
    gui.applyView();
    gui.render();
    const std::string reference = folder.file("reference.png");
    ASSERT_TRUE(gui.savePicture(reference));
    expectSamePicture(picture, reference);
}

TEST(RenderProgram, AWithImageFileGivesItsSizeAndNothingIsWrittenBesideIt)
{
    TempFolder folder;
    const std::string path = folder.file("stored.fpi");
    {
        GuiSession maker;
        maker.setRenderedSize(24, 16);
        ASSERT_TRUE(
            saveStandardFileWithImage(maker.app, maker.shell.observer, maker.pictures, path));
        fs::remove(path + ".jpg");
    }
    std::vector<fs::path> before{fs::directory_iterator(folder.path()), {}};
    std::sort(before.begin(), before.end());
    const std::string picture = folder.path() + "out/stored.png";
    fs::create_directories(folder.path() + "out");
    const ProgramResult r = runRenderer({path, "-o", picture});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_TRUE(std::regex_match(r.err, std::regex(closingLinePattern("24x16", 2, "threaded"))))
        << r.err;
    EXPECT_EQ(QImage(QString::fromStdString(picture)).size(), QSize(24, 16));
    // No thumbnail, no backup: the folder of the input holds what it held.
    std::vector<fs::path> after{fs::directory_iterator(folder.path()), {}};
    std::erase(after, fs::path(folder.path() + "out"));
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, before);

    // --size wins over the stored size.
    const ProgramResult sized = runRenderer({path, "--size", "10x5", "--info"});
    ASSERT_EQ(sized.exitStatus, 0) << sized.err;
    EXPECT_EQ(infoMap(sized.out).at("size"), "10x5");
}

TEST(RenderProgram, TheProgressBarIsDrawnOnlyOnATerminal)
{
    // On a terminal: the bar, ending at 100%, then the closing line on a line of its own.
    const ProgramResult terminal = runRenderer({"--size", "64x48", "--threads", "1"}, true);
    ASSERT_EQ(terminal.exitStatus, 0) << terminal.err;
    EXPECT_NE(terminal.err.find("\r[" + std::string(40, '#') + "] 100%"), std::string::npos)
        << terminal.err;
    EXPECT_NE(terminal.err.find("64x48, "), std::string::npos);
    EXPECT_NE(terminal.err.find("renderer: single"), std::string::npos);

    // Quiet on a terminal: nothing at all.
    const ProgramResult quiet = runRenderer({"--size", "64x48", "-q"}, true);
    ASSERT_EQ(quiet.exitStatus, 0);
    EXPECT_EQ(quiet.err, "");

    // Into a pipe: the closing line alone.
    const ProgramResult piped = runRenderer({"--size", "64x48", "--threads", "1"});
    ASSERT_EQ(piped.exitStatus, 0);
    EXPECT_TRUE(std::regex_match(piped.err, std::regex(closingLinePattern("64x48", 1, "single"))))
        << piped.err;
}

TEST(RenderProgram, AnInterruptStopsTheRenderAndWritesNothing)
{
    TempFolder folder;
    const std::string picture = folder.file("never.png");
    const std::string raw = folder.file("never.qvr");
    // Inside the main cardioid every pixel runs to its limit: a row takes a fraction of a
    // second (the single-threaded renderer looks for the interrupt after each row), the whole
    // picture far longer than any test waits. --info is printed before the render starts, so
    // the interrupt finds the render running.
    for (const char* threads : {"1", "2"}) {
        RunningProgram program({"--mandelbrot", "-0.3", "-0.1", "-0.1", "0.1", "--size", "8x10000",
                                "--iter", "1000000", "--threads", threads, "-o", picture, "--raw",
                                raw, "--info"});
        ASSERT_TRUE(program.started());
        ASSERT_TRUE(program.waitForOutput("paletteOffset: ", std::chrono::seconds(60)));
        program.sendSignal(SIGINT);
        const ProgramResult r = program.finish(std::chrono::seconds(60));
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.exitStatus, cli::kExitInterrupted);
        EXPECT_EQ(r.err, "quorvalis-render: interrupted; nothing written\n");
        EXPECT_TRUE(fs::is_empty(folder.path())) << "threads " << threads;
    }
}

TEST(RenderProgram, HelpAndVersion)
{
    const ProgramResult help = runRenderer({"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_EQ(help.out, cli::helpText());
    const ProgramResult version = runRenderer({"--version"});
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_TRUE(std::regex_match(version.out, std::regex("^quorvalis-render [0-9.]+\n$")))
        << version.out;
}

} // namespace
} // namespace qv::test
