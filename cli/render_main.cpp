// quorvalis-render: renders, inspects and exports fractal views without a window.
#include "cli/options.h"
#include "cli/render_job.h"

#include <atomic>
#include <csignal>
#include <cstdio>
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

// A signal handler can reach nothing but static storage: this flag is the one place where the
// interrupt meets the render, which reads it in place of the Esc key.
std::atomic<int> interruptRequested{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void onInterrupt(int)
{
    interruptRequested.store(1);
}

/// The first Ctrl-C asks the render to stop; the handler then steps aside, so that a second
/// one ends the program at once.
void catchInterrupt()
{
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

} // namespace

int main(int argc, char** argv)
{
    catchInterrupt();
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
    const qv::cli::RunEnvironment environment{std::thread::hardware_concurrency(),
                                              interruptRequested, stdout, stderr,
                                              ::isatty(STDERR_FILENO) == 1};
    try {
        return qv::cli::runRenderer(options, environment);
    } catch (const std::bad_alloc&) {
        // A picture of 16384 x 16384 needs some 10 GB; a smaller machine ends here, not in an
        // abort. Outputs are replaced whole, so none is left half-written.
        qv::cli::printProblem(stderr, "not enough memory for this picture");
        return kExitOutOfMemory;
    }
}
