// quorvalis-render: renders, inspects and exports fractal views without a window.
#include "cli/interrupts.h"
#include "cli/options.h"
#include "cli/render_job.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#ifndef QV_VERSION
#define QV_VERSION "0"
#endif

namespace {

/// Not one of the statuses that tell a file problem or a wrong command line.
constexpr int kExitOutOfMemory = 1;

/// Names the step of the output writing at which the program waits for a signal (tests only).
constexpr const char* kHoldVariable = "QUORVALIS_RENDER_TEST_HOLD";

} // namespace

int main(int argc, char** argv)
{
    // Before any thread starts: every later thread inherits the blocked signals, so that only
    // the watching thread receives them.
    qv::cli::PendingFiles pending;
    const qv::cli::InterruptWatch interrupts(pending, stderr);
    // A FIFO output whose reader went away fails with its reason instead of ending the program
    // with its other outputs half made.
    std::signal(SIGPIPE, SIG_IGN);
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const qv::cli::ParseResult parsed = qv::cli::parseArguments(arguments);
    if (!parsed.options) {
        qv::cli::printProblem(stderr, parsed.error);
        return qv::cli::kExitUsage;
    }
    const qv::cli::Options& options = *parsed.options;
    if (options.help) {
        std::fputs(qv::cli::helpText().c_str(), stdout);
        return qv::cli::kExitOk;
    }
    if (options.version) {
        std::printf("%s %s\n", qv::cli::kProgramName.data(), QV_VERSION);
        return qv::cli::kExitOk;
    }
    const char* hold = std::getenv(kHoldVariable);
    const qv::cli::RunEnvironment environment{
        std::thread::hardware_concurrency(), interrupts.received(),      pending, stdout, stderr,
        ::isatty(STDERR_FILENO) == 1,        hold != nullptr ? hold : ""};
    try {
        return qv::cli::runRenderer(options, environment);
    } catch (const std::bad_alloc&) {
        // A picture of 16384 x 16384 needs some 10 GB; a smaller machine ends here, not in an
        // abort. Outputs take their names only when complete, so none is left half-written.
        qv::cli::printProblem(stderr, "not enough memory for this picture");
        return kExitOutOfMemory;
    }
}
