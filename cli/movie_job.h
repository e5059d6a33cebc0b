// quorvalis-render's movie jobs: --movie-job writes one, --movie-frames A..B --job DIR renders
// a slice of one, skipping the frames already there.
#pragma once

#include "app/app_state.h"
#include "app/render_observer.h"
#include "app/shell_services.h"
#include "cli/headless_host.h"
#include "cli/options.h"
#include "cli/render_job.h"

#include <optional>
#include <string>

namespace qv::cli {

/// What a job run works with: the run's state and stand-ins, after start-up and the options.
struct JobRun
{
    AppState& app;
    ShellServices& services;
    HeadlessProgress& progress;
    RenderObserver& observer;
    const Options& options;
    const RunEnvironment& environment;
};

/// Why --movie-job or --job cannot go with the other options given, or nothing.
std::optional<std::string> jobOptionProblem(const Options& options);

/// Runs --movie-job or --job and returns the exit status, as runRenderer does.
int runMovieJob(const JobRun& run);

/// Whether the file is a whole JPEG picture: a frame renamed into place, not a torn one.
bool completeFrame(const std::string& path);

} // namespace qv::cli
