// Movie jobs: the manifest reads back every value exactly, a deep movie's frames come back
// digit for digit, and damaged manifests are refused with the line at fault.
#include "app/movie.h"
#include "persistence/movie_job.h"
#include "tests/persistence/persistence_test_support.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

/// A job of three frames holding values that lose digits in any decimal form of few digits.
MovieJob handMadeJob()
{
    MovieJob job;
    job.parameterFile = "movie.fra";
    job.parameterHash = 0xfedcba9876543210ull;
    job.width = 64;
    job.height = 48;
    job.threads = 3;
    job.multiThreaded = 1;
    job.fastDeepZoom = 1;
    job.unzoomFactor = 1.02f;
    job.unzoomVideo = 1;
    job.autoIterIncrease = 1;
    job.jpegQuality = 100;
    job.modeWord = 5;
    job.bailout = 1e300;
    job.colourFlags = 4;
    job.paletteOffset = -7;
    job.palette.parameters.start = {12.5f, 0.1f, 1e-30f};
    job.palette.lastEntry = 0x00ABCDEFu;
    job.palette.hash = 1;
    const long double values[] = {0.1L,
                                  -1.8L,
                                  1.0L / 3.0L,
                                  std::numeric_limits<long double>::denorm_min(),
                                  -std::numeric_limits<long double>::max(),
                                  -0.0L};
    for (std::int32_t k = 0; k < 3; ++k) {
        JobFrame f;
        f.counter = k;
        f.iterMax = 100 + k;
        f.potValue = 0.0002 / 3.0;
        f.precisionBits = 96;
        f.deepLimit = -3;
        for (std::size_t i = 0; i < f.numbers.size(); ++i) {
            f.numbers[i].ext = values[(i + static_cast<std::size_t>(k)) % 6];
        }
        job.frames.push_back(f);
    }
    return job;
}

TEST(MovieJob, ManifestReadsBackEveryValueExactly)
{
    const MovieJob job = handMadeJob();
    const std::string text = formatMovieJob(job);
    std::string error;
    const std::optional<MovieJob> back = parseMovieJob(text, error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(*back, job);
    EXPECT_EQ(formatMovieJob(*back), text);
    // -0 keeps its sign, which == does not tell.
    EXPECT_TRUE(std::signbit(back->frames[0].numbers[5].ext));
}

TEST(MovieJob, DeepFramesComeBackDigitForDigit)
{
    Program walked;
    walked.app.settings.pictureWidth = 32;
    walked.app.settings.pictureHeight = 24;
    walked.app.settings.unzoomFactor = 8.0f;
    const WindowRef w = currentWindow(walked.app.view);
    w.xmin.text = "-0.74364388703715870475219150611477";
    w.xmax.text = "-0.74364388703715870475219150611476";
    w.ymin.text = "0.131825904205311970493132056385139";
    w.ymax.text = "0.131825904205311970493132056385146";
    ASSERT_TRUE(takeTypedView(walked.app.view, viewContext(walked.app), walked.shell.observer,
                              TypedView::Window));
    ASSERT_NE(walked.app.view.deepZoom, 0);
    const ViewSnapshot start(walked.app.view);
    std::optional<MovieJob> planned = planMovieJob(walked.app, walked.shell.observer);
    ASSERT_TRUE(planned);
    planned->parameterFile = "movie.fdz";
    std::string error;
    const std::optional<MovieJob> job = parseMovieJob(formatMovieJob(*planned), error);
    ASSERT_TRUE(job) << error;
    ASSERT_EQ(*job, *planned);
    ASSERT_GT(job->frames.size(), 30u);
    ASSERT_GT(job->frames.front().precisionBits, job->frames.back().precisionBits);

    start.restore(walked.app, walked.shell.observer);
    walked.app.shell.animationRunning = 0;
    Program rendered;
    ASSERT_TRUE(applyJobSettings(rendered.app, *job, rendered.shell.observer));
    MovieFrameWalk walk(walked.app, walked.shell.observer);
    std::size_t deepFrames = 0;
    while (walk.advance()) {
        const JobFrame& frame = job->frames.at(static_cast<std::size_t>(walk.counter()));
        applyJobFrame(rendered.app, frame);
        const ViewState& a = walked.app.view;
        const ViewState& b = rendered.app.view;
        ASSERT_EQ(b.deepZoom, a.deepZoom) << walk.counter();
        ASSERT_EQ(b.iterMax, a.iterMax) << walk.counter();
        ASSERT_EQ(b.precisionBits, a.precisionBits) << walk.counter();
        const WindowRef wa = currentWindow(walked.app.view);
        const WindowRef wb = currentWindow(rendered.app.view);
        const std::pair<const ViewNumber&, const ViewNumber&> pairs[] = {
            {wa.xmin, wb.xmin}, {wa.xmax, wb.xmax}, {wa.ymin, wb.ymin}, {wa.ymax, wb.ymax}};
        for (const auto& [x, y] : pairs) {
            if (a.deepZoom != 0) {
                EXPECT_EQ(mpf_cmp(x.mp(), y.mp()), 0) << walk.counter();
            } else {
                EXPECT_EQ(x.ext, y.ext) << walk.counter();
            }
        }
        deepFrames += a.deepZoom != 0 ? 1 : 0;
    }
    EXPECT_GT(deepFrames, 10u);
    EXPECT_LT(deepFrames, job->frames.size());
}

TEST(MovieJob, DamagedManifestsAreRefusedWithTheLineAtFault)
{
    const std::string text = formatMovieJob(handMadeJob());

    struct Case
    {
        std::string from;
        std::string to;
        std::string error;
    };

    const Case cases[] = {
        {"quorvalis-movie-job 1", "quorvalis-movie-job 2",
         "line 1: version 2 is not one this program reads"},
        {"parameters movie.fra", "parameters ../movie.fra",
         "line 2: the parameter file must be inside the job folder"},
        {"size 64 48", "size 64 4800", "line 3: the size is not that of a movie"},
        {"frame 1 ", "frame 2 ", "line 18: frame 1 expected"},
        {"iter 101", "iter 1o1", "line 18: '1o1' is not a whole number"},
        {"frames 3", "frames 4", "line 20: 'frame' with 23 values expected"},
        {"end\n", "end\nmore\n", "line 21: text after 'end'"},
        {"bits 96", "bits 12", "line 17: the precision is out of range"},
        {"ymax 0x", "ymax mp:0x", "line 17: 'mp:0x"},
    };
    for (const Case& c : cases) {
        std::string damaged = text;
        const std::size_t at = damaged.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.from;
        damaged.replace(at, c.from.size(), c.to);
        std::string error;
        EXPECT_FALSE(parseMovieJob(damaged, error)) << c.to;
        EXPECT_TRUE(error.starts_with(c.error)) << c.to << ": " << error;
    }
}

TEST(MovieJob, CommandsToPasteIntoAShell)
{
    const std::pair<std::string, std::string> cases[] = {
        {"/srv/jobs/spiral-1", "/srv/jobs/spiral-1"},
        {"/home/me/My movies", "'/home/me/My movies'"},
        {"it's", "'it'\\''s'"},
    };
    for (const auto& [folder, word] : cases) {
        EXPECT_EQ(jobCommand(folder, 0, 71), "quorvalis-render --movie-frames 0..71 --job " + word);
    }
}

} // namespace
} // namespace qv::test
