// Movie jobs: a movie to disk planned once and written down as a folder (parameter file,
// manifest, frame folder), so that any machine renders any frame of it, in any order, to the
// same bytes.
#pragma once

#include "app/app_state.h"
#include "app/shell_services.h"
#include "engine/view_observer.h"
#include "palette/palette_state.h"
#include "persistence/deep_limbs.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

inline constexpr std::string_view kMovieJobMagic = "quorvalis-movie-job";
inline constexpr std::int32_t kMovieJobVersion = 1;
/// The files and the folder of a job folder.
inline constexpr std::string_view kManifestName = "movie.qvjob";
inline constexpr std::string_view kJobFramesName = "frames";
/// Beside the frames: the hash of the manifest they were rendered for.
inline constexpr std::string_view kJobStampName = ".job";

/// One number of a frame's view: the 80-bit value for an extended frame, the GMP image for a
/// deep one.
struct JobNumber
{
    long double ext = 0.0L;
    std::optional<DeepNumberImage> deep;

    bool operator==(const JobNumber&) const = default;
};

/// What frame `counter` renders: the window (xmin, xmax, ymin, ymax), the Julia constant
/// (cr, ci) and the values the zoom steps change.
struct JobFrame
{
    std::int32_t counter = 0;
    std::int32_t iterMax = 0;
    double potValue = 0.0;
    std::int32_t deepZoom = 0;
    std::int32_t precisionBits = 0;
    std::int32_t deepLimit = 0;
    std::array<JobNumber, 6> numbers;

    bool operator==(const JobFrame&) const = default;
};

/// How the palette table is generated again: parameters, options, the first entry generated
/// (0, or 1 after a random palette), and the two end entries as the table holds them (a
/// render blacks out entry 0 in some drawing modes; the generator leaves one end alone).
/// `hash` checks the whole table.
struct JobPalette
{
    PaletteParameters parameters;
    std::uint32_t optionBits = 0;
    std::int32_t first = 0;
    std::uint32_t firstEntry = 0;
    std::uint32_t lastEntry = 0;
    std::uint64_t hash = 0;

    bool operator==(const JobPalette&) const = default;
};

/// Everything a frame depends on.
struct MovieJob
{
    std::string parameterFile; ///< a name inside the job folder
    std::uint64_t parameterHash = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t threads = 1;
    std::int32_t multiThreaded = 0;
    /// Deep frames by the certified fast path; its few differing pixels must be the same ones
    /// on every machine.
    std::int32_t fastDeepZoom = 0;
    float unzoomFactor = 0.0f;
    std::int32_t unzoomVideo = 0;
    std::int32_t autoIterIncrease = 0;
    std::int32_t autoPotValue = 0;
    std::int32_t jpegQuality = 100;
    std::uint32_t modeWord = 0;
    double bailout = 0.0;
    std::uint32_t colourFlags = 0;
    std::int32_t paletteOffset = 0;
    JobPalette palette;
    std::vector<JobFrame> frames;

    bool operator==(const MovieJob&) const = default;
};

/// FNV-1a, 64 bits: tells a changed file or table from the one a job was made with.
std::uint64_t jobHash(std::string_view bytes);

/// The hash of the whole palette table.
std::uint64_t paletteHash(const Palette& palette);

/// The manifest text: a version line, one "key value" line per setting, one line per frame,
/// "end". Floating values are written in hexadecimal so that they read back exactly.
std::string formatMovieJob(const MovieJob& job);

/// Reads a manifest; nothing, with the reason in `error`, for text of another version or
/// with a line out of place.
std::optional<MovieJob> parseMovieJob(std::string_view text, std::string& error);

/// Walks the movie to disk from the current view (which it leaves at the last frame, with the
/// movie-mode flag set) and notes the settings and each frame's view. The picture size must
/// already be the movie's. Nothing when the palette cannot be described.
std::optional<MovieJob> planMovieJob(AppState& app, ViewObserver& observer);

/// The settings of the job into the program's state (size, threads, colours, palette); false
/// when the regenerated palette is not the job's.
bool applyJobSettings(AppState& app, const MovieJob& job, ShellObserver& observer);

/// Makes the frame's view current, ready for a render of the whole picture.
void applyJobFrame(AppState& app, const JobFrame& frame);

/// What saving a job folder did.
struct JobFolderResult
{
    bool saved = false;
    std::string error;             ///< why not, when not saved
    std::size_t framesDeleted = 0; ///< frames of another job that were in the folder
    std::size_t frameCount = 0;
};

/// Saves the current state as a job in `folder` (created when missing): the parameter file
/// (movie.fra, or movie.fdz in deep zoom), the manifest, and the frame folder with its stamp.
/// Frames of another job are deleted; those of the same job stay. The view walks the movie
/// and ends at its last frame, as after planMovieJob.
JobFolderResult saveJobFolder(AppState& app, ViewObserver& observer, const std::string& folder);

/// The command that renders frames `first`..`last` of the job in `folder`, the folder quoted
/// for a shell where it needs to be.
std::string jobCommand(const std::string& folder, std::int32_t first, std::int32_t last);

} // namespace qv
