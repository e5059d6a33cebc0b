// quorvalis-render --movie-frames: the frames of a movie to disk by range, their names, and the
// movie's refusals.
#include "cli/options.h"
#include "tests/cli/program_runner.h"
#include "tests/support/folder_files.h"
#include "tests/support/temp_folder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

TEST(MovieFrameOptions, RangesAndTheirCompanions)
{
    struct Case
    {
        std::vector<std::string> arguments;
        std::string error; ///< empty: accepted
    };

    const Case cases[] = {
        {{"--movie-frames", "3..9", "--out", "d"}, ""},
        {{"--movie-frames", "0..9999999", "--out", "d", "--unzoom", "1.5", "--unzoom-video"}, ""},
        {{"--movie-frames", "9..3", "--out", "d"}, "--movie-frames: '9..3' ends before it starts"},
        {{"--movie-frames", "0..10000000", "--out", "d"},
         "--movie-frames: 10000000 is out of range (0 to 9999999)"},
        {{"--movie-frames", "0..1"}, "--movie-frames needs --out DIR"},
        {{"--out", "d"}, "--out DIR goes with --movie-frames"},
        {{"--movie-frames", "0..1", "--out", "d", "-o", "x.png"},
         "--movie-frames writes frames only: drop -o and --raw"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cli::parseArguments(c.arguments).error, c.error) << c.arguments[1];
    }
}

TEST(MovieFrames, RangesOfTheDefaultMovieGiveTheSameFiles)
{
    TempFolder temp;
    const std::vector<std::string> common = {"--size", "32x24", "--threads", "2", "-q", "--out"};
    const auto run = [&](const std::string& folder, std::vector<std::string> more) {
        std::vector<std::string> arguments = common;
        arguments.push_back(folder);
        arguments.insert(arguments.end(), more.begin(), more.end());
        return runRenderer(arguments);
    };
    const ProgramResult whole = run(temp.path() + "whole", {"--movie-frames", "0..500"});
    ASSERT_EQ(whole.exitStatus, 0) << whole.err;
    EXPECT_EQ(whole.err, "quorvalis-render: the movie ends at frame 71\n");
    EXPECT_EQ(namesIn(temp.path() + "whole").size(), 72u);

    const ProgramResult part = run(temp.path() + "part", {"--movie-frames", "70..71"});
    ASSERT_EQ(part.exitStatus, 0) << part.err;
    EXPECT_EQ(namesIn(temp.path() + "part"),
              (std::vector<std::string>{"9999928.jpg", "9999929.jpg"}));
    for (const char* name : {"9999928.jpg", "9999929.jpg"}) {
        EXPECT_EQ(bytesOf(temp.path() + "part/" + name), bytesOf(temp.path() + "whole/" + name));
    }

    const ProgramResult outward =
        run(temp.path() + "out", {"--movie-frames", "0..2", "--unzoom-video", "--unzoom", "1.5"});
    ASSERT_EQ(outward.exitStatus, 0) << outward.err;
    EXPECT_EQ(namesIn(temp.path() + "out"),
              (std::vector<std::string>{"0000000.jpg", "0000001.jpg", "0000002.jpg"}));
}

TEST(MovieFrames, Refusals)
{
    TempFolder temp;
    fs::create_directory(temp.path() + "real");
    // The second frame's name is taken by a folder: the first frame stays.
    fs::create_directories(temp.path() + "taken/9999998.jpg");

    struct Case
    {
        std::vector<std::string> arguments;
        int status;
        std::string error;
    };

    const std::string prefix = "quorvalis-render: ";
    const Case cases[] = {
        {{"--unzoom", "1", "--out", temp.path() + "real"},
         64,
         "Values less than 1 are not allowed! Try between 1.01 and 1.03"},
        {{"--out", temp.path() + "taken"},
         2,
         "cannot write '" + temp.path() +
             "taken/9999998.jpg': Is a directory; Movie creation interrupted!"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = {"--size", "32x24", "-q", "--movie-frames", "0..3"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const ProgramResult result = runRenderer(arguments);
        EXPECT_EQ(result.exitStatus, c.status) << c.error;
        EXPECT_EQ(result.err, prefix + c.error + "\n");
    }
    EXPECT_TRUE(namesIn(temp.path() + "real").empty());
    EXPECT_EQ(namesIn(temp.path() + "taken"),
              (std::vector<std::string>{"9999998.jpg", "9999999.jpg"}));
    EXPECT_TRUE(fs::is_regular_file(temp.path() + "taken/9999999.jpg"));
}

} // namespace
} // namespace qv::test
