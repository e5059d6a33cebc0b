// Reading the command line of quorvalis-render.
#include "cli/options.h"

#include "app/movie.h"
#include "base/number_text.h"
#include "cli/movie_job.h"
#include "persistence/picture_writer.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <system_error>
#include <utility>

namespace qv::cli {
namespace {

/// What a value-taking option is missing or got wrong; the first problem ends the reading.
struct Problem
{
    std::string text;
};

/// A whole number in lo..hi, the whole text and nothing else.
std::int32_t wholeNumber(std::string_view option, std::string_view text, std::int32_t lo,
                         std::int32_t hi, std::string_view range)
{
    std::int64_t value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (text.empty() || end != last ||
        (error != std::errc() && error != std::errc::result_out_of_range)) {
        throw Problem{std::string(option) + ": " + inQuotes(text) + " is not a whole number"};
    }
    if (error == std::errc::result_out_of_range || value < lo || value > hi) {
        throw Problem{std::string(option) + ": " + std::string(text) + " is out of range (" +
                      std::string(range) + ")"};
    }
    return static_cast<std::int32_t>(value);
}

/// "A..B", frame counters of a movie, A not after B.
FrameRange frameRange(std::string_view text)
{
    const std::string_view::size_type dots = text.find("..");
    if (dots == std::string_view::npos) {
        throw Problem{"--movie-frames: " + inQuotes(text) + " is not of the form A..B"};
    }
    constexpr std::string_view kRange = "0 to 9999999";
    FrameRange range;
    range.first = wholeNumber("--movie-frames", text.substr(0, dots), 0, kLastFrameCounter, kRange);
    range.last = wholeNumber("--movie-frames", text.substr(dots + 2), 0, kLastFrameCounter, kRange);
    if (range.first > range.last) {
        throw Problem{"--movie-frames: " + inQuotes(text) + " ends before it starts"};
    }
    return range;
}

PictureSizeOption pictureSize(std::string_view text)
{
    const std::string_view::size_type x = text.find_first_of("xX");
    if (x == std::string_view::npos) {
        throw Problem{"--size: " + inQuotes(text) + " is not of the form WxH"};
    }
    constexpr std::string_view kRange = "1 to 16384 pixels each way";
    PictureSizeOption size;
    size.width = wholeNumber("--size", text.substr(0, x), 1, kMaxSide, kRange);
    size.height = wholeNumber("--size", text.substr(x + 1), 1, kMaxSide, kRange);
    return size;
}

double bailoutValue(std::string_view text)
{
    double value = 0.0;
    const char* first = text.data();
    const char* last = first + text.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (text.empty() || end != last ||
        (error != std::errc() && error != std::errc::result_out_of_range)) {
        throw Problem{"--bailout: " + inQuotes(text) + " is not a number"};
    }
    if (error == std::errc::result_out_of_range || !std::isfinite(value) || value <= 0.0) {
        throw Problem{"--bailout: " + std::string(text) +
                      " is out of range (a positive number a double holds)"};
    }
    return value;
}

bool isNumberText(std::string_view text)
{
    return parseDecimal(text).has_value();
}

/// Decimal numbers read by parseDecimal are unique in form, zero aside: equal values have
/// equal signs, digits and exponents.
bool sameValue(std::string_view a, std::string_view b)
{
    const DecimalNumber x = *parseDecimal(a);
    const DecimalNumber y = *parseDecimal(b);
    if (x.digits.empty() || y.digits.empty()) {
        return x.digits.empty() && y.digits.empty();
    }
    return x.negative == y.negative && x.digits == y.digits && x.exponent == y.exponent;
}

/// Reads the arguments one by one; `next` hands out the value of the option being read.
class Reader
{
public:
    explicit Reader(std::span<const std::string> arguments) : m_arguments(arguments) {}

    Options read()
    {
        Options options;
        bool optionsEnded = false;
        while (m_at < m_arguments.size()) {
            const std::string& argument = m_arguments[m_at++];
            if (optionsEnded || argument.size() < 2 || argument[0] != '-' ||
                isNumberText(argument)) {
                positional(options, argument);
                continue;
            }
            if (argument == "--") {
                optionsEnded = true;
                continue;
            }
            option(options, argument);
        }
        if (options.mandelbrot && options.julia) {
            throw Problem{"--mandelbrot and --julia cannot be given together"};
        }
        if (const auto problem = jobOptionProblem(options)) {
            throw Problem{*problem};
        }
        if (options.jobFolder.empty() &&
            options.movieFrames.has_value() != !options.frameFolder.empty()) {
            throw Problem{options.movieFrames ? "--movie-frames needs --out DIR"
                                              : "--out DIR goes with --movie-frames"};
        }
        if (options.movieFrames && (!options.output.empty() || !options.raw.empty())) {
            throw Problem{"--movie-frames writes frames only: drop -o and --raw"};
        }
        return options;
    }

private:
    static void positional(Options& options, const std::string& argument)
    {
        if (!options.parameterFile.empty()) {
            throw Problem{"more than one parameter file: " + inQuotes(options.parameterFile) +
                          " and " + inQuotes(argument)};
        }
        if (argument.empty()) {
            throw Problem{"the parameter file's name is empty"};
        }
        options.parameterFile = argument;
    }

    void option(Options& options, const std::string& argument)
    {
        std::string name = argument;
        m_inlineValue.reset();
        if (argument.starts_with("--")) {
            const std::string::size_type equals = argument.find('=');
            if (equals != std::string::npos) {
                name = argument.substr(0, equals);
                m_inlineValue = argument.substr(equals + 1);
            }
        }
        m_name = name;
        if (name == "-o" || name == "--output") {
            options.output = next();
            if (pictureMimeType(options.output).empty()) {
                throw Problem{m_name + ": " + inQuotes(options.output) +
                              " names no picture format that can be written (use .png, .jpg, "
                              ".bmp or .tif)"};
            }
        } else if (name == "--raw") {
            options.raw = next();
            if (options.raw.empty()) {
                throw Problem{"--raw: the file name is empty"};
            }
        } else if (name == "--info") {
            flag(options.info);
        } else if (name == "--size") {
            options.size = pictureSize(next());
        } else if (name == "--threads") {
            options.threads = wholeNumber(name, next(), 1, kMaxThreads, "1 to 64");
        } else if (name == "--iter") {
            options.iterMax = wholeNumber(name, next(), kMinIterMax,
                                          std::numeric_limits<std::int32_t>::max(), "3 or more");
        } else if (name == "--mode") {
            options.mode = wholeNumber(name, next(), 1, 28, "1 to 28");
        } else if (name == "--bailout") {
            options.bailout = bailoutValue(next());
        } else if (name == "--mandelbrot") {
            options.mandelbrot = window();
        } else if (name == "--julia") {
            options.julia = julia();
        } else if (name == "--palette") {
            options.palette = next();
            if (options.palette.empty()) {
                throw Problem{"--palette: the file name is empty"};
            }
        } else if (name == "--movie-frames") {
            options.movieFrames = frameRange(next());
        } else if (name == "--unzoom") {
            const std::string text = number();
            options.unzoomFactor = static_cast<float>(std::strtod(text.c_str(), nullptr));
        } else if (name == "--unzoom-video") {
            flag(options.unzoomVideo);
        } else if (name == "--fast-deep") {
            flag(options.fastDeep);
        } else if (name == "--out") {
            options.frameFolder = next();
            if (options.frameFolder.empty()) {
                throw Problem{"--out: the folder name is empty"};
            }
        } else if (name == "--movie-job" || name == "--job") {
            std::string& folder = name == "--job" ? options.jobFolder : options.movieJob;
            folder = next();
            if (folder.empty()) {
                throw Problem{name + ": the folder name is empty"};
            }
        } else if (name == "-q" || name == "--quiet") {
            flag(options.quiet);
        } else if (name == "-h" || name == "--help") {
            flag(options.help);
        } else if (name == "--version") {
            flag(options.version);
        } else {
            throw Problem{"unknown option " + inQuotes(argument)};
        }
    }

    void flag(bool& value)
    {
        if (m_inlineValue) {
            throw Problem{"option " + inQuotes(m_name) + " takes no value"};
        }
        value = true;
    }

    std::string next()
    {
        if (m_inlineValue) {
            return *std::exchange(m_inlineValue, std::nullopt);
        }
        if (m_at >= m_arguments.size()) {
            throw Problem{"option " + inQuotes(m_name) + " needs a value"};
        }
        return m_arguments[m_at++];
    }

    std::string number()
    {
        std::string text = next();
        if (!isNumberText(text)) {
            throw Problem{m_name + ": " + inQuotes(text) + " is not a number"};
        }
        return text;
    }

    /// XMIN XMAX YMIN YMAX; a window without width or height has no pixels to tell apart.
    WindowText window()
    {
        WindowText w;
        w.xmin = number();
        w.xmax = number();
        w.ymin = number();
        w.ymax = number();
        if (sameValue(w.xmin, w.xmax)) {
            throw Problem{m_name + ": the window has no width (XMIN equals XMAX)"};
        }
        if (sameValue(w.ymin, w.ymax)) {
            throw Problem{m_name + ": the window has no height (YMIN equals YMAX)"};
        }
        return w;
    }

    /// CR CI, then a window when the next argument is a number.
    JuliaText julia()
    {
        if (m_inlineValue) {
            throw Problem{"option '--julia' takes its numbers as separate arguments"};
        }
        JuliaText j;
        j.cr = number();
        j.ci = number();
        if (m_at < m_arguments.size() && isNumberText(m_arguments[m_at])) {
            j.window = window();
        }
        return j;
    }

    std::span<const std::string> m_arguments;
    std::size_t m_at = 0;
    std::string m_name;
    std::optional<std::string> m_inlineValue;
};

} // namespace

std::string inQuotes(std::string_view s)
{
    std::string text;
    text.reserve(s.size() + 2);
    text.push_back('\'');
    text.append(s);
    text.push_back('\'');
    return text;
}

ParseResult parseArguments(std::span<const std::string> arguments)
{
    try {
        return ParseResult{Reader(arguments).read(), {}};
    } catch (const Problem& problem) {
        return ParseResult{std::nullopt, problem.text};
    }
}

std::string helpText()
{
    return R"(Usage: quorvalis-render [PARAMETER-FILE] [options]

Renders a fractal view without a window: the start-up view, or the view of a parameter file
(.fra, .fdz, .fpi, .fpz and the older layouts), changed by the options below. The picture is
computed by the same engine and saved by the same writer as in QUORVALIS.

  -o, --output PATH       write the picture as "Save Picture" does; the extension chooses
                          the format (.png, .jpg/.jpeg, .bmp, .tif/.tiff)
      --raw PATH          write the kernel results before colouring: "QVRW", version 1,
                          width, height, then the counts (int32), the escape values A and B
                          (float32), row by row from the row at ymin, little-endian
      --info              print the parameters in force as "key: value" lines; alone, it
                          renders nothing
      --size WxH          picture size, 1 to 16384 each way (default: the size of the picture
                          in a with-image file, else 640x480)
      --threads N         worker threads, 1 to 64 (default: the processor count)
      --iter N            iteration limit, 3 or more
      --mode M            drawing mode 1 to 28
      --bailout B         bailout, any positive number
      --mandelbrot XMIN XMAX YMIN YMAX
                          a Mandelbrot window; decimal numbers with any number of digits
      --julia CR CI [XMIN XMAX YMIN YMAX]
                          a Julia view with the constant CR + CI i (window -1.8..1.8 unless
                          given)
      --palette FILE.pal  load a palette file
      --movie-frames A..B write frames A to B (counted from 0) of the movie "Make movie to
                          disk" makes from the view at this size, thread count and settings,
                          under the same names, each complete before it gets its name
      --out DIR           the folder the movie's frames go to (with --movie-frames)
      --unzoom F          the unzoom factor between frames, above 1 (default 1.02)
      --unzoom-video      name the frames so that the movie plays outwards
      --movie-job DIR     write the movie as a job for many machines into DIR: the
                          parameter file, the manifest movie.qvjob (every setting and each
                          frame's view) and the folder DIR/frames; nothing is rendered
      --job DIR           with --movie-frames A..B: render frames A to B of the job in DIR
                          into DIR/frames, skipping those already there; any machine, any
                          order, the same bytes
      --fast-deep         deep views by offsets from one reference orbit, certified by a
                          sample against the exact kernel (which takes over below 99.9%)
  -q, --quiet             no progress bar and no closing line
  -h, --help              show this help
      --version           show the version

Without -o, --raw or --info the picture is rendered and only timed.

Extended or arbitrary precision, and the renderer (single, threaded or deep), are chosen from
the view and the thread count as in QUORVALIS. Outputs replace existing files only once they
are complete. On a terminal a progress bar is shown on stderr; a closing line tells the size,
the time, the speed, the threads and the renderer.

A movie needs an unzoom factor above 1, a view with a width and a picture of at most
1920 x 1080 (a wider one is made 1920 x 1080). Frames past the movie's end are not made.

Exit status: 0 success, 2 a file could not be read or written, 64 a wrong command line,
130, 143 or 129 interrupted by SIGINT, SIGTERM or SIGHUP (nothing written; a second one ends
the program at once). Values a file holds that cannot make a sensible picture are warned about.
)";
}

} // namespace qv::cli
