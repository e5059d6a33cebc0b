// The zoom movies' frame sequence: frame counts and names, the real-time zoom's view list, the
// size rules, the refusals, the elapsed-time text, deep frames and the frame folder.
#include "app/movie.h"
#include "app/render_entry.h"
#include "engine/view_state.h"
#include "tests/support/scripted_progress.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_shell.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>

#include <gtest/gtest.h>

namespace qv {
namespace {

namespace fs = std::filesystem;

// The program after start-up on a 1280 pixel wide screen: 640 x 480, the default view.
struct Started
{
    Started() { startUpWithoutWindows(app, StartupEnvironment{1280, 1024, 2, ""}, shell.services); }

    // A Mandelbrot window of the given half-width about -0.75 + 0.1i, aspect 4:3; typed text
    // for a deep one.
    void halfWidth(long double hw)
    {
        MandelbrotNumbers& m = app.view.mandelbrot;
        m.xmin.ext = -0.75L - hw;
        m.xmax.ext = -0.75L + hw;
        m.ymin.ext = 0.1L - 0.75L * hw;
        m.ymax.ext = 0.1L + 0.75L * hw;
        applyViewChange(app.view, viewContext(app), shell.observer);
    }

    // Half-width 2^-60 about -0.75 + 0.1i on a 32 x 24 picture.
    void deepView()
    {
        changePictureSize(app, {32, 24}, shell.observer);
        MandelbrotNumbers& m = app.view.mandelbrot;
        m.xmin.text = "-0.750000000000000000867361737988403547205962240695953369140625";
        m.xmax.text = "-0.749999999999999999132638262011596452794037759304046630859375";
        m.ymin.text = "0.09999999999999999934947869650869734073";
        m.ymax.text = "0.10000000000000000065052130349130265927";
        takeTypedView(app.view, viewContext(app), shell.observer, TypedView::Window);
    }

    test::TestShell shell;
    AppState app;
};

struct Movie : ::testing::Test, Started
{
};

TEST_F(Movie, DefaultViewMakesSeventyTwoFramesNamedInPlayingOrder)
{
    for (const bool unzoomVideo : {false, true}) {
        Started s;
        std::vector<std::string> names;
        MovieFrameWalk walk(s.app, s.shell.observer);
        while (walk.advance()) {
            names.push_back(frameName(walk.counter(), unzoomVideo));
            if (walk.counter() == 0) {
                // Frame 0 is one step wider than the start; "Auto iter increase" raised the limit
                // by the deep limit -3 of the start.
                const MandelbrotNumbers& m = s.app.view.mandelbrot;
                EXPECT_NEAR(static_cast<double>(m.xmax.ext - m.xmin.ext), 4.08, 1e-6);
                EXPECT_EQ(s.app.view.iterMax, 300);
            }
        }
        ASSERT_EQ(names.size(), 72u);
        EXPECT_EQ(names.front(), unzoomVideo ? "0000000.jpg" : "9999999.jpg");
        EXPECT_EQ(names.back(), unzoomVideo ? "0000071.jpg" : "9999928.jpg");
        // The converter takes name order: the widest view first, unless the movie unzooms.
        EXPECT_EQ(*std::min_element(names.begin(), names.end()),
                  unzoomVideo ? names.front() : names.back());
    }
    EXPECT_LT(frameName(8999999, true), frameName(9000000, true));
    EXPECT_FALSE(movieContinues(kLastFrameCounter + 1, 1.0));
    EXPECT_FALSE(movieContinues(5, -8.5)); // a mirrored window reads its absolute half-width
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
        Started s;
        s.halfWidth(c.startHalfWidth);
        EXPECT_EQ(buildViewList(s.app, c.factor, s.shell.observer).size(), c.entries)
            << static_cast<double>(c.startHalfWidth) << " " << c.factor;
    }
    const std::vector<ListedView> list = buildViewList(app, 1.02f, shell.observer);
    EXPECT_NEAR(static_cast<double>(list[70].xmax - list[70].xmin), 2 * 8.16, 0.02);
    showListedView(app, list[1], shell.observer);
    EXPECT_NEAR(static_cast<double>(app.view.mandelbrot.dx.ext), 4 * 1.0404 / 640, 1e-9);
}

TEST(MovieRules, SizesRefusalsAndTexts)
{
    const std::pair<PictureSize, std::optional<PictureSize>> movie[] = {
        {{2560, 1440}, PictureSize{1920, 1080}},
        {{1600, 1200}, std::nullopt},
        {{1920, 1080}, PictureSize{1920, 1080}},
        {{600, 800}, PictureSize{600, 800}}};
    for (const auto& [picture, expected] : movie) {
        EXPECT_EQ(movieSize(picture), expected) << picture.width;
    }
    EXPECT_EQ(animationSize({1024, 768}), (PictureSize{640, 480}));
    EXPECT_EQ(animationSize({600, 800}), (PictureSize{600, 800}));

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (const float factor : {1.0f, 0.5f, -2.0f, nan, inf}) {
        Started s;
        s.app.settings.unzoomFactor = factor;
        EXPECT_EQ(unzoomRefusal(s.app), kFactorWarning) << factor;
    }
    Started s;
    EXPECT_EQ(unzoomRefusal(s.app), std::nullopt);
    s.app.view.mandelbrot.xmax.ext = s.app.view.mandelbrot.xmin.ext;
    EXPECT_EQ(unzoomRefusal(s.app), kNoWidthWarning);

    EXPECT_EQ(formatElapsed(86390, 10), " 0 h  0 m  20 s");
    EXPECT_EQ(formatElapsed(0, 3725), " 1 h  2 m  5 s");
    EXPECT_EQ(formatElapsedSeconds(90061), " 25 h  1 m  1 s");
    EXPECT_EQ(frameProgressTitle(12, -3, "t"), "Frame:  12  Deep Limit: -3 Time: t");
}

TEST_F(Movie, DeepMovieRunsOutToTheWholeSetAndTheStartComesBackWithEveryDigit)
{
    deepView();
    ASSERT_EQ(app.view.deepZoom, 1);
    const std::string xmin = app.view.mandelbrot.xmin.text;
    const ViewSnapshot start(app.view);
    MpFloat typed(static_cast<unsigned long>(app.view.precisionBits));
    mpf_set(typed.get(), app.view.mandelbrot.xmin.mp());
    std::int32_t frames = 0;
    MovieFrameWalk walk(app, shell.observer);
    while (walk.advance()) {
        ++frames;
    }
    // 2^-60 * 1.02^k passes 8 at k = 2206; the extended steps round through 18-digit text.
    EXPECT_NEAR(frames, 2207, 1);
    EXPECT_EQ(app.view.deepZoom, 0);
    start.restore(app, shell.observer);
    EXPECT_EQ(app.view.deepZoom, 1);
    EXPECT_EQ(app.view.mandelbrot.xmin.text, xmin);
    EXPECT_EQ(mpf_cmp(app.view.mandelbrot.xmin.mp(), typed.get()), 0);
}

TEST_F(Movie, DeepFrameEqualsTheDeepRenderOfTheSameView)
{
    test::ScriptedProgress progress;
    deepView();
    MovieFrameWalk walk(app, shell.observer);
    ASSERT_TRUE(walk.advance());
    walk.prepareRender();
    renderView(app, progress, shell.observer);
    ASSERT_EQ(app.render.lastRenderer, RendererKind::Deep);

    Started single;
    single.deepView();
    const WindowRef frame = currentWindow(app.view);
    const WindowRef w = currentWindow(single.app.view);
    w.xmin.text = frame.xmin.text;
    w.xmax.text = frame.xmax.text;
    w.ymin.text = frame.ymin.text;
    w.ymax.text = frame.ymax.text;
    single.app.view.iterMax = app.view.iterMax;
    takeTypedView(single.app.view, viewContext(single.app), single.shell.observer,
                  TypedView::Window);
    single.app.shell.pictureValid = 0;
    renderView(single.app, progress, single.shell.observer);
    EXPECT_EQ(single.app.picture.pixels, app.picture.pixels);
}

TEST(MovieFrameFolder, OldFramesGoOtherFilesStayLinksAndFilesAreRefused)
{
    test::TempFolder temp;
    const std::string folder = temp.path() + "temp/";
    ASSERT_EQ(checkFrameFolder(folder), FrameFolderProblem::None);
    for (const char* name : {"9999999.jpg", "A.JPG", "b.Jpg", "notes.txt", "c.jpeg"}) {
        std::ofstream(folder + name) << "x";
    }
    fs::create_directory(folder + "kept.jpg");
    EXPECT_EQ(deleteOldFrames(folder), 3u);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(folder)) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"c.jpeg", "kept.jpg", "notes.txt"}));

    fs::create_directory_symlink(folder, temp.path() + "link");
    EXPECT_EQ(checkFrameFolder(temp.path() + "link"), FrameFolderProblem::SymbolicLink);
    EXPECT_EQ(checkFrameFolder(folder + "notes.txt"), FrameFolderProblem::NotAFolder);
    EXPECT_EQ(checkFrameFolder(folder + "notes.txt/temp/"), FrameFolderProblem::CannotCreate);
}

} // namespace
} // namespace qv
