// Saving a movie to disk as a job for quorvalis-render.
#include "ui/movie_job_saver.h"

#include "app/movie.h"
#include "persistence/movie_job.h"

#include <filesystem>
#include <system_error>

namespace qv {

namespace fs = std::filesystem;

bool folderTakesJob(const std::string& folder)
{
    std::error_code error;
    const fs::file_status status = fs::symlink_status(folder, error);
    if (status.type() == fs::file_type::not_found) {
        return true;
    }
    if (!fs::is_directory(status)) {
        return false;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name != kManifestName && name != kJobFramesName && name != "movie.fra" &&
            name != "movie.fdz") {
            return false;
        }
    }
    return !error;
}

void offerMovieJob(AppState& app, ShellObserver& observer, Prompts& prompts,
                   const std::string& initialFolder)
{
    if (!prompts.askYesNo(kMovieJobQuestion)) {
        return;
    }
    std::string folder = prompts.chooseFolder(kMovieJobFolderTitle, initialFolder);
    if (folder.empty()) {
        return;
    }
    // The folder dialog makes no new folder, and a job must not mix with other files.
    if (!folderTakesJob(folder)) {
        folder = (fs::path(folder) / kMovieJobSubfolder).string();
    }
    if (!folderTakesJob(folder)) {
        prompts.message("The folder\n" + folder +
                        "\nholds other files. Choose an empty folder, or one with a movie job.");
        return;
    }
    const ViewSnapshot start(app.view);
    const JobFolderResult saved = saveJobFolder(app, observer, folder);
    start.restore(app, observer);
    app.shell.animationRunning = 0;
    if (!saved.saved) {
        prompts.message(saved.error);
        return;
    }
    const auto last = static_cast<std::int32_t>(saved.frameCount) - 1;
    prompts.message("The movie job is saved in\n" + folder + "\n\nRender its " +
                    std::to_string(saved.frameCount) + " frames with\n" +
                    jobCommand(folder, 0, last) +
                    "\n\nor in slices on many computers. Then make the video with\nreelbind " +
                    "movie.avi " + (fs::path(folder) / kJobFramesName).string());
}

} // namespace qv
