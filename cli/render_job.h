// One run of quorvalis-render after its command line was read: start-up, the parameter file,
// the options, the view-change step, --info, the render and the outputs.
#pragma once

#include "cli/options.h"

#include <atomic>
#include <cstdio>

namespace qv::cli {

/// What the run takes from the process.
struct RunEnvironment
{
    /// The processor count the system reports (0 when it reports none: one thread then).
    unsigned reportedProcessors = 0;
    /// Set by the SIGINT handler; the render stops at it and nothing is written.
    const std::atomic<int>& interrupted;
    std::FILE* out = stdout; ///< --info
    std::FILE* err = stderr; ///< messages, progress and the closing line
    /// Whether `err` is a terminal: the progress bar is drawn only there.
    bool errIsTerminal = false;
};

/// Runs the options and returns the exit status: kExitOk, kExitFileProblem when a file cannot
/// be read or written, kExitUsage for an output format that cannot be written here, and
/// kExitInterrupted when the interrupt came before the outputs were written. Every failure is
/// one line on `err` and leaves no output written.
int runRenderer(const Options& options, const RunEnvironment& environment);

/// Writes "quorvalis-render: " and the message as one line.
void printProblem(std::FILE* err, std::string_view message);

} // namespace qv::cli
