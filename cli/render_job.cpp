// One run of quorvalis-render.
#include "cli/render_job.h"

#include "app/app_state.h"
#include "app/movie.h"
#include "app/plausibility.h"
#include "app/render_entry.h"
#include "app/render_observer.h"
#include "app/shell_services.h"
#include "app/startup.h"
#include "base/file_io.h"
#include "cli/headless_host.h"
#include "cli/info.h"
#include "cli/movie_job.h"
#include "cli/raw_file.h"
#include "engine/view_state.h"
#include "imaging/movie_frames.h"
#include "imaging/picture_files.h"
#include "palette/palette_file.h"
#include "palette/palette_random.h"
#include "persistence/parameter_files.h"
#include "persistence/parameter_warnings.h"
#include "persistence/picture_writer.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace qv::cli {
namespace {

namespace fs = std::filesystem;

/// Start-up reads no screen here; this width gives the 640 x 480 picture of a wide screen.
constexpr std::int32_t kAssumedScreenWidth = 1280;
constexpr std::int32_t kAssumedScreenHeight = 1024;

/// The default Julia window, as typed text.
constexpr std::string_view kJuliaLow = "-1.8";
constexpr std::string_view kJuliaHigh = "1.8";

/// Why a file cannot be read, or nothing when it can.
std::optional<std::string> unreadable(const std::string& path)
{
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (!fs::exists(status)) {
        return "cannot read " + inQuotes(path) + ": no such file";
    }
    if (fs::is_directory(status)) {
        return "cannot read " + inQuotes(path) + ": it is a folder";
    }
    if (!fs::is_regular_file(status)) {
        return "cannot read " + inQuotes(path) + ": not a regular file";
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return "cannot read " + inQuotes(path) + ": " + std::strerror(errno);
    }
    ::close(fd);
    return std::nullopt;
}

/// Why a file cannot be written at `path`, or nothing when its folder takes it. Checked before
/// rendering, so that a long render never ends in an output that has nowhere to go.
std::optional<std::string> unwritable(const std::string& path)
{
    std::error_code error;
    if (fs::is_directory(path, error)) {
        return "cannot write " + inQuotes(path) + ": it is a folder";
    }
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    if (!fs::is_directory(folder, error)) {
        return "cannot write " + inQuotes(path) + ": no folder " + inQuotes(folder.string());
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        return "cannot write " + inQuotes(path) + ": " + std::strerror(errno);
    }
    return std::nullopt;
}

/// A message of several lines as one line.
bool sameFile(const std::string& a, const std::string& b)
{
    std::error_code error;
    const fs::path x = fs::weakly_canonical(a, error);
    if (error) {
        return false;
    }
    const fs::path y = fs::weakly_canonical(b, error);
    return !error && x == y;
}

bool withImageExtension(const std::string& path)
{
    std::string extension = fs::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), [](char c) {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    });
    return extension == ".fpi" || extension == ".fpz";
}

/// An output file listed with the run's pending files for as long as its temporary exists.
class TrackedFile
{
public:
    TrackedFile(PendingFiles& pending, const std::string& path) : m_pending(pending), m_file(path)
    {
        m_pending.track(m_file);
    }

    TrackedFile(const TrackedFile&) = delete;
    TrackedFile& operator=(const TrackedFile&) = delete;

    ~TrackedFile() { m_pending.untrack(m_file); }

    StagedFile& file() { return m_file; }

private:
    PendingFiles& m_pending;
    StagedFile m_file;
};

/// What one output of a run still has to do.
struct PendingOutput
{
    std::string path;
    std::unique_ptr<TrackedFile> staged;
    std::vector<std::byte> bytes;
};

const char* rendererName(RendererKind kind)
{
    switch (kind) {
    case RendererKind::Single:
        return "single";
    case RendererKind::Threaded:
        return "threaded";
    case RendererKind::Deep:
        return "deep";
    case RendererKind::None:
        break;
    }
    return "none";
}

/// Everything a run holds: the program's records and the stand-ins for its windows.
class Run
{
public:
    Run(const Options& options, const RunEnvironment& environment)
        : m_options(options), m_environment(environment),
          m_progress(environment.interrupted,
                     !options.quiet && environment.errIsTerminal ? environment.err : nullptr),
          m_paletteHost(m_app), m_services{m_prompts, m_observer, m_paletteHost, m_random}
    {
    }

    int run()
    {
        if (const int status = checkOutputs(); status != kExitOk) {
            return status;
        }
        startUp();
        if (const int status = loadFiles(); status != kExitOk) {
            return status;
        }
        applyOptions();
        if (interrupted()) {
            return stopWithoutWriting();
        }
        if (!m_options.movieJob.empty() || !m_options.jobFolder.empty()) {
            return runMovieJob(
                {m_app, m_services, m_progress, m_observer, m_options, m_environment});
        }
        const std::vector<std::string> warnings = implausibleSettings();
        for (const std::string& warning : warnings) {
            printProblem(m_environment.err, "warning: " + warning);
        }
        if (m_options.info) {
            std::string info = infoText(m_app);
            for (const std::string& warning : warnings) {
                info += "warning: " + warning + "\n";
            }
            std::fputs(info.c_str(), m_environment.out);
            std::fflush(m_environment.out);
        }
        if (!m_options.renders()) {
            return kExitOk;
        }
        if (m_options.movieFrames) {
            return renderMovieFrames(*m_options.movieFrames);
        }
        return renderAndWrite();
    }

private:
    int problem(int status, std::string_view message)
    {
        printProblem(m_environment.err, message);
        return status;
    }

    bool interrupted() const { return m_environment.interrupted.load() != 0; }

    /// 128 + the signal's number, as a shell reports a program the signal ended.
    int interruptedStatus() const
    {
        const int signal = m_environment.interrupted.load();
        return signal > 0 ? 128 + signal : kExitInterrupted;
    }

    int stopWithoutWriting()
    {
        m_progress.finishProgress();
        m_outputs.clear();
        return problem(interruptedStatus(), "interrupted; nothing written");
    }

    /// The test hook: at the step named in the environment, wait up to ten seconds for a
    /// signal.
    void holdAt(const std::string& step)
    {
        if (m_environment.holdAt != step) {
            return;
        }
        std::fprintf(m_environment.err, "hold: %s\n", step.c_str());
        std::fflush(m_environment.err);
        for (int i = 0; i < 1000 && !interrupted(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    /// Creates the temporary file of an output before anything is rendered, so that a target
    /// that cannot be written is known at once.
    int stageOutput(const std::string& path)
    {
        auto staged = std::make_unique<TrackedFile>(m_environment.pending, path);
        if (!staged->file().failure().empty()) {
            return problem(kExitFileProblem,
                           "cannot write " + inQuotes(path) + ": " + staged->file().failure());
        }
        m_outputs.push_back({path, std::move(staged), {}});
        return kExitOk;
    }

    /// Writes the bytes of the output, holding halfway for the test hook at `step`; false, with
    /// the output's failure set, when they could not be written.
    bool writeBytes(StagedFile& file, std::span<const std::byte> bytes, const std::string& step)
    {
        const std::size_t half = bytes.size() / 2;
        if (!file.write(bytes.first(half))) {
            return false;
        }
        holdAt(step);
        return file.write(bytes.subspan(half));
    }

    /// Writes every output under its temporary name, then names them all at once. Returns
    /// kExitOk, the interrupted status when a signal came first (every output as it was), or
    /// kExitFileProblem with the reason.
    int writeOutputs()
    {
        int index = 0;
        for (PendingOutput& output : m_outputs) {
            ++index;
            StagedFile& file = output.staged->file();
            if (!writeBytes(file, output.bytes, "write:" + std::to_string(index))) {
                const std::string message =
                    "cannot write " + inQuotes(output.path) + ": " + file.failure();
                m_outputs.clear();
                return problem(kExitFileProblem, message + "; nothing written");
            }
            output.bytes = {};
            if (interrupted()) {
                return stopWithoutWriting();
            }
        }
        int status = kExitOk;
        std::string message;
        {
            // A signal that would end the program at once waits until every output has its
            // name: they are then all new. The outputs are let go only after the lock, since
            // letting go of one takes it too.
            const auto naming = m_environment.pending.holdNaming();
            if (interrupted()) {
                status = interruptedStatus();
                message = "interrupted; nothing written";
            }
            index = 0;
            for (PendingOutput& output : m_outputs) {
                if (status != kExitOk) {
                    break;
                }
                ++index;
                StagedFile& file = output.staged->file();
                if (!file.commit()) {
                    status = kExitFileProblem;
                    message =
                        "cannot write " + inQuotes(output.path) + ": " + file.failure() +
                        (index > 1 ? "; the outputs before it are written" : "; nothing written");
                } else {
                    holdAt("name:" + std::to_string(index));
                }
            }
        }
        m_outputs.clear();
        return status == kExitOk ? kExitOk : problem(status, message);
    }

    int checkOutputs()
    {
        const Options& o = m_options;
        if (!o.output.empty() && !pictureEncoderInstalled(o.output)) {
            return problem(kExitUsage, "-o: " + inQuotes(o.output) +
                                           " names a picture format this program cannot "
                                           "write (use .png, .jpg, .bmp or .tif)");
        }
        if (!o.output.empty() && !o.raw.empty() && sameFile(o.output, o.raw)) {
            return problem(kExitUsage, "the picture and the raw results cannot both go to " +
                                           inQuotes(o.output));
        }
        if (!o.frameFolder.empty()) {
            const FrameFolderProblem folder = checkFrameFolder(o.frameFolder);
            if (folder != FrameFolderProblem::None) {
                return problem(kExitFileProblem,
                               oneLine(frameFolderMessage(o.frameFolder, folder)));
            }
        }
        for (const std::string* path : {&o.output, &o.raw}) {
            if (path->empty()) {
                continue;
            }
            for (const std::string* input : {&o.parameterFile, &o.palette}) {
                if (!input->empty() && sameFile(*path, *input)) {
                    return problem(kExitUsage,
                                   inQuotes(*path) + " is an input file; it would be replaced");
                }
            }
            if (const auto reason = unwritable(*path)) {
                return problem(kExitFileProblem, *reason);
            }
        }
        if (o.movieFrames || !o.renders()) {
            return kExitOk;
        }
        std::vector<std::string> targets;
        for (const std::string* path : {&o.output, &o.raw}) {
            if (!path->empty()) {
                targets.push_back(*path);
            }
        }
        removeStaleTemporaries(targets);
        for (const std::string& path : targets) {
            if (const int status = stageOutput(path); status != kExitOk) {
                m_outputs.clear();
                return status;
            }
        }
        return kExitOk;
    }

    void startUp()
    {
        StartupEnvironment startup;
        startup.screenWidth = kAssumedScreenWidth;
        startup.screenHeight = kAssumedScreenHeight;
        startup.reportedProcessors = m_environment.reportedProcessors;
        startUpWithoutWindows(m_app, startup, m_services);
        // The single-threaded first picture is the windowed program's start-up rule.
        m_app.render.firstPicture = 0;
    }

    int loadFiles()
    {
        const Options& o = m_options;
        if (!o.parameterFile.empty()) {
            if (const auto reason = unreadable(o.parameterFile)) {
                return problem(kExitFileProblem, *reason);
            }
            // The stored picture is never shown here (the view is rendered anew): only its size
            // is taken, and --info of a large file reads a few kilobytes.
            const bool loaded =
                withImageExtension(o.parameterFile)
                    ? loadParameterFileWithPictureSize(m_app, m_services, o.parameterFile)
                    : loadParameterFile(m_app, m_services, o.parameterFile);
            if (!loaded) {
                return problem(kExitFileProblem, inQuotes(o.parameterFile) + ": " +
                                                     failureText("not a parameter file"));
            }
            // Nothing may be written beside the input: without a current file the render
            // entry asks for no thumbnail.
            m_app.shell.currentFileName.clear();
        }
        if (!o.palette.empty()) {
            if (const auto reason = unreadable(o.palette)) {
                return problem(kExitFileProblem, *reason);
            }
            PaletteContext palette = paletteContext(m_app, m_services);
            if (!loadPaletteFile(palette, o.palette)) {
                return problem(kExitFileProblem,
                               inQuotes(o.palette) + ": " + failureText("not a palette file"));
            }
        }
        return kExitOk;
    }

    /// The loaders' own message when they gave one.
    std::string failureText(std::string_view fallback)
    {
        std::string text = std::exchange(m_prompts.lastMessage, {});
        return text.empty() ? std::string(fallback) : text;
    }

    void applyOptions()
    {
        const Options& o = m_options;
        ViewState& view = m_app.view;
        RenderSettings& settings = m_app.settings;
        if (o.mode) {
            setDrawingMode(view.modeWord, *o.mode);
        }
        if (o.iterMax) {
            view.iterMax = *o.iterMax;
        }
        if (o.bailout) {
            view.bailout = *o.bailout;
        }
        if (o.size) {
            settings.pictureWidth = o.size->width;
            settings.pictureHeight = o.size->height;
        }
        settings.threads = o.threads.value_or(std::max(m_app.shell.processorCount, 1));
        settings.multiThreaded = settings.threads > 1 ? 1 : 0;
        settings.autosaveParameter = 0;
        if (o.unzoomFactor) {
            settings.unzoomFactor = *o.unzoomFactor;
        }
        if (o.unzoomVideo) {
            settings.unzoomVideo = 1;
        }
        if (o.fastDeep) {
            settings.fastDeepZoom = 1;
        }
        // A Julia view from the command line or a file is drawn in the window it comes with,
        // not in the default window of a first Julia picture.
        m_app.shell.juliaShown = 1;

        // The view-change step: pixel steps for the picture size, deep limit, deep zoom and
        // precision. Typed windows are read without losing digits.
        if (o.mandelbrot) {
            view.modeWord = (view.modeWord & ~3u) | 1u;
            setWindowText(*o.mandelbrot);
            takeTypedView(view, viewContext(m_app), m_observer, TypedView::Window);
        } else if (o.julia) {
            view.modeWord = (view.modeWord & ~3u) | 2u;
            const WindowText defaultWindow{std::string(kJuliaLow), std::string(kJuliaHigh),
                                           std::string(kJuliaLow), std::string(kJuliaHigh)};
            setWindowText(o.julia->window.value_or(defaultWindow));
            view.julia.cr.text = o.julia->cr;
            view.julia.ci.text = o.julia->ci;
            takeTypedView(view, viewContext(m_app), m_observer, TypedView::Window);
        } else {
            applyViewChange(view, viewContext(m_app), m_observer);
        }
    }

    /// What the file and the options set that the program takes but cannot draw sensibly.
    std::vector<std::string> implausibleSettings()
    {
        std::vector<std::string> warnings;
        if (!m_options.parameterFile.empty()) {
            warnings = unusableStoredNumbers(m_options.parameterFile);
        }
        for (std::string& line : implausibleValues(m_app)) {
            warnings.push_back(std::move(line));
        }
        if (auto slow = longRenderWarning(m_app, m_app.settings.threads)) {
            warnings.push_back(std::move(*slow));
        }
        return warnings;
    }

    void setWindowText(const WindowText& text)
    {
        const WindowRef w = currentWindow(m_app.view);
        w.xmin.text = text.xmin;
        w.xmax.text = text.xmax;
        w.ymin.text = text.ymin;
        w.ymax.text = text.ymax;
    }

    int renderAndWrite()
    {
        const Options& o = m_options;
        RenderOptions renderOptions;
        // Nobody waits for an interface here: the deep workers keep their normal priority.
        renderOptions.idleDeepWorkers = false;
        RawResults raw;
        if (!o.raw.empty()) {
            renderOptions.raw = &raw;
        }
        m_app.shell.pictureValid = 0;
        m_app.render.renderSuppressed = 0;
        const auto start = std::chrono::steady_clock::now();
        renderView(m_app, m_progress, m_observer, renderOptions);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        if (interrupted() || m_app.render.stoppedByUser != 0) {
            return stopWithoutWriting();
        }
        const std::int32_t rows = m_app.settings.pictureHeight;
        m_progress.showProgress(rows, rows);
        m_progress.finishProgress();
        if (m_app.render.fastDeep.exact) {
            std::fprintf(m_environment.err, "%s: fast deep zoom: %s\n", kProgramName.data(),
                         fastDeepSummary(m_app.render.fastDeep).c_str());
        }
        if (m_app.shell.pictureValid == 0 || m_app.render.lastRenderer == RendererKind::None) {
            return problem(kExitFileProblem, "the picture could not be rendered");
        }

        for (PendingOutput& output : m_outputs) {
            if (output.path == o.raw) {
                output.bytes = encodeRawResults(raw);
            } else {
                const QImage picture = pictureOfIterations(m_app.iterations, m_app.palette,
                                                           m_app.paletteState.paletteOffset);
                output.bytes = encodeImage(picture, output.path, jpegQuality(m_app.settings));
            }
            if (output.bytes.empty()) {
                const std::string message = "cannot write " + inQuotes(output.path) +
                                            ": the picture could not be encoded; nothing written";
                m_outputs.clear();
                return problem(kExitFileProblem, message);
            }
        }
        if (const int status = writeOutputs(); status != kExitOk) {
            return status;
        }
        if (!o.quiet) {
            closingLine(elapsed.count());
        }
        if (interrupted()) {
            printProblem(m_environment.err,
                         "interrupted while the outputs took their names; they are all written");
        }
        return kExitOk;
    }

    /// Frames `range` of the movie to disk of the view: the same walk, renders and picture
    /// writer as the windows' movie, so that every frame is the same file.
    int renderMovieFrames(FrameRange range)
    {
        if (const std::optional<MovieRefusal> refusal = movieRefusal(m_app)) {
            return problem(refusal->status, refusal->text);
        }
        const PictureSize size =
            *movieSize({m_app.settings.pictureWidth, m_app.settings.pictureHeight});
        changePictureSize(m_app, size, m_observer);
        RenderOptions renderOptions;
        renderOptions.idleDeepWorkers = false;
        const bool unzoomVideo = m_app.settings.unzoomVideo != 0;
        const auto start = std::chrono::steady_clock::now();
        removeStaleFrameTemporaries(range, unzoomVideo);
        MovieFrameWalk walk(m_app, m_observer);
        std::int32_t written = 0;
        while (walk.counter() < range.last && walk.advance()) {
            if (interrupted()) {
                break;
            }
            const std::int32_t counter = walk.counter();
            if (counter < range.first) {
                continue;
            }
            walk.prepareRender();
            renderView(m_app, m_progress, m_observer, renderOptions);
            refreshFromDeep(m_app.view, viewContext(m_app), m_observer);
            if (interrupted() || m_app.render.stoppedByUser != 0) {
                break;
            }
            const std::string path =
                (fs::path(m_options.frameFolder) / frameName(counter, unzoomVideo)).string();
            std::string failure;
            if (!writeFrame(path, counter, failure)) {
                if (interrupted()) {
                    break;
                }
                m_progress.finishProgress();
                return problem(kExitFileProblem, "cannot write " + inQuotes(path) + ": " + failure +
                                                     "; " + oneLine(kMovieInterrupted));
            }
            ++written;
        }
        m_progress.finishProgress();
        if (interrupted() || m_app.render.stoppedByUser != 0) {
            return problem(interruptedStatus(),
                           "interrupted; " + std::to_string(written) + " whole frames written");
        }
        if (walk.counter() < range.last) {
            printProblem(m_environment.err,
                         "the movie ends at frame " + std::to_string(walk.counter()));
        }
        if (!m_options.quiet) {
            const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
            std::fprintf(m_environment.err, "%d frames of %dx%d, %.3f s, threads: %d\n", written,
                         size.width, size.height, elapsed.count(), m_app.settings.threads);
            std::fflush(m_environment.err);
        }
        return kExitOk;
    }

    /// One frame under its temporary name, then under its own: a slice that ends early leaves
    /// whole frames only, and a later run resumes after them. False with `failure` set, or
    /// when a signal came before the frame took its name (nothing then written).
    bool writeFrame(const std::string& path, std::int32_t counter, std::string& failure)
    {
        TrackedFile staged(m_environment.pending, path);
        StagedFile& file = staged.file();
        if (!file.failure().empty()) {
            failure = file.failure();
            return false;
        }
        const std::vector<std::byte> bytes =
            encodeImage(movieFrameImage(m_app), path, jpegQuality(m_app.settings));
        if (bytes.empty()) {
            failure = "the picture could not be encoded";
            return false;
        }
        if (!writeBytes(file, bytes, "frame:" + std::to_string(counter))) {
            failure = file.failure();
            return false;
        }
        const auto naming = m_environment.pending.holdNaming();
        if (interrupted()) {
            return false;
        }
        if (!file.commit()) {
            failure = file.failure();
            return false;
        }
        return true;
    }

    /// What killed runs left of this range's frames; a long range is cleaned at its start.
    void removeStaleFrameTemporaries(FrameRange range, bool unzoomVideo)
    {
        constexpr std::int32_t kFramesLooked = 100000;
        std::vector<std::string> frames;
        const std::int32_t last =
            range.last - range.first > kFramesLooked ? range.first + kFramesLooked : range.last;
        for (std::int32_t counter = std::max(range.first, 0); counter <= last; ++counter) {
            frames.push_back(
                (fs::path(m_options.frameFolder) / frameName(counter, unzoomVideo)).string());
        }
        removeStaleTemporaries(frames);
    }

    void closingLine(double seconds)
    {
        const std::int32_t w = m_app.settings.pictureWidth;
        const std::int32_t h = m_app.settings.pictureHeight;
        const double pixels = static_cast<double>(w) * static_cast<double>(h);
        const double perSecond = pixels / std::max(seconds, 1e-9);
        const FastDeepReport& fast = m_app.render.fastDeep;
        const std::string certified =
            fast.tried ? ", fast deep: " + fastDeepSummary(fast) : std::string();
        std::fprintf(m_environment.err,
                     "%dx%d, %.3f s, %.0f pixels/s, threads: %d, renderer: %s%s\n", w, h, seconds,
                     perSecond, m_app.settings.threads, rendererName(m_app.render.lastRenderer),
                     certified.c_str());
        std::fflush(m_environment.err);
    }

    const Options& m_options;
    const RunEnvironment& m_environment;
    AppState m_app;
    SilentPrompts m_prompts;
    HeadlessProgress m_progress;
    QuietObserver m_observer;
    HeadlessPaletteHost m_paletteHost;
    ClockSeededRandom m_random;
    ShellServices m_services;
    /// The outputs of a single render, staged before it starts.
    std::vector<PendingOutput> m_outputs;
};

} // namespace

std::optional<MovieRefusal> movieRefusal(const AppState& app)
{
    if (!movieSize({app.settings.pictureWidth, app.settings.pictureHeight})) {
        return MovieRefusal{kExitUsage, oneLine(kMovieTooLarge)};
    }
    if (const auto refusal = unzoomRefusal(app)) {
        // A factor comes from the command line, a view without width from the file.
        return MovieRefusal{*refusal == kFactorWarning ? kExitUsage : kExitFileProblem,
                            oneLine(*refusal)};
    }
    return std::nullopt;
}

std::string oneLine(std::string_view text)
{
    std::string line(text);
    std::replace(line.begin(), line.end(), '\n', ' ');
    return line;
}

void printProblem(std::FILE* err, std::string_view message)
{
    std::fprintf(err, "%s: %.*s\n", kProgramName.data(), static_cast<int>(message.size()),
                 message.data());
    std::fflush(err);
}

int runRenderer(const Options& options, const RunEnvironment& environment)
{
    return Run(options, environment).run();
}

} // namespace qv::cli
