// The zoom movies' frame sequence: frame counts and names, the real-time zoom's view list, the
// size rules, the refusals, the elapsed-time text, deep frames and the frame folder.
#include "app/movie.h"
#include "app/render_entry.h"
#include "app/startup.h"
#include "engine/view_state.h"
#include "tests/support/scripted_progress.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_shell.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

namespace fs = std::filesystem;
using test::TestShell;

// The program after start-up on a 1280 pixel wide screen: 640 x 480, the default view.
struct Started
{
    Started() { startUpWithoutWindows(app, StartupEnvironment{1280, 1024, 2, ""}, shell.services); }

    // A Mandelbrot window of the given half-width about -0.75 + 0.1i, aspect 4:3.
    void halfWidth(long double hw)
    {
        MandelbrotNumbers& m = app.view.mandelbrot;
        m.xmin.ext = -0.75L - hw;
        m.xmax.ext = -0.75L + hw;
        m.ymin.ext = 0.1L - 0.75L * hw;
        m.ymax.ext = 0.1L + 0.75L * hw;
        applyViewChange(app.view, viewContext(app), shell.observer);
    }

    std::vector<std::string> frameNames()
    {
        std::vector<std::string> names;
        MovieFrameWalk walk(app, shell.observer);
        while (walk.advance()) {
            names.push_back(frameName(walk.counter(), app.settings.unzoomVideo != 0));
        }
        return names;
    }

    TestShell shell;
    AppState app;
};

struct Movie : ::testing::Test, Started
{
};

TEST_F(Movie, DefaultViewMakesSeventyTwoFramesNamedInPlayingOrder)
{
    struct Case
    {
        std::int32_t unzoomVideo;
        const char* first;
        const char* last;
    };

    for (const Case c :
         {Case{0, "9999999.jpg", "9999928.jpg"}, Case{1, "0000000.jpg", "0000071.jpg"}}) {
        Started fresh;
        fresh.app.settings.unzoomVideo = c.unzoomVideo;
        const std::vector<std::string> names = fresh.frameNames();
        ASSERT_EQ(names.size(), 72u) << c.unzoomVideo;
        EXPECT_EQ(names.front(), c.first);
        EXPECT_EQ(names.back(), c.last);
        // The converter plays in name order: the widest view comes first without "Unzoom video".
        std::vector<std::string> sorted = names;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted.front(), c.unzoomVideo != 0 ? c.first : c.last);
        // The movie ends with the whole set in view.
        EXPECT_GT(fresh.app.view.mandelbrot.xmax.ext - fresh.app.view.mandelbrot.xmin.ext, 16.0L);
    }
}

TEST(MovieFrameNames, SevenDigitsKeepNameOrderPastFrameNineMillion)
{
    EXPECT_LT(frameName(8999999, true), frameName(9000000, true));
    EXPECT_LT(frameName(9999999, true), "9999999.jpz");
    EXPECT_EQ(frameName(kLastFrameCounter, false), "0000000.jpg");
    EXPECT_EQ(frameName(42, true), "0000042.jpg");
    EXPECT_TRUE(movieContinues(kLastFrameCounter, 8.0));
    EXPECT_FALSE(movieContinues(kLastFrameCounter + 1, 1.0));
    EXPECT_FALSE(movieContinues(5, std::numeric_limits<double>::quiet_NaN()));
    // A mirrored window unzooms to the whole set as well.
    EXPECT_FALSE(movieContinues(5, -8.5));
}

TEST_F(Movie, FrameZeroIsOneStepWiderAndRaisesTheIterationLimit)
{
    MovieFrameWalk walk(app, shell.observer);
    ASSERT_TRUE(walk.advance());
    EXPECT_EQ(walk.counter(), 0);
    const MandelbrotNumbers& m = app.view.mandelbrot;
    EXPECT_NEAR(static_cast<double>(m.xmax.ext - m.xmin.ext), 4.0 * 1.02, 1e-6);
    EXPECT_NEAR(static_cast<double>(m.xmin.ext + m.xmax.ext), -1.0, 1e-12);
    // "Auto iter increase": a pixel step of 0.006375 has deep limit -3.
    EXPECT_EQ(app.view.iterMax, 300);
    EXPECT_EQ(app.shell.animationRunning, 1);
}

TEST_F(Movie, ViewListEndsWithTheWholeSetOrAtTenThousand)
{
    struct Case
    {
        long double startHalfWidth;
        float factor;
        std::size_t entries;
    };

    for (const Case c : {Case{2.0L, 1.02f, 72}, Case{1e-12L, 1.02f, 1502},
                         Case{2.0L, 1.0f, kViewListCap}, Case{2.0L, 1.0001f, kViewListCap}}) {
        Started fresh;
        fresh.halfWidth(c.startHalfWidth);
        const std::vector<ListedView> list =
            buildViewList(fresh.app, c.factor, fresh.shell.observer);
        EXPECT_EQ(list.size(), c.entries) << static_cast<double>(c.startHalfWidth) << c.factor;
    }
}

TEST_F(Movie, ViewListEntriesStepOutwardAndShowAgain)
{
    const std::vector<ListedView> list = buildViewList(app, 1.02f, shell.observer);
    ASSERT_EQ(list.size(), 72u);
    // The 72nd step started from a half-width of about 8.16.
    EXPECT_NEAR(static_cast<double>(0.5L * (list[70].xmax - list[70].xmin)), 8.16, 0.01);
    EXPECT_NEAR(static_cast<double>(list[1].dx), 4.0 * 1.02 * 1.02 / 640, 1e-9);
    showListedView(app, list[1], shell.observer);
    EXPECT_EQ(app.view.mandelbrot.xmin.ext, list[1].xmin);
    EXPECT_NEAR(static_cast<double>(app.view.mandelbrot.dx.ext), 4.0 * 1.0404 / 640, 1e-9);
}

TEST_F(Movie, ViewListStopsWhenCancelled)
{
    int asked = 0;
    const std::vector<ListedView> list =
        buildViewList(app, 1.02f, shell.observer, [&asked] { return ++asked > 5; });
    EXPECT_EQ(list.size(), 5u);
}

TEST(MovieSizes, MovieAndAnimationSizes)
{
    struct Case
    {
        PictureSize picture;
        std::optional<PictureSize> movie;
        PictureSize animation;
    };

    const Case cases[] = {
        {{2560, 1440}, PictureSize{1920, 1080}, {640, 480}},
        {{1600, 1200}, std::nullopt, {640, 480}},
        {{1920, 1080}, PictureSize{1920, 1080}, {640, 480}},
        {{1024, 768}, PictureSize{1024, 768}, {640, 480}},
        {{640, 480}, PictureSize{640, 480}, {640, 480}},
        {{600, 800}, PictureSize{600, 800}, {600, 800}},
        {{320, 240}, PictureSize{320, 240}, {320, 240}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(movieSize(c.picture), c.movie) << c.picture.width << "x" << c.picture.height;
        EXPECT_EQ(animationSize(c.picture), c.animation) << c.picture.width;
    }
}

TEST(MovieTexts, ElapsedTimeAndProgressTitle)
{
    EXPECT_EQ(formatElapsed(86390, 10), " 0 h  0 m  20 s");
    EXPECT_EQ(formatElapsed(0, 3725), " 1 h  2 m  5 s");
    EXPECT_EQ(formatElapsed(100, 100), " 0 h  0 m  0 s");
    EXPECT_EQ(formatElapsedSeconds(90061), " 25 h  1 m  1 s");
    EXPECT_EQ(frameProgressTitle(12, -3, " 0 h  0 m  4 s"),
              "Frame:  12  Deep Limit: -3 Time:  0 h  0 m  4 s");
}

TEST_F(Movie, RefusesFactorsNotAboveOneAndViewsWithoutWidth)
{
    struct Case
    {
        float factor;
        bool noWidth;
        std::optional<std::string_view> refusal;
    };

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (const Case c : {Case{1.02f, false, std::nullopt}, Case{1.0f, false, kFactorWarning},
                         Case{0.5f, false, kFactorWarning}, Case{nan, false, kFactorWarning},
                         Case{inf, false, kFactorWarning}, Case{-2.0f, false, kFactorWarning},
                         Case{1.02f, true, kNoWidthWarning}}) {
        Started fresh;
        fresh.app.settings.unzoomFactor = c.factor;
        if (c.noWidth) {
            fresh.app.view.mandelbrot.xmax.ext = fresh.app.view.mandelbrot.xmin.ext;
        }
        EXPECT_EQ(unzoomRefusal(fresh.app), c.refusal) << c.factor;
    }
}

// A deep view of half-width 2^-60 about -0.75 + 0.1i on a 32 x 24 picture.
void enterDeepView(AppState& app, test::RecordingObserver& observer)
{
    changePictureSize(app, {32, 24}, observer);
    MandelbrotNumbers& m = app.view.mandelbrot;
    m.xmin.text = "-0.7500000000000000008673617379884035472059622406959533691406250";
    m.xmax.text = "-0.7499999999999999991326382620115964527940377593040466308593750";
    m.ymin.text = "0.09999999999999999934947869650869734073";
    m.ymax.text = "0.10000000000000000065052130349130265927";
    ASSERT_TRUE(takeTypedView(app.view, viewContext(app), observer, TypedView::Window));
    ASSERT_EQ(app.view.deepZoom, 1);
}

TEST_F(Movie, DeepMovieKeepsEveryDigitAndRunsOutToTheWholeSet)
{
    enterDeepView(app, shell.observer);
    const std::string xmin = app.view.mandelbrot.xmin.text;
    MovieFrameWalk walk(app, shell.observer);
    ASSERT_TRUE(walk.advance());
    // The centre stays at the typed digits: the step never rounds through an extended number.
    MpFloat centre(static_cast<unsigned long>(app.view.precisionBits));
    mpf_add(centre.get(), app.view.mandelbrot.xmin.mp(), app.view.mandelbrot.xmax.mp());
    mpf_div_ui(centre.get(), centre.get(), 2);
    EXPECT_EQ(mpf_cmp_d(centre.get(), -0.75), 0);
    EXPECT_NE(app.view.mandelbrot.xmin.text, xmin);
    std::int32_t frames = 1;
    while (walk.advance()) {
        ++frames;
    }
    double hw = std::ldexp(1.0, -60);
    std::int32_t expected = 0;
    double before = 0.0;
    do {
        before = hw;
        hw *= static_cast<double>(1.02f);
        ++expected;
    } while (before <= kWholeSetHalfWidth);
    // The extended steps after deep zoom round through 18-digit text: one frame either way.
    EXPECT_NEAR(frames, expected, 1);
    EXPECT_EQ(app.view.deepZoom, 0);
}

TEST_F(Movie, DeepFrameEqualsTheDeepRenderOfTheSameView)
{
    enterDeepView(app, shell.observer);
    MovieFrameWalk walk(app, shell.observer);
    ASSERT_TRUE(walk.advance());
    walk.prepareRender();
    test::ScriptedProgress progress;
    renderView(app, progress, shell.observer);
    ASSERT_EQ(app.render.lastRenderer, RendererKind::Deep);

    Started single;
    enterDeepView(single.app, single.shell.observer);
    MandelbrotNumbers& m = single.app.view.mandelbrot;
    m.xmin.text = app.view.mandelbrot.xmin.text;
    m.xmax.text = app.view.mandelbrot.xmax.text;
    m.ymin.text = app.view.mandelbrot.ymin.text;
    m.ymax.text = app.view.mandelbrot.ymax.text;
    single.app.view.iterMax = app.view.iterMax;
    ASSERT_TRUE(takeTypedView(single.app.view, viewContext(single.app), single.shell.observer,
                              TypedView::Window));
    single.app.shell.pictureValid = 0;
    single.app.render.renderSuppressed = 0;
    renderView(single.app, progress, single.shell.observer);
    EXPECT_EQ(single.app.picture.pixels, app.picture.pixels);
}

TEST_F(Movie, SnapshotBringsBackADeepViewWithEveryDigit)
{
    enterDeepView(app, shell.observer);
    app.view.iterMax = 250;
    const std::string xmin = app.view.mandelbrot.xmin.text;
    const std::int32_t bits = app.view.precisionBits;
    const ViewSnapshot start(app.view);
    MovieFrameWalk walk(app, shell.observer);
    while (walk.advance()) {
    }
    ASSERT_EQ(app.view.deepZoom, 0);
    start.restore(app, shell.observer);
    EXPECT_EQ(app.view.deepZoom, 1);
    EXPECT_EQ(app.view.precisionBits, bits);
    EXPECT_EQ(app.view.iterMax, 250);
    EXPECT_EQ(app.view.mandelbrot.xmin.text, xmin);
    MpFloat typed(static_cast<unsigned long>(bits));
    mpf_set_str(typed.get(), "-0.750000000000000000867361737988403547205962240695953369140625", 10);
    EXPECT_EQ(mpf_cmp(app.view.mandelbrot.xmin.mp(), typed.get()), 0);
}

TEST(MovieFrameFolder, OldFramesGoOtherFilesStay)
{
    test::TempFolder temp;
    const std::string folder = temp.path() + "temp/";
    ASSERT_EQ(checkFrameFolder(folder), FrameFolderProblem::None);
    for (const char* name : {"9999999.jpg", "A.JPG", "b.Jpg", "notes.txt", "c.jpeg", "jpg"}) {
        std::ofstream(folder + name) << "x";
    }
    fs::create_directory(folder + "kept.jpg");
    EXPECT_EQ(deleteOldFrames(folder), 3u);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(folder)) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"c.jpeg", "jpg", "kept.jpg", "notes.txt"}));
}

TEST(MovieFrameFolder, RefusesLinksAndFiles)
{
    test::TempFolder temp;
    fs::create_directory(temp.path() + "real");
    fs::create_directory_symlink(temp.path() + "real", temp.path() + "link");
    std::ofstream(temp.path() + "file") << "x";
    EXPECT_EQ(checkFrameFolder(temp.path() + "link"), FrameFolderProblem::SymbolicLink);
    EXPECT_EQ(checkFrameFolder(temp.path() + "file"), FrameFolderProblem::NotAFolder);
    EXPECT_EQ(checkFrameFolder(temp.path() + "file/temp/"), FrameFolderProblem::CannotCreate);
    EXPECT_NE(frameFolderMessage("/x/temp/", FrameFolderProblem::SymbolicLink).find("/x/temp/"),
              std::string::npos);
}

} // namespace
} // namespace qv
