// reelbind: makes an AVI video of the pictures in a frame folder.
#include "reelbind/console_host.h"
#include "reelbind/converter.h"
#include "reelbind/dialogs.h"
#include "reelbind/frame_folder.h"
#include "reelbind/options.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

namespace {

using namespace qv::reelbind;

// A signal handler reaches nothing but static storage: the conversion reads this flag after
// every frame and then drops its temporary file.
std::atomic<int> interruptRequested{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void onInterrupt(int)
{
    interruptRequested.store(1);
}

/// The first Ctrl-C or termination request stops the conversion; a second Ctrl-C ends the
/// program at once.
void catchInterrupt()
{
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void problem(std::string_view text)
{
    std::fprintf(stderr, "reelbind: %.*s\n", static_cast<int>(text.size()), text.data());
}

/// The closing line: what was written and how fast.
void summarise(const ConversionResult& result, const std::string& video, double seconds)
{
    const double perSecond = seconds > 0 ? static_cast<double>(result.frames) / seconds : 0.0;
    std::fprintf(stderr, "reelbind: %lld frames, %dx%d, %s, %.2f s, %.1f frames/s: %s\n",
                 static_cast<long long>(result.frames), result.width, result.height,
                 codecInfo(result.codec).name.data(), seconds, perSecond, video.c_str());
}

int statusOf(Outcome outcome)
{
    if (interruptRequested.load() != 0) {
        return kExitStopped;
    }
    switch (outcome) {
    case Outcome::Written:
        return kExitOk;
    case Outcome::Failed:
        return kExitFailed;
    case Outcome::NoPicture:
    case Outcome::Cancelled:
        break;
    }
    return kExitNoVideo;
}

/// Asks for what the command line left out, converts and reports. `dialogs` is null without
/// a display or with --quiet.
int run(const Options& options, Dialogs* dialogs)
{
    std::string given = options.video.value_or("");
    if (!options.video) {
        if (dialogs == nullptr) {
            problem("no VIDEO given, and no dialog to ask for one (see --help)");
            return kExitUsage;
        }
        given = dialogs->askVideoPath();
        if (given.empty()) {
            problem("no video chosen");
            return kExitNoVideo;
        }
    }
    const std::string video = videoPathFor(given);
    std::error_code ignored;
    if (std::filesystem::is_directory(video, ignored)) {
        const std::string text = video + " is a folder, not a video file";
        problem(text);
        if (dialogs != nullptr) {
            dialogs->message(text);
        }
        return kExitUsage;
    }
    std::filesystem::path folder;
    if (options.frames) {
        folder = framesFolderFor(*options.frames);
    } else if (dialogs == nullptr) {
        problem("no FRAMES folder given, and no dialog to ask for one (see --help)");
        return kExitUsage;
    } else {
        const std::string start = std::filesystem::path(video).parent_path().string();
        const std::string chosen = dialogs->askFramesFolder(start.empty() ? "." : start);
        if (chosen.empty()) {
            problem("no frame folder chosen");
            return kExitNoVideo;
        }
        folder = chosen;
    }

    ConsoleHost console(options.codec.value_or(Codec::Mjpeg),
                        ::isatty(STDERR_FILENO) == 1 ? stderr : nullptr, stderr,
                        interruptRequested);
    ConversionHost& host = dialogs != nullptr ? static_cast<ConversionHost&>(*dialogs) : console;
    const auto started = std::chrono::steady_clock::now();
    const ConversionResult result = convertFrames(video, folder, host);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    console.finishBar();
    if (result.outcome == Outcome::Written) {
        summarise(result, video, took.count());
    } else {
        problem(result.message);
        if (result.outcome == Outcome::Failed && dialogs != nullptr) {
            dialogs->message(result.message);
        }
    }
    return statusOf(result.outcome);
}

} // namespace

int main(int argc, char** argv)
{
    catchInterrupt();
    // The libraries' own notes (deprecated pixel formats and the like) mean nothing to a user.
    av_log_set_level(AV_LOG_ERROR);
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::string error;
    const std::optional<Options> options = parseOptions(arguments, error);
    if (!options) {
        problem(error + " (see --help)");
        return kExitUsage;
    }
    if (options->help) {
        std::fputs(helpText().data(), stdout);
        return kExitOk;
    }
    std::unique_ptr<Dialogs> dialogs;
    if (!options->quiet && dialogsPossible(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"),
                                           std::getenv("QT_QPA_PLATFORM"))) {
        dialogs = makeQtDialogs(argc, argv, options->codec, interruptRequested);
    }
    const int status = run(*options, dialogs.get());
    if (dialogs) {
        dialogs->message("DONE!");
    }
    return status;
}
