// One run of quorvalis-render after its command line was read: start-up, the parameter file,
// the options, the view-change step, --info, the render and the outputs.
#pragma once

#include "cli/interrupts.h"
#include "cli/options.h"

#include <atomic>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace qv {
struct AppState;
}

namespace qv::cli {

/// What the run takes from the process.
struct RunEnvironment
{
    /// The processor count the system reports (0 when it reports none: one thread then).
    unsigned reportedProcessors = 0;
    /// The number of the first SIGINT, SIGTERM or SIGHUP; the render stops at it and nothing
    /// is written.
    const std::atomic<int>& interrupted;
    /// Where the outputs' temporary files are listed while they exist.
    PendingFiles& pending;
    std::FILE* out = stdout; ///< --info
    std::FILE* err = stderr; ///< messages, progress and the closing line
    /// Whether `err` is a terminal: the progress bar is drawn only there.
    bool errIsTerminal = false;
    /// A step of the output writing ("write:1", "name:1", "frame:3") at which the program says
    /// "hold: STEP" on `err` and waits a while for a signal; tests use it to interrupt there.
    std::string holdAt;
};

/// Runs the options and returns the exit status: kExitOk, kExitFileProblem when a file cannot
/// be read or written, kExitUsage for an output format that cannot be written here, and 128 +
/// the signal's number when a signal came before the outputs took their names. Every failure
/// is one line on `err` and leaves every output as it was.
int runRenderer(const Options& options, const RunEnvironment& environment);

/// The text with its line breaks made spaces, for a message of one line.
std::string oneLine(std::string_view text);

/// Why a movie cannot be made of the view at its picture size: the exit status and the message.
struct MovieRefusal
{
    int status = 0;
    std::string text;
};

std::optional<MovieRefusal> movieRefusal(const AppState& app);

/// Writes "quorvalis-render: " and the message as one line.
void printProblem(std::FILE* err, std::string_view message);

} // namespace qv::cli
