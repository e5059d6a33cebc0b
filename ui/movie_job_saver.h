// "Make movie to disk" for a render farm: the movie saved as a job (parameter file, manifest,
// frame folder) for quorvalis-render to render on this computer or on many.
#pragma once

#include "app/app_state.h"
#include "app/shell_observer.h"
#include "base/prompts.h"

#include <string>
#include <string_view>

namespace qv {

inline constexpr std::string_view kMovieJobQuestion =
    "Save the movie as a job instead?\n\n"
    "Its frames are then rendered by quorvalis-render, on this computer or on many.";
inline constexpr std::string_view kMovieJobFolderTitle = "Folder for the movie job";
/// The job goes into this folder of the one chosen when that holds other files.
inline constexpr std::string_view kMovieJobSubfolder = "movie-job";

/// Whether a folder can take a job: missing, empty, or holding only what a job folder holds.
bool folderTakesJob(const std::string& folder);

/// Asks whether to save the movie as a job and where, saves it from the current view at the
/// current picture size (into the folder chosen, or its movie-job folder when it holds other
/// files), and tells the command that renders it. The view comes back as it was.
/// `initialFolder` is where the folder dialog starts.
void offerMovieJob(AppState& app, ShellObserver& observer, Prompts& prompts,
                   const std::string& initialFolder);

} // namespace qv
