// Start-up without windows: start values, picture size, processor count, the default view,
// resetCoordinates and the command-line argument.
#include "app/startup.h"
#include "tests/support/recording_observer.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/test_shell.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gmp.h>
#include <gtest/gtest.h>

namespace qv {
namespace {

using test::RecordingObserver;
using test::ScriptedPrompts;
using test::TestShell;

TEST(StartUp, StartValuesAreThoseOfTheTables)
{
    const StartValues start = startValues(1280, 1024, 4);
    const RenderSettings& s = start.settings;
    EXPECT_EQ(s.pictureWidth, 640);
    EXPECT_EQ(s.pictureHeight, 480);
    EXPECT_EQ(s.pictureSizeIndex, 0);
    EXPECT_EQ(s.colourFlags, 4u);
    EXPECT_EQ(s.autoPotValue, 0);
    EXPECT_EQ(s.autoIterIncrease, 1);
    EXPECT_EQ(s.boxedZoom, 0);
    EXPECT_EQ(s.autosaveParameter, 0);
    EXPECT_EQ(s.unzoomVideo, 0);
    EXPECT_EQ(s.multiThreaded, 1);
    EXPECT_EQ(s.threads, 4);
    EXPECT_EQ(s.unzoomFactor, 1.02f);
    EXPECT_EQ(s.pictureFormatIndex, 0);
    EXPECT_EQ(s.pictureFormatCode, "JPG");
    EXPECT_EQ(s.textureIndex, 0);

    const ShellState& h = start.shell;
    EXPECT_EQ(h.screenWidth, 1280);
    EXPECT_EQ(h.screenHeight, 1024);
    EXPECT_EQ(h.processorCount, 4);
    EXPECT_EQ(h.quitRequested, 0);
    EXPECT_EQ(h.pictureValid, 0);
    EXPECT_EQ(h.pictureFromImage, 0);
    EXPECT_EQ(h.mandelbrotShown, 0);
    EXPECT_EQ(h.juliaShown, 0);
    EXPECT_EQ(h.currentFileName, "");
    EXPECT_EQ(h.finderActive, 0);
    EXPECT_EQ(h.animationRunning, 0);
    EXPECT_EQ(h.rendering, 0);

    const ViewStartValues& v = start.view;
    EXPECT_EQ(v.modeWord, 5u);
    EXPECT_EQ(v.iterMax, 100);
    EXPECT_EQ(v.bailout, 128.0);
    EXPECT_EQ(v.potValue, 0.0001);
    EXPECT_EQ(v.deepZoom, 0);
    EXPECT_EQ(v.precisionBits, 96);

    const StartValues single = startValues(800, 600, 1);
    EXPECT_EQ(single.settings.multiThreaded, 0);
    EXPECT_EQ(single.settings.threads, 1);
}

TEST(StartUp, PictureSizeComesFromTheScreenWidth)
{
    struct Case
    {
        std::int32_t screenWidth;
        PictureSize size;
    };

    const std::vector<Case> cases = {
        {1280, {640, 480}}, {1025, {640, 480}}, {1024, {512, 384}}, {1023, {352, 288}},
        {800, {352, 288}},  {640, {352, 288}},  {0, {352, 288}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(pictureSizeForScreen(c.screenWidth), c.size) << c.screenWidth;
    }
}

TEST(StartUp, ProcessorCountIsAskedForOnlyWhenNoneIsReported)
{
    ScriptedPrompts silent;
    EXPECT_EQ(processorCountFrom(4, silent), 4);
    EXPECT_EQ(processorCountFrom(1, silent), 1);
    EXPECT_TRUE(silent.asked().empty());

    struct Case
    {
        std::optional<std::string> answer;
        std::int32_t count;
    };

    const std::vector<Case> cases = {
        {"4", 4},  {"1", 1},   {"0", 1},   {std::nullopt, 1}, {"", 1},     {"abc", 1},
        {"-3", 1}, {"2.5", 2}, {"3.5", 4}, {" 8 ", 8},        {"1e12", 1},
    };
    for (const Case& c : cases) {
        ScriptedPrompts prompts;
        prompts.answer(c.answer);
        EXPECT_EQ(processorCountFrom(0, prompts), c.count) << c.answer.value_or("(cancelled)");
        ASSERT_EQ(prompts.asked().size(), 1u);
        EXPECT_EQ(prompts.asked()[0].text,
                  "Number of processors not detected!\n\nPlease input suitable number:");
    }
}

TEST(StartUp, WindowFreeStepsGiveTheDefaultViewAndBuffers)
{
    AppState app;
    TestShell shell;
    RecordingObserver& observer = shell.observer;
    StartupEnvironment environment;
    environment.screenWidth = 1024;
    environment.screenHeight = 768;
    environment.reportedProcessors = 2;
    EXPECT_EQ(startUpWithoutWindows(app, environment, shell.services), "");

    EXPECT_EQ(app.settings.pictureWidth, 512);
    EXPECT_EQ(app.settings.pictureHeight, 384);
    EXPECT_EQ(app.settings.threads, 2);
    EXPECT_EQ(app.iterations.width, 512);
    EXPECT_EQ(app.iterations.height, 384);
    EXPECT_EQ(app.iterations.counts.size(), 514u * 386u);
    EXPECT_EQ(app.iterations.a.size(), 514u * 386u);
    EXPECT_EQ(app.iterations.b.size(), 514u * 386u);
    EXPECT_EQ(app.palette.entries.size(), 262145u);
    // The default palette for "Color by potential" is generated, not left black.
    EXPECT_EQ(app.paletteState.parameters.start, (std::array<float, 3>{12.0f, 164.0f, 127.0f}));
    EXPECT_NE(app.palette.entries[1], 0u);
    EXPECT_EQ(shell.paletteHost.count("clearPictureFromImage"), 1);

    const ViewState& view = app.view;
    EXPECT_EQ(view.modeWord, 5u);
    EXPECT_EQ(view.iterMax, 100);
    EXPECT_EQ(view.bailout, 128.0);
    EXPECT_EQ(view.potValue, 0.0001);
    EXPECT_EQ(view.deepZoom, 0);
    EXPECT_EQ(view.precisionBits, 96);
    EXPECT_EQ(view.mandelbrot.xmin.text, "-2.5e0");
    EXPECT_EQ(view.mandelbrot.xmax.text, "1.5e0");
    EXPECT_EQ(view.mandelbrot.ymin.text, "-1.5e0");
    EXPECT_EQ(view.mandelbrot.ymax.text, "1.5e0");
    EXPECT_EQ(view.mandelbrot.dx.ext, 4.0L / 512.0L);
    EXPECT_EQ(mpf_cmp_d(view.mandelbrot.dx.mp(), 4.0 / 512.0), 0);
    EXPECT_EQ(view.deepLimit, -3);
    EXPECT_EQ(app.settings.colourFlags, 4u);
    EXPECT_EQ(app.settings.unzoomFactor, 1.02f);
    EXPECT_EQ(observer.last("title"), "QUORVALIS (Deeplimit:-3)");
    EXPECT_EQ(observer.shown.back(), "repaint: ");
}

TEST(StartUp, CommandLineFileIsHandedOnWithoutQuotesWhenItExists)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "quorvalis startup test";
    std::filesystem::create_directories(folder);
    const std::filesystem::path file = folder / "deep view.fdz";
    std::ofstream(file) << "x";

    EXPECT_EQ(commandLineArgument("\"/a b/c.fra\""), "/a b/c.fra");
    EXPECT_EQ(commandLineArgument("c\".fra"), "c.fra");
    EXPECT_EQ(commandLineArgument(""), "");

    for (const std::string& argument :
         {"\"" + file.string() + "\"", file.string(), file.string() + "\"\""}) {
        AppState app;
        TestShell shell;
        StartupEnvironment environment{1280, 1024, 1, argument};
        EXPECT_EQ(startUpWithoutWindows(app, environment, shell.services), file.string());
    }
    for (const std::string& argument :
         {(folder / "missing.fra").string(), folder.string(), std::string()}) {
        AppState app;
        TestShell shell;
        StartupEnvironment environment{1280, 1024, 1, argument};
        EXPECT_EQ(startUpWithoutWindows(app, environment, shell.services), "") << argument;
    }
    std::filesystem::remove_all(folder);
}

TEST(ResetCoordinates, ReturnsToTheDefaultWindowAndLeavesConstantBailoutAndMode)
{
    AppState app;
    TestShell shell;
    RecordingObserver& observer = shell.observer;
    startUpWithoutWindows(app, StartupEnvironment{1280, 1024, 2, ""}, shell.services);

    // A deep view with every setting that reset touches changed.
    ViewState& view = app.view;
    MandelbrotNumbers& m = view.mandelbrot;
    m.xmin.text = "-0.5";
    m.xmax.text = "-0.4999999999999999999999999999999999999999999999999999999999999999999";
    m.ymin.text = "0.1";
    m.ymax.text = "0.10000000000000000000000000000000000000000000000000000000000000000001";
    ASSERT_TRUE(takeTypedView(view, viewContext(app), observer, TypedView::Window));
    ASSERT_EQ(view.deepZoom, 1);
    ASSERT_GT(view.precisionBits, 96);
    view.julia.cr.text = "-7.5e-1";
    view.bailout = 4.0;
    setDrawingMode(view.modeWord, 5);
    view.iterMax = 5000;
    view.potValue = 0.5;
    app.settings.colourFlags = 3;
    app.settings.autoPotValue = 1;
    app.settings.boxedZoom = 1;
    app.settings.unzoomFactor = 1.5f;
    app.shell.currentFileName = "a.fdz";
    app.shell.pictureValid = 1;
    app.shell.pictureFromImage = 1;

    observer.shown.clear();
    resetCoordinates(app, observer);

    EXPECT_EQ(m.xmin.ext, -2.5L);
    EXPECT_EQ(m.ymax.ext, 1.5L);
    EXPECT_EQ(mpf_cmp_d(m.xmax.mp(), 1.5), 0);
    EXPECT_EQ(m.xmax.text, "1.5e0");
    EXPECT_EQ(view.deepZoom, 0);
    EXPECT_EQ(view.precisionBits, 96);
    EXPECT_EQ(view.deepLimit, -3);
    EXPECT_EQ(view.iterMax, 100);
    EXPECT_EQ(view.potValue, 0.0001);
    EXPECT_EQ(app.settings.unzoomFactor, 1.02f);
    EXPECT_EQ(app.settings.autoPotValue, 0);
    EXPECT_EQ(app.settings.boxedZoom, 0);
    EXPECT_EQ(app.shell.currentFileName, "");
    EXPECT_EQ(app.shell.pictureValid, 0);
    EXPECT_EQ(app.shell.pictureFromImage, 0);
    // Left as they were.
    EXPECT_EQ(view.julia.cr.text, "-7.5e-1");
    EXPECT_EQ(mpf_cmp_d(view.julia.cr.mp(), -0.75), 0);
    EXPECT_EQ(view.bailout, 4.0);
    EXPECT_EQ(drawingMode(view.modeWord), 5);
    EXPECT_EQ(app.settings.colourFlags, 3u);

    const std::vector<std::string> expected = {
        "iterMax:  100",     "boxedZoom: off",    "deepZoom: off",
        "autoPotValue: off", "potValue:  0.0001", "title: QUORVALIS (Deeplimit:-3)",
        "deepZoom: off",     "repaint: ",
    };
    EXPECT_EQ(observer.shown, expected);
}

TEST(ResetCoordinates, ResetsTheJuliaWindowInAJuliaView)
{
    AppState app;
    TestShell shell;
    RecordingObserver& observer = shell.observer;
    startUpWithoutWindows(app, StartupEnvironment{1280, 1024, 2, ""}, shell.services);
    app.view.modeWord = (app.view.modeWord & ~1u) | 2u;
    resetCoordinates(app, observer);
    EXPECT_EQ(app.view.julia.xmin.ext, -1.8L);
    EXPECT_EQ(app.view.julia.xmax.ext, 1.8L);
    EXPECT_EQ(app.view.julia.ymin.text, "-1.8e0");
    EXPECT_EQ(app.view.julia.dx.ext, 0.005625L);
    EXPECT_EQ(app.view.deepLimit, -3);
    EXPECT_EQ(app.view.mandelbrot.xmin.text, "-2.5e0");
}

} // namespace
} // namespace qv
