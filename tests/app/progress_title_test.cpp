// A threaded render's progress title: held back for a second, then each new whole percent.
#include "app/progress_title.h"
#include "app/render_entry.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace std::chrono_literals;

TEST(ProgressTitle, ShowsEachNewPercentOnceTheDelayHasPassed)
{
    EXPECT_EQ(waitProgressTitle(7), "QUORVALIS - Please wait. Stop with esc -key -  7%");
    const ProgressTitle::Clock::time_point start{};
    ProgressTitle title(start);

    const struct
    {
        std::chrono::milliseconds at;
        std::int32_t rowsDone, rows;
        std::string expected; ///< "" = the title stays
    } steps[] = {
        {500ms, 50, 100, ""},                     // a quick render keeps its title still
        {1000ms, 10, 100, waitProgressTitle(10)}, // then the percentage
        {1100ms, 10, 100, ""},                    // the same percentage again
        {1200ms, 15, 200, waitProgressTitle(7)},  // whole percents, rounded down
        {1300ms, 199, 200, waitProgressTitle(99)},
        {1400ms, 200, 200, ""}, // never 100: the picture follows
        {1500ms, 0, 0, ""},
    };

    EXPECT_FALSE(title.shown());
    for (const auto& s : steps) {
        EXPECT_EQ(title.titleAt(start + s.at, s.rowsDone, s.rows).value_or(""), s.expected)
            << s.at.count() << " ms, " << s.rowsDone << " of " << s.rows;
    }
    EXPECT_TRUE(title.shown());
}

} // namespace
} // namespace qv
