// The statistics rows: which rows show, and the texts of times, speeds and precision.
#include "app/statistics.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(FormatDuration, WholeSecondsAsHoursMinutesSeconds)
{
    const std::vector<std::pair<double, std::string>> cases = {
        {75.4, " 0 h  1 m  15 s"},    {0.0, " 0 h  0 m  0 s"},  {3600.0, " 1 h  0 m  0 s"},
        {3599.5, " 1 h  0 m  0 s"},   {60.5, " 0 h  1 m  0 s"}, {61.5, " 0 h  1 m  2 s"},
        {90061.0, " 25 h  1 m  1 s"},
    };
    for (const auto& [seconds, text] : cases) {
        EXPECT_EQ(formatDuration(seconds), text) << seconds;
    }
}

std::string valueOf(const Statistics& s, const std::string& label)
{
    for (const StatisticsRow& r : s.rows) {
        if (r.label == label) {
            return r.value;
        }
    }
    return "(absent)";
}

TEST(Statistics, RowsFollowTheLastRenderAndTheSettings)
{
    struct Case
    {
        float seconds;
        std::int32_t deep, bits, multi, threads, colours;
        std::uint32_t modeWord;
        std::string heading, elapsed, speed, threadsShown, precision, coloursShown, inside;
    };

    const std::vector<Case> cases = {
        {75.4f, 0, 96, 1, 4, 300, 5, " MANDELBROT", " 0 h  1 m  15 s", " 4074", " 4", " 80 bits",
         " 300", " 1234"},
        {12.5f, 1, 96, 1, 2, 7, 4, " JULIA", " 12.5 seconds", " 24576", " 2", " 96 bits", " 7",
         " 1234"},
        {0.25f, 1, 368, 0, 1, 0, 5, " MANDELBROT", " 0.25 seconds", " 1228800", " 1", " 368 bits",
         "(absent)", "(absent)"},
        // The thread count in force: one while "Multi-threaded" is off.
        {1.0f, 0, 96, 0, 8, 1, 5, " MANDELBROT", " 1 seconds", " 307200", " 1", " 80 bits", " 1",
         " 1234"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.elapsed);
        AppState app;
        app.render.elapsedSeconds = c.seconds;
        app.view.deepZoom = c.deep;
        app.view.precisionBits = c.bits;
        app.view.modeWord = c.modeWord;
        app.settings.multiThreaded = c.multi;
        app.settings.threads = c.threads;
        app.render.coloursUsed = c.colours;
        app.render.insidePixels = 1234;
        const Statistics s = statisticsOf(app, "x");
        EXPECT_EQ(s.heading, c.heading);
        EXPECT_EQ(valueOf(s, " Elapsed time:"), c.elapsed);
        EXPECT_EQ(valueOf(s, " Pixels/sec:"), c.speed);
        EXPECT_EQ(valueOf(s, " Processors/Threads used:"), c.threadsShown);
        EXPECT_EQ(valueOf(s, " Precision:"), c.precision);
        EXPECT_EQ(valueOf(s, " Colors used:"), c.coloursShown);
        EXPECT_EQ(valueOf(s, " Inside pixels: "), c.inside);
        // Absent rows leave their places empty.
        EXPECT_EQ(s.rows.back().number, 17);
    }
}

} // namespace
} // namespace qv
