// Movie jobs end to end: the options, slices rendered by several processes under GNU parallel
// (one killed and run again) against the windows' movie to disk, and the resume rules.
#include "app/movie.h"
#include "base/file_io.h"
#include "cli/movie_job.h"
#include "cli/options.h"
#include "imaging/movie_frames.h"
#include "persistence/movie_job.h"
#include "tests/cli/cli_test_support.h"
#include "tests/cli/program_runner.h"
#include "tests/support/folder_files.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

/// The frames of the windows' "Make movie to disk" for the session's state: the same walk,
/// render entry and frame writer, into `folder`.
void programMovie(GuiSession& s, const std::string& folder)
{
    fs::create_directories(folder);
    s.app.settings.autosaveParameter = 0;
    changePictureSize(s.app, {s.app.settings.pictureWidth, s.app.settings.pictureHeight},
                      s.shell.observer);
    MovieFrameWalk walk(s.app, s.shell.observer);
    while (walk.advance()) {
        walk.prepareRender();
        renderView(s.app, s.progress, s.shell.observer);
        refreshFromDeep(s.app.view, viewContext(s.app), s.shell.observer);
        ASSERT_EQ(writeMovieFrame(s.app, folder + "/" + frameName(walk.counter(), false)),
                  PictureSaveResult::Written);
    }
    s.app.shell.animationRunning = 0;
}

/// The jpg frames of a folder by name, with their bytes.
std::map<std::string, std::string> framesIn(const std::string& folder)
{
    std::map<std::string, std::string> frames;
    for (const std::string& name : namesIn(folder)) {
        if (name.ends_with(".jpg")) {
            frames[name] = bytesOf(folder + "/" + name);
        }
    }
    return frames;
}

bool haveParallel()
{
    return std::system("parallel --version >/dev/null 2>&1") == 0;
}

/// Waits for a frame of frames 24..47 (names 9999952..9999975) to be renamed into place.
bool waitForMiddleFrame(int inotify, std::chrono::seconds guard)
{
    const auto end = std::chrono::steady_clock::now() + guard;
    alignas(inotify_event) char buffer[4096];
    while (std::chrono::steady_clock::now() < end) {
        pollfd fd{inotify, POLLIN, 0};
        if (::poll(&fd, 1, 100) <= 0) {
            continue;
        }
        const ssize_t n = ::read(inotify, buffer, sizeof buffer);
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            const std::string name = event->len > 0 ? event->name : "";
            if (name.size() == 11 && name.ends_with(".jpg") && name >= "9999952" &&
                name < "9999976") {
                return true;
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return false;
}

TEST(MovieJobOptions, WhatGoesWithAJob)
{
    struct Case
    {
        std::vector<std::string> arguments;
        std::string error; ///< empty: accepted
    };

    const Case cases[] = {
        {{"f.fra", "--size", "64x48", "--iter", "200", "--movie-job", "j"}, ""},
        {{"--movie-frames", "0..23", "--job", "j", "-q"}, ""},
        {{"--movie-job", "j", "--movie-frames", "0..3"},
         "--movie-job writes a job only: drop --movie-frames, --out, -o, --raw and --info"},
        {{"--job", "j"}, "--job needs --movie-frames A..B"},
        {{"--job", "j", "--movie-frames", "0..3", "--size", "8x8"},
         "--job takes everything from the job's manifest: only --movie-frames and -q go with it"},
        {{"--job", "j", "--movie-frames", "0..3", "--fast-deep"},
         "--job takes everything from the job's manifest: only --movie-frames and -q go with it"},
        {{"--job", "j", "--movie-frames", "0..3", "--out", "d"},
         "--job takes everything from the job's manifest: only --movie-frames and -q go with it"},
        {{"--job", "j", "--movie-job", "k", "--movie-frames", "0..3"},
         "--movie-job and --job cannot be given together"},
        {{"--job", ""}, "--job: the folder name is empty"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cli::parseArguments(c.arguments).error, c.error) << c.arguments.back();
    }
}

TEST(MovieJobFarm, SlicesUnderParallelOneKilledMatchTheProgramsMovie)
{
    ASSERT_TRUE(haveParallel()) << "GNU parallel is missing: run scripts/install-deps";
    TempFolder temp;
    const std::string job = temp.path() + "job";
    GuiSession session;
    session.setSizeAndThreads(64, 48, 2);
    session.app.view.iterMax = 200;
    session.applyView();
    {
        const ViewSnapshot start(session.app.view);
        changePictureSize(session.app, {64, 48}, session.shell.observer);
        const JobFolderResult saved = saveJobFolder(session.app, session.shell.observer, job);
        ASSERT_TRUE(saved.saved) << saved.error;
        ASSERT_EQ(saved.frameCount, 72u);
        start.restore(session.app, session.shell.observer);
        session.app.shell.animationRunning = 0;
    }
    programMovie(session, temp.path() + "program");
    const std::map<std::string, std::string> expected = framesIn(temp.path() + "program");
    ASSERT_EQ(expected.size(), 72u);

    // One process for the whole movie.
    fs::copy(job, temp.path() + "single", fs::copy_options::recursive);
    const ProgramResult single =
        runRenderer({"-q", "--movie-frames", "0..71", "--job", temp.path() + "single"});
    ASSERT_EQ(single.exitStatus, 0) << single.err;
    EXPECT_EQ(framesIn(temp.path() + "single/frames"), expected);

    // Three slices at once; the middle one is killed at its first frame, and parallel runs it
    // again.
    const std::string frames = job + "/frames";
    const int inotify = ::inotify_init1(IN_CLOEXEC);
    ASSERT_GE(inotify, 0);
    ASSERT_GE(::inotify_add_watch(inotify, frames.c_str(), IN_MOVED_TO), 0);
    const std::string command =
        "cd '" + temp.path() + "' && parallel --will-cite -j3 --retries 2 " +
        "\"sh -c 'echo \\$\\$ > pid{#}; exec " + QV_RENDER_PROGRAM +
        " -q --movie-frames {} --job job'\" ::: 0..23 24..47 48..71 >parallel.log 2>&1";
    std::future<int> farm =
        std::async(std::launch::async, [&] { return std::system(command.c_str()); });
    ASSERT_TRUE(waitForMiddleFrame(inotify, std::chrono::seconds(60)));
    const pid_t middle = std::stoi(bytesOf(temp.path() + "pid2"));
    ::kill(middle, SIGKILL);
    std::map<std::string, fs::file_time_type> survivors;
    for (const auto& [name, bytes] : framesIn(frames)) {
        survivors[name] = fs::last_write_time(frames + "/" + name);
    }
    ::close(inotify);
    EXPECT_EQ(farm.get(), 0) << bytesOf(temp.path() + "parallel.log");
    EXPECT_EQ(framesIn(frames), expected);
    // The frames the killed slice left were kept, not rendered again.
    std::size_t middleKept = 0;
    for (const auto& [name, time] : survivors) {
        EXPECT_EQ(fs::last_write_time(frames + "/" + name), time) << name;
        middleKept += name >= "9999952" && name < "9999976" ? 1 : 0;
    }
    EXPECT_GE(middleKept, 1u);
    EXPECT_LT(middleKept, 24u) << "the middle slice ended before it was killed";
}

TEST(MovieJobFarm, FramesAreSkippedOnlyWhenTheyAreWholeAndOfThisJob)
{
    TempFolder temp;
    const std::string job = temp.path() + "job";
    const std::vector<std::string> make = {"--size",   "32x24", "--threads",   "1", "-q",
                                           "--unzoom", "1.5",   "--movie-job", job};
    ASSERT_EQ(runRenderer(make).exitStatus, 0);
    const std::vector<std::string> slice = {"--movie-frames", "0..3", "--job", job};
    const ProgramResult first = runRenderer(slice);
    ASSERT_EQ(first.exitStatus, 0) << first.err;
    EXPECT_TRUE(first.err.starts_with("4 frames written, 0 already there")) << first.err;
    const std::string frames = job + "/frames/";
    const std::string whole = bytesOf(frames + "9999998.jpg");
    const std::string killedSlicesFile =
        temporaryNameFor(frames + "9999997.jpg", endedProcess(), 0);

    struct Case
    {
        std::string name;
        std::function<void()> change;
        int status;
        std::string err; ///< the start of stderr
    };

    const Case cases[] = {
        {"a torn frame is rendered again",
         [&] { std::ofstream(frames + "9999998.jpg") << whole.substr(0, whole.size() / 2); }, 0,
         "1 frames written, 3 already there"},
        {"a temporary file left by a killed slice is no frame, and is removed",
         [&] { std::ofstream(killedSlicesFile) << "x"; }, 0, "0 frames written, 4 already there"},
        {"a changed manifest does not own these frames",
         [&] {
             std::string text = bytesOf(job + "/movie.qvjob");
             text.replace(text.find("iter "), 8, "iter 999");
             std::ofstream(job + "/movie.qvjob") << text;
         },
         2, "quorvalis-render: the frames in '" + job + "/frames' belong to another job"},
    };
    for (const Case& c : cases) {
        c.change();
        const ProgramResult result = runRenderer(slice);
        EXPECT_EQ(result.exitStatus, c.status) << c.name;
        EXPECT_TRUE(result.err.starts_with(c.err)) << c.name << ": " << result.err;
        EXPECT_EQ(bytesOf(frames + "9999998.jpg"), whole) << c.name;
    }
    EXPECT_FALSE(fs::exists(killedSlicesFile));
    // The same job made again keeps its frames; another job in the folder deletes them.
    ASSERT_EQ(runRenderer(make).exitStatus, 0);
    EXPECT_TRUE(runRenderer(slice).err.starts_with("0 frames written, 4 already there"));
    std::vector<std::string> other = make;
    other.insert(other.begin(), {"--iter", "150"});
    ASSERT_EQ(runRenderer(other).exitStatus, 0);
    EXPECT_TRUE(runRenderer(slice).err.starts_with("4 frames written, 0 already there"));
}

} // namespace
} // namespace qv::test
