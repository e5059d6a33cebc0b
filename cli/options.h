// The command line of quorvalis-render: what it asks for, read and checked before anything is
// loaded or rendered.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qv::cli {

inline constexpr std::string_view kProgramName = "quorvalis-render";

/// Exit statuses: BSD's EX_USAGE for a wrong command line, 128 + SIGINT for an interrupt.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFileProblem = 2;
inline constexpr int kExitUsage = 64;
inline constexpr int kExitInterrupted = 130;

inline constexpr std::int32_t kMaxSide = 16384;
inline constexpr std::int32_t kMaxThreads = 64;
inline constexpr std::int32_t kMinIterMax = 3;

/// Four window corners as typed, each checked to be decimal text.
struct WindowText
{
    std::string xmin;
    std::string xmax;
    std::string ymin;
    std::string ymax;
};

struct JuliaText
{
    std::string cr;
    std::string ci;
    std::optional<WindowText> window; ///< the default Julia window when absent
};

/// Frames first to last (frame counters) of the movie to disk of the view.
struct FrameRange
{
    std::int32_t first = 0;
    std::int32_t last = 0;
};

struct PictureSizeOption
{
    std::int32_t width = 0;
    std::int32_t height = 0;
};

/// Everything the command line sets; an absent value leaves what the parameter file (or the
/// start-up default) holds.
struct Options
{
    std::string parameterFile;
    std::string output;
    std::string raw;
    bool info = false;
    std::optional<PictureSizeOption> size;
    std::optional<std::int32_t> threads;
    std::optional<std::int32_t> iterMax;
    std::optional<std::int32_t> mode;
    std::optional<double> bailout;
    std::optional<WindowText> mandelbrot;
    std::optional<JuliaText> julia;
    std::string palette;
    std::optional<FrameRange> movieFrames;
    std::string frameFolder;           ///< --out: where the movie's frames go
    std::optional<float> unzoomFactor; ///< "Unzoom:", which parameter files do not keep
    bool unzoomVideo = false;          ///< "Unzoom video"
    std::string movieJob;              ///< --movie-job: the folder a movie job is written to
    std::string jobFolder;             ///< --job: the movie job --movie-frames renders from
    bool fastDeep = false;             ///< "Fast deep zoom" for deep views
    bool quiet = false;
    bool help = false;
    bool version = false;

    /// Whether a picture is computed: something is to be written, or nothing at all was
    /// asked for (a plain run renders and reports its speed).
    bool renders() const
    {
        return !info || !output.empty() || !raw.empty() || movieFrames.has_value();
    }
};

/// The outcome of reading the command line: the options, or the one-line reason why not
/// (always a usage error).
struct ParseResult
{
    std::optional<Options> options;
    std::string error;
};

/// Reads the arguments after the program name. Options may come before or after the parameter
/// file; "--name=value" and "--name value" are the same; "--" ends the options. A value that is
/// not a number where one is wanted, a value out of range, an unknown option, a missing value,
/// a second parameter file, --mandelbrot together with --julia, and --movie-frames without
/// --out (or with -o or --raw) are errors.
ParseResult parseArguments(std::span<const std::string> arguments);

/// The text of --help.
std::string helpText();

/// The text between single quotes, as messages name files.
std::string inQuotes(std::string_view s);

} // namespace qv::cli
