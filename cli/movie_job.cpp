// Movie jobs from the command line: writing the job folder and rendering slices of it.
#include "cli/movie_job.h"

#include "app/movie.h"
#include "app/render_entry.h"
#include "base/file_io.h"
#include "engine/view_state.h"
#include "imaging/movie_frames.h"
#include "persistence/movie_job.h"
#include "persistence/parameter_files.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>

namespace qv::cli {
namespace {

namespace fs = std::filesystem;

std::optional<std::string> fileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool holdsFrames(const std::string& folder)
{
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        if (entry.path().extension() == ".jpg") {
            return true;
        }
    }
    return false;
}

class JobRunner
{
public:
    explicit JobRunner(const JobRun& run) : m_run(run), m_app(run.app) {}

    int writeJob()
    {
        const std::string& folder = m_run.options.movieJob;
        if (const std::optional<MovieRefusal> refusal = movieRefusal(m_app)) {
            return problem(refusal->status, refusal->text);
        }
        const PictureSize size =
            *movieSize({m_app.settings.pictureWidth, m_app.settings.pictureHeight});
        changePictureSize(m_app, size, m_run.observer);
        // The frames of a movie to disk are written at full JPEG quality.
        m_app.settings.autosaveParameter = 0;
        const JobFolderResult saved = saveJobFolder(m_app, m_run.observer, folder);
        if (!saved.saved) {
            return problem(kExitFileProblem, oneLine(saved.error));
        }
        if (!m_run.options.quiet) {
            std::FILE* err = m_run.environment.err;
            if (saved.framesDeleted > 0) {
                std::fprintf(err, "%zu frames of an earlier job deleted\n", saved.framesDeleted);
            }
            const auto last = static_cast<std::int32_t>(saved.frameCount) - 1;
            std::fprintf(err, "a movie job of %zu frames of %dx%d in %s\nrender it with: %s\n",
                         saved.frameCount, size.width, size.height, folder.c_str(),
                         jobCommand(folder, 0, last).c_str());
            std::fflush(err);
        }
        return kExitOk;
    }

    int renderSlice()
    {
        const fs::path root(m_run.options.jobFolder);
        const std::string manifestPath = (root / kManifestName).string();
        const std::optional<std::string> manifest = fileText(manifestPath);
        if (!manifest) {
            return problem(kExitFileProblem, "cannot read " + inQuotes(manifestPath));
        }
        std::string error;
        const std::optional<MovieJob> job = parseMovieJob(*manifest, error);
        if (!job) {
            return problem(kExitFileProblem, inQuotes(manifestPath) + ": " + error);
        }
        const std::string frames = (root / kJobFramesName).string();
        if (const int status = claimFrameFolder(frames, *manifest); status != kExitOk) {
            return status;
        }
        const std::string parameterPath = (root / job->parameterFile).string();
        const std::optional<std::string> parameters = fileText(parameterPath);
        if (!parameters || jobHash(*parameters) != job->parameterHash) {
            return problem(kExitFileProblem,
                           inQuotes(parameterPath) + " is not the parameter file of the job");
        }
        if (!loadParameterFile(m_app, m_run.services, parameterPath)) {
            return problem(kExitFileProblem, inQuotes(parameterPath) + ": not a parameter file");
        }
        if (!applyJobSettings(m_app, *job, m_run.observer)) {
            return problem(kExitFileProblem,
                           inQuotes(manifestPath) + ": the palette does not come out as the job's");
        }
        return renderFrames(*job, frames);
    }

private:
    int problem(int status, std::string_view message)
    {
        m_run.progress.finishProgress();
        printProblem(m_run.environment.err, message);
        return status;
    }

    bool interrupted() const { return m_run.environment.interrupted.load() != 0; }

    /// Frames are only ever skipped beside the stamp of this very manifest.
    int claimFrameFolder(const std::string& frames, const std::string& manifest)
    {
        const FrameFolderProblem folder = checkFrameFolder(frames);
        if (folder != FrameFolderProblem::None) {
            return problem(kExitFileProblem, oneLine(frameFolderMessage(frames, folder)));
        }
        const std::string stampPath = (fs::path(frames) / kJobStampName).string();
        const std::string stamp = std::string(kMovieJobMagic) + " " + hashText(manifest) + "\n";
        const std::optional<std::string> found = fileText(stampPath);
        if (found == stamp) {
            return kExitOk;
        }
        if (found || holdsFrames(frames)) {
            return problem(kExitFileProblem, "the frames in " + inQuotes(frames) +
                                                 " belong to another job; make the job again "
                                                 "with --movie-job, or empty the folder");
        }
        const auto bytes = std::as_bytes(std::span(stamp.data(), stamp.size()));
        if (!replaceFile(stampPath, bytes)) {
            return problem(kExitFileProblem, "cannot write " + inQuotes(stampPath));
        }
        return kExitOk;
    }

    static std::string hashText(const std::string& manifest)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%016llx",
                      static_cast<unsigned long long>(jobHash(manifest)));
        return text;
    }

    int renderFrames(const MovieJob& job, const std::string& frames)
    {
        const FrameRange range = *m_run.options.movieFrames;
        const auto count = static_cast<std::int32_t>(job.frames.size());
        const std::int32_t last = std::min(range.last, count - 1);
        RenderOptions renderOptions;
        renderOptions.idleDeepWorkers = false;
        const auto start = std::chrono::steady_clock::now();
        std::int32_t written = 0;
        std::int32_t present = 0;
        removeStaleFrameTemporaries(frames, range.first, last, job.unzoomVideo != 0);
        for (std::int32_t counter = range.first; counter <= last; ++counter) {
            if (interrupted()) {
                break;
            }
            const std::string path =
                (fs::path(frames) / frameName(counter, job.unzoomVideo != 0)).string();
            if (completeFrame(path)) {
                ++present;
                continue;
            }
            applyJobFrame(m_app, job.frames[static_cast<std::size_t>(counter)]);
            renderView(m_app, m_run.progress, m_run.observer, renderOptions);
            if (interrupted() || m_app.render.stoppedByUser != 0) {
                break;
            }
            errno = 0;
            if (writeMovieFrame(m_app, path) != PictureSaveResult::Written) {
                const int code = errno;
                m_run.progress.finishProgress();
                return problem(kExitFileProblem,
                               "cannot write " + inQuotes(path) +
                                   (code != 0 ? ": " + errorText(code) : std::string()));
            }
            ++written;
        }
        m_run.progress.finishProgress();
        if (interrupted() || m_app.render.stoppedByUser != 0) {
            const int signal = m_run.environment.interrupted.load();
            return problem(signal > 0 ? 128 + signal : kExitInterrupted,
                           "interrupted; " + std::to_string(written) + " whole frames written");
        }
        if (range.last > last) {
            printProblem(m_run.environment.err,
                         "the movie ends at frame " + std::to_string(count - 1));
        }
        if (!m_run.options.quiet) {
            const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
            std::fprintf(m_run.environment.err,
                         "%d frames written, %d already there, %.3f s, threads: %d\n", written,
                         present, elapsed.count(), m_app.settings.threads);
            std::fflush(m_run.environment.err);
        }
        return kExitOk;
    }

    /// What killed slices left of these frames: temporary files no later run would reuse.
    static void removeStaleFrameTemporaries(const std::string& frames, std::int32_t first,
                                            std::int32_t last, bool unzoomVideo)
    {
        std::vector<std::string> paths;
        for (std::int32_t counter = std::max(first, 0); counter <= last; ++counter) {
            paths.push_back((fs::path(frames) / frameName(counter, unzoomVideo)).string());
        }
        removeStaleTemporaries(paths);
    }

    const JobRun& m_run;
    AppState& m_app;
};

} // namespace

std::optional<std::string> jobOptionProblem(const Options& o)
{
    if (!o.movieJob.empty() && !o.jobFolder.empty()) {
        return "--movie-job and --job cannot be given together";
    }
    if (!o.movieJob.empty()) {
        if (o.movieFrames || !o.frameFolder.empty() || !o.output.empty() || !o.raw.empty() ||
            o.info) {
            return "--movie-job writes a job only: drop --movie-frames, --out, -o, --raw and "
                   "--info";
        }
        return std::nullopt;
    }
    if (o.jobFolder.empty()) {
        return std::nullopt;
    }
    if (!o.movieFrames) {
        return "--job needs --movie-frames A..B";
    }
    const bool changes = !o.parameterFile.empty() || !o.frameFolder.empty() || !o.output.empty() ||
                         !o.raw.empty() || o.info || o.size || o.threads || o.iterMax || o.mode ||
                         o.bailout || o.mandelbrot || o.julia || !o.palette.empty() ||
                         o.unzoomFactor || o.unzoomVideo || o.fastDeep;
    if (changes) {
        return "--job takes everything from the job's manifest: only --movie-frames and -q go "
               "with it";
    }
    return std::nullopt;
}

int runMovieJob(const JobRun& run)
{
    JobRunner runner(run);
    return run.options.movieJob.empty() ? runner.renderSlice() : runner.writeJob();
}

bool completeFrame(const std::string& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        return false;
    }
    const std::streamoff size = in.tellg();
    if (size < 4) {
        return false;
    }
    std::array<char, 2> head{};
    std::array<char, 2> tail{};
    in.seekg(0);
    in.read(head.data(), 2);
    in.seekg(size - 2);
    in.read(tail.data(), 2);
    const auto byte = [](char c) { return static_cast<unsigned char>(c); };
    return in && byte(head[0]) == 0xFF && byte(head[1]) == 0xD8 && byte(tail[0]) == 0xFF &&
           byte(tail[1]) == 0xD9;
}

} // namespace qv::cli
