// The render entry: the renderer's choice, the first pictures' rules, and what the windows show
// around a render (titles, controls, dialogs, thumbnail, backup).
#include "app/app_state.h"
#include "app/render_entry.h"
#include "app/statistics.h"
#include "base/number_text.h"
#include "engine/view_state.h"
#include "tests/support/recording_observer.h"
#include "tests/support/reference_pictures.h"
#include "tests/support/scripted_progress.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::RecordingObserver;
using test::ScriptedProgress;

/// A test picture of width x height with `threads` workers allowed, on a two-processor
/// machine, past its first Julia picture.
void prepare(AppState& app, std::int32_t width, std::int32_t height, std::int32_t threads)
{
    app.settings.pictureWidth = width;
    app.settings.pictureHeight = height;
    app.settings.threads = threads;
    app.settings.multiThreaded = threads > 1 ? 1 : 0;
    app.shell.processorCount = 2;
    app.shell.juliaShown = 1;
    app.iterations.allocate(width, height);
}

/// A render request as the picture window makes it.
struct Request
{
    ScriptedProgress progress;
    RecordingObserver observer;

    void renderView(AppState& app, const RenderOptions& options = {},
                    std::chrono::steady_clock::duration titleDelay = std::chrono::seconds(1))
    {
        qv::renderView(app, progress, observer, options, titleDelay);
    }
};

TEST(RenderEntry, ChoosesTheRendererFromDepthModeAndThreads)
{
    struct Case
    {
        std::int32_t firstPicture, processors, threads, multi, mode, deep;
        RendererKind expected;
    };

    const std::vector<Case> cases = {
        {0, 4, 4, 1, 1, 0, RendererKind::Threaded},
        {0, 4, 1, 0, 25, 0, RendererKind::Single},
        {0, 4, 4, 0, 5, 0, RendererKind::Single},
        {0, 1, 1, 0, 26, 0, RendererKind::Threaded}, // modes 26..28 need the workers
        {0, 1, 1, 0, 27, 0, RendererKind::Threaded},
        {0, 1, 1, 0, 28, 0, RendererKind::Threaded},
        {0, 4, 1, 0, 1, 1, RendererKind::Deep},
        // The first picture on one processor is single-threaded, where that renderer can
        // compute the view at all.
        {1, 1, 4, 1, 1, 0, RendererKind::Single},
        {1, 2, 4, 1, 1, 0, RendererKind::Threaded},
        {1, 1, 4, 1, 26, 0, RendererKind::Threaded},
        {1, 1, 4, 1, 1, 1, RendererKind::Deep},
    };
    for (const Case& c : cases) {
        AppState app;
        app.render.firstPicture = c.firstPicture;
        app.shell.processorCount = c.processors;
        app.settings.threads = c.threads;
        app.settings.multiThreaded = c.multi;
        setDrawingMode(app.view.modeWord, c.mode);
        app.view.deepZoom = c.deep;
        EXPECT_EQ(chooseRenderer(app), c.expected)
            << "first " << c.firstPicture << ", mode " << c.mode << ", deep " << c.deep;
    }
}

TEST(RenderEntry, TitlesDialogsAndThumbnailFollowThePicture)
{
    AppState app;
    prepare(app, 12, 9, 2);
    test::edgeView(app.view);
    Request first;
    first.renderView(app);
    EXPECT_EQ(first.observer.all("title").front(), "QUORVALIS - Please wait. Stop with esc -key");
    EXPECT_EQ(first.observer.all("iterMax"), std::vector<std::string>{" 600"});
    EXPECT_EQ(first.observer.all("menuTitle"),
              std::vector<std::string>{"QUORVALIS - (Time:" +
                                       elapsedText(app.render.elapsedSeconds) + ") - Mandelbrot"});
    EXPECT_EQ(first.observer.all("dialogs").size(), 1u);
    EXPECT_EQ(first.observer.all("pictureWindow"), std::vector<std::string>{"12 x 9"});
    EXPECT_EQ(first.observer.all("controls"), (std::vector<std::string>{"off", "on"}));
    EXPECT_EQ(app.render.lastRenderer, RendererKind::Threaded);
    EXPECT_EQ(app.render.rowsComputed, 9);
    EXPECT_EQ(app.shell.rendering, 0);
    EXPECT_EQ(elapsedText(0.25f), " 0.25");

    // A picture from a parameter file: its name in the menu title, the thumbnail when missing.
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "qv_render_entry_test";
    std::filesystem::create_directories(folder);
    const std::string file = (folder / "view.fra").string();
    std::filesystem::remove(file + ".jpg");
    app.shell.currentFileName = file;
    app.shell.pictureValid = 0;
    Request stopped; // Esc: half a picture must not become the file's thumbnail
    stopped.progress.escAtPump = 1;
    stopped.renderView(app);
    EXPECT_TRUE(stopped.progress.escRead);
    EXPECT_TRUE(stopped.observer.all("thumbnail").empty());
    app.shell.pictureValid = 0;
    Request withFile;
    withFile.renderView(app);
    EXPECT_EQ(withFile.observer.all("menuTitle"), std::vector<std::string>{"QUORVALIS - " + file});
    EXPECT_EQ(withFile.observer.all("thumbnail"), std::vector<std::string>{file + ".jpg"});
    EXPECT_TRUE(withFile.observer.all("pictureWindow").empty()); // same size as the last render
    std::ofstream(file + ".jpg") << "x";
    app.shell.pictureValid = 0;
    Request thumbnailThere;
    thumbnailThere.renderView(app);
    EXPECT_TRUE(thumbnailThere.observer.all("thumbnail").empty());
    std::filesystem::remove_all(folder);

    // During an animation: no waiting title, no controls, dialogs or menu title.
    app.shell.animationRunning = 1;
    app.shell.pictureValid = 0;
    Request animated;
    animated.renderView(app);
    EXPECT_EQ(animated.observer.shown, std::vector<std::string>{"invalidate: "});
}

TEST(RenderEntry, SingleRenderEndsWithThePictureWindowInFront)
{
    AppState app;
    prepare(app, 10, 6, 1);
    test::edgeView(app.view);
    Request request;
    request.renderView(app);
    EXPECT_EQ(app.render.lastRenderer, RendererKind::Single);
    EXPECT_EQ(request.observer.all("front").size(), 2u); // at the start and at the end
    EXPECT_EQ(request.observer.all("cursor"), std::vector<std::string>{"arrow"});
    EXPECT_EQ(request.progress.drawnRows.size(), 6u);
}

TEST(RenderEntry, NothingRendersWhileTheJuliaFinderIsOpen)
{
    AppState app;
    prepare(app, 10, 6, 1);
    test::edgeView(app.view);
    app.shell.finderActive = 1;
    Request request;
    request.renderView(app);
    EXPECT_EQ(app.render.lastRenderer, RendererKind::None);
    EXPECT_EQ(app.shell.pictureValid, 0);
    EXPECT_TRUE(request.observer.shown.empty());
}

TEST(RenderEntry, FirstJuliaPictureStartsFromTheDefaultJuliaWindow)
{
    AppState app;
    prepare(app, 12, 9, 2);
    app.view.modeWord = 4;
    app.shell.juliaShown = 0;
    app.view.iterMax = 900;
    test::setWindow(app.view, 0.1L, 0.2L, 0.3L, 0.4L);
    app.iterations.allocate(3, 3); // a buffer of the wrong size is refitted
    Request request;
    request.renderView(app);
    EXPECT_EQ(app.view.julia.xmin.ext, -1.8L);
    EXPECT_EQ(app.view.julia.ymax.ext, 1.8L);
    EXPECT_EQ(app.view.iterMax, 100);
    EXPECT_EQ(app.shell.juliaShown, 1);
    EXPECT_EQ(app.shell.mandelbrotShown, 0);
    EXPECT_EQ(app.iterations.width, 12);
    EXPECT_EQ(app.iterations.height, 9);
    EXPECT_TRUE(request.observer.all("menuTitle").back().ends_with(") - Julia"));
}

TEST(RenderEntry, AutosaveSkipsTheFirstPictureAndStoppedOnes)
{
    AppState app;
    prepare(app, 12, 9, 1);
    test::edgeView(app.view);
    app.settings.autosaveParameter = 1;
    app.render.firstPicture = 1;
    Request first;
    first.renderView(app);
    EXPECT_TRUE(first.observer.all("backup").empty());
    EXPECT_EQ(app.render.firstPicture, 0);

    app.shell.pictureValid = 0;
    Request stopped;
    stopped.progress.escAtPump = 2;
    stopped.renderView(app);
    EXPECT_EQ(app.render.stoppedByUser, 1);
    EXPECT_EQ(app.shell.pictureValid, 1); // a stopped picture is still shown
    EXPECT_TRUE(stopped.observer.all("backup").empty());

    app.shell.pictureValid = 0;
    Request second;
    second.renderView(app);
    EXPECT_EQ(second.observer.all("backup"), std::vector<std::string>{"standard"});
    EXPECT_EQ(app.render.stoppedByUser, 1); // only the movie code clears it
}

TEST(RenderEntry, DeepPictureSuppressesRendersUntilTheViewChanges)
{
    AppState app;
    prepare(app, 12, 9, 2);
    app.view.iterMax = 120;
    test::setWindow(app.view, -0.80L, -0.70L, 0.05L, 0.125L);
    app.view.deepZoom = 1;
    app.settings.autosaveParameter = 1;
    Request request;
    RenderOptions options;
    options.idleDeepWorkers = false;

    request.renderView(app, options);

    EXPECT_EQ(app.render.lastRenderer, RendererKind::Deep);
    EXPECT_EQ(app.render.renderSuppressed, 1);
    EXPECT_EQ(app.shell.pictureValid, 1);
    EXPECT_EQ(app.shell.rendering, 0);
    EXPECT_TRUE(request.observer.has("title: " + std::string(kDeepStartTitle)));
    EXPECT_EQ(request.observer.all("backup"), std::vector<std::string>{"deep"});
    // The deep copies gave the view back its text and its depth: far from deep, so it is off.
    EXPECT_TRUE(request.observer.has("deepZoom: off"));
    EXPECT_EQ(app.view.deepZoom, 0);

    // While rendering is suppressed, while the picture is valid and while a render runs, a
    // request does nothing.
    const std::vector<std::int32_t> counts = app.iterations.counts;
    Request again;
    app.shell.pictureValid = 0;
    again.renderView(app);
    app.render.renderSuppressed = 0;
    app.shell.pictureValid = 1;
    again.renderView(app);
    app.shell.pictureValid = 0;
    app.shell.rendering = 1;
    again.renderView(app);
    EXPECT_TRUE(again.observer.shown.empty());
    EXPECT_EQ(again.progress.pumps, 0);
    EXPECT_EQ(app.iterations.counts, counts);
}

// "Fast deep zoom" reaches only deep renders; its certificate goes to the menu title, the
// statistics and the record of the last render, and leaves with the next render without it.
TEST(RenderEntry, FastDeepZoomCertifiesDeepPicturesOnly)
{
    struct Case
    {
        bool deep;
        bool fast;
        bool certified;
    };

    for (const Case c :
         {Case{true, true, true}, Case{true, false, false}, Case{false, true, false}}) {
        AppState app;
        prepare(app, 24, 18, 2);
        app.view.iterMax = 200;
        test::setWindow(app.view, -0.80L, -0.70L, 0.05L, 0.125L);
        app.view.deepZoom = c.deep ? 1 : 0;
        app.settings.fastDeepZoom = c.fast ? 1 : 0;
        app.render.fastDeep.tried = true; // left over from an earlier render
        Request request;
        RenderOptions options;
        options.idleDeepWorkers = false;

        request.renderView(app, options);

        const FastDeepReport& report = app.render.fastDeep;
        EXPECT_EQ(report.tried, c.certified) << c.deep << c.fast;
        const std::string title =
            "menuTitle: QUORVALIS - (Time:" + elapsedText(app.render.elapsedSeconds) +
            ") - Mandelbrot";
        if (c.certified) {
            EXPECT_EQ(report.samples, 256);
            EXPECT_EQ(report.identical, 256);
            EXPECT_TRUE(
                request.observer.has(title + " - Fast deep: 100.0% of 256 pixels identical"));
            EXPECT_EQ(statisticsOf(app, "x").rows.back().value, " 100.0% of 256 pixels identical");
        } else {
            EXPECT_TRUE(request.observer.has(title)) << c.deep << c.fast;
            EXPECT_NE(statisticsOf(app, "x").rows.back().label, " Fast deep zoom:");
        }
    }
}

// The statistics' counts: pixels that did not escape in the kernels' results, and the distinct
// colours of the picture built, whichever renderer computed it.
TEST(RenderEntry, CountsInsidePixelsAndColoursOfEveryRenderer)
{
    struct Case
    {
        std::int32_t threads, deep;
        RendererKind renderer;
    };

    const std::vector<Case> cases = {
        {1, 0, RendererKind::Single}, {3, 0, RendererKind::Threaded}, {2, 1, RendererKind::Deep}};
    for (const Case& c : cases) {
        AppState app;
        prepare(app, 24, 18, c.threads);
        app.view.iterMax = 60;
        test::setWindow(app.view, -2.0L, 0.5L, -1.0L, 1.0L);
        app.view.deepZoom = c.deep;
        app.palette.entries.resize(static_cast<std::size_t>(Palette::kEntries));
        for (std::size_t i = 0; i < app.palette.entries.size(); ++i) {
            app.palette.entries[i] = static_cast<std::uint32_t>(i * 40503u) & 0x00FFFFFFu;
        }
        RawResults raw;
        RenderOptions options;
        options.raw = &raw;
        options.idleDeepWorkers = false;
        Request request;
        request.renderView(app, options);
        ASSERT_EQ(app.render.lastRenderer, c.renderer);
        const auto inside = std::count(raw.counts.begin(), raw.counts.end(), 0);
        EXPECT_GT(inside, 0);
        EXPECT_EQ(app.render.insidePixels, inside);
        const std::set<std::uint32_t> colours(app.picture.pixels.begin(), app.picture.pixels.end());
        EXPECT_GT(colours.size(), 2u);
        EXPECT_EQ(app.render.coloursUsed, static_cast<std::int32_t>(colours.size()));
    }
}

TEST(RenderEntry, DeepProgressShowsTheLeastAdvancedStripInTheTitle)
{
    EXPECT_EQ(deepProgressTitle(37), "QUORVALIS - Calculating  37% - STOP WITH ESC-KEY");
    EXPECT_EQ(kDeepStartTitle, "QUORVALIS - Calculating 0% - STOP WITH ESC-KEY");

    AppState app;
    prepare(app, 16, 64, 2);
    test::cheapThenHeavyJuliaView(app.view, 60'000);
    app.view.deepZoom = 1;
    Request request;
    request.progress.escAtRowsDone = test::kCheapRows;
    request.progress.escAfterStripProgress = true;
    RenderOptions options;
    options.idleDeepWorkers = false;
    options.deepRepaintInterval = std::chrono::milliseconds(0);

    request.renderView(app, options);

    EXPECT_EQ(app.render.stoppedByUser, 1);
    std::vector<std::string> expected = {std::string(kWaitTitle), std::string(kDeepStartTitle)};
    for (const std::int32_t percent : request.progress.stripProgress) {
        if (percent < 100) {
            expected.push_back(deepProgressTitle(percent));
        }
    }
    ASSERT_GT(expected.size(), 2u);
    // The titles while it ran; the deep limit's title follows the picture.
    const std::vector<std::string> titles = request.observer.all("title");
    ASSERT_GE(titles.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(
                  titles.begin(), titles.begin() + static_cast<std::ptrdiff_t>(expected.size())),
              expected);
    // Each report repaints the picture, and so does its end.
    EXPECT_EQ(request.observer.all("invalidate").size(), request.progress.stripProgress.size() + 1);
}

TEST(RenderEntry, ThreadedProgressFollowsTheWaitingTitleWhenItTakesLong)
{
    for (const bool animation : {false, true}) {
        AppState app;
        prepare(app, 16, 64, 2);
        test::cheapThenHeavyJuliaView(app.view, 60'000);
        app.shell.animationRunning = animation ? 1 : 0;
        Request request;
        request.progress.escAtRowsDone = test::kCheapRows;
        RenderOptions options;
        options.pollInterval = std::chrono::milliseconds(0);

        request.renderView(app, options, std::chrono::seconds(0));

        EXPECT_EQ(app.render.lastRenderer, RendererKind::Threaded);
        const std::vector<std::string> titles = request.observer.all("title");
        if (animation) {
            // An animation's frames keep the movie's title.
            EXPECT_TRUE(titles.empty());
            continue;
        }
        // The waiting title, the percentages, and the waiting title again at the end.
        ASSERT_GE(titles.size(), 3u);
        EXPECT_EQ(titles.front(), kWaitTitle);
        EXPECT_EQ(titles.back(), kWaitTitle);
        const std::string percentTitle = std::string(kWaitTitle) + " - ";
        for (std::size_t k = 1; k + 1 < titles.size(); ++k) {
            EXPECT_TRUE(titles[k].starts_with(percentTitle)) << titles[k];
        }
    }
    // A render quicker than the delay shows no percentage.
    AppState app;
    prepare(app, 12, 9, 2);
    test::edgeView(app.view);
    Request quick;
    quick.renderView(app);
    EXPECT_EQ(quick.observer.all("title"), std::vector<std::string>{std::string(kWaitTitle)});
}

} // namespace
} // namespace qv
