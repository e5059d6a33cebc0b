// Movie jobs: planning the frames, the manifest text and the job folder.
#include "persistence/movie_job.h"

#include "app/movie.h"
#include "base/file_io.h"
#include "engine/view_state.h"
#include "palette/palette_generator.h"
#include "persistence/parameter_files.h"
#include "persistence/picture_writer.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>
#include <utility>

#include <gmp.h>

namespace qv {

namespace fs = std::filesystem;

namespace {

constexpr int kHalves = GMP_NUMB_BITS / 32;
constexpr std::array<std::string_view, 6> kNumberKeys = {"xmin", "xmax", "ymin",
                                                         "ymax", "cr",   "ci"};

/// The numbers a frame keeps, in kNumberKeys order.
std::array<ViewNumber*, 6> frameNumbers(ViewState& view)
{
    const WindowRef w = currentWindow(view);
    return {&w.xmin, &w.xmax, &w.ymin, &w.ymax, &view.julia.cr, &view.julia.ci};
}

/// Every limb of x as 32-bit halves: exact for the GMP installed, whatever its precision.
DeepNumberImage exactImage(mpf_srcptr x)
{
    DeepNumberImage image;
    const auto count = static_cast<std::size_t>(std::abs(x->_mp_size));
    for (std::size_t i = 0; i < count; ++i) {
        const mp_limb_t limb = x->_mp_d[i];
        for (int h = 0; h < kHalves; ++h) {
            image.limbs.push_back(static_cast<std::uint32_t>((limb >> (32 * h)) & 0xFFFFFFFFu));
        }
    }
    std::int64_t exponent = static_cast<std::int64_t>(x->_mp_exp) * kHalves;
    while (!image.limbs.empty() && image.limbs.back() == 0) {
        image.limbs.pop_back();
        --exponent;
    }
    std::size_t low = 0;
    while (low < image.limbs.size() && image.limbs[low] == 0) {
        ++low;
    }
    image.limbs.erase(image.limbs.begin(), image.limbs.begin() + static_cast<std::ptrdiff_t>(low));
    if (image.limbs.empty()) {
        return DeepNumberImage{};
    }
    image.exponent = static_cast<std::int32_t>(exponent);
    image.size = static_cast<std::int32_t>(image.limbs.size()) * (x->_mp_size < 0 ? -1 : 1);
    return image;
}

/// The 32-bit halves a GMP number of `bits` bits can hold: one limb more than its precision.
std::size_t halvesAtPrecision(std::int32_t bits)
{
    const auto limbs = (static_cast<std::size_t>(bits) + 2 * GMP_NUMB_BITS - 1) / GMP_NUMB_BITS;
    return (limbs + 1) * kHalves;
}

std::string hexFloat(long double v)
{
    char text[64];
    std::snprintf(text, sizeof text, "%La", v);
    return text;
}

std::string hexFloat(double v)
{
    char text[64];
    std::snprintf(text, sizeof text, "%a", v);
    return text;
}

/// "mp:" then the sign, the halves from the most significant, 8 hex digits each, "@" and the
/// exponent in halves: value = 0.HALVES * 2^(32 * exponent).
std::string deepText(const DeepNumberImage& image)
{
    std::string text = "mp:";
    if (image.size < 0) {
        text += '-';
    }
    if (image.limbs.empty()) {
        text += '0';
    }
    char half[16];
    for (auto it = image.limbs.rbegin(); it != image.limbs.rend(); ++it) {
        std::snprintf(half, sizeof half, "%08" PRIx32, *it);
        text += half;
    }
    return text + "@" + std::to_string(image.exponent);
}

std::string numberText(const JobNumber& n)
{
    return n.deep ? deepText(*n.deep) : hexFloat(n.ext);
}

/// The rest of a line after its key, split at blanks.
std::vector<std::string_view> wordsOf(std::string_view line)
{
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t end = std::min(line.find(' ', at), line.size());
        if (end > at) {
            words.push_back(line.substr(at, end - at));
        }
        at = end + 1;
    }
    return words;
}

/// A reading problem: the line number and what was wrong.
struct Bad
{
    std::string text;
};

template <typename T> T wholeValue(std::string_view word, int base = 10)
{
    T value{};
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value, base);
    if (word.empty() || error != std::errc() || end != word.data() + word.size()) {
        throw Bad{"'" + std::string(word) + "' is not a whole number"};
    }
    return value;
}

long double extValue(std::string_view word)
{
    const std::string text(word);
    char* end = nullptr;
    const long double v = std::strtold(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size()) {
        throw Bad{"'" + text + "' is not a number"};
    }
    return v;
}

double doubleValue(std::string_view word)
{
    return static_cast<double>(extValue(word));
}

DeepNumberImage deepValue(std::string_view word)
{
    if (!word.starts_with("mp:")) {
        throw Bad{"'" + std::string(word) + "' is not a deep number"};
    }
    std::string_view rest = word.substr(3);
    DeepNumberImage image;
    const bool negative = rest.starts_with('-');
    if (negative) {
        rest.remove_prefix(1);
    }
    const std::size_t at = rest.find('@');
    if (at == std::string_view::npos) {
        throw Bad{"'" + std::string(word) + "' has no exponent"};
    }
    const std::string_view digits = rest.substr(0, at);
    image.exponent = wholeValue<std::int32_t>(rest.substr(at + 1));
    if (digits == "0") {
        image.exponent = 0;
        return image;
    }
    if (digits.empty() || digits.size() % 8 != 0) {
        throw Bad{"'" + std::string(word) + "' is not a deep number"};
    }
    for (std::size_t i = digits.size(); i >= 8; i -= 8) {
        image.limbs.push_back(wholeValue<std::uint32_t>(digits.substr(i - 8, 8), 16));
    }
    image.size = static_cast<std::int32_t>(image.limbs.size()) * (negative ? -1 : 1);
    return image;
}

JobNumber jobNumber(std::string_view word)
{
    JobNumber n;
    if (word.starts_with("mp:")) {
        n.deep = deepValue(word);
    } else {
        n.ext = extValue(word);
    }
    return n;
}

/// Regenerates the table from the description.
void generateJobPalette(Palette& palette, const JobPalette& p)
{
    fillPalette(palette, p.parameters, optionsFromColourFlags(p.optionBits), p.first);
    palette.entries.front() = p.firstEntry;
    palette.entries.back() = p.lastEntry;
}

std::optional<JobPalette> describePalette(const AppState& app)
{
    JobPalette p;
    p.parameters = app.paletteState.parameters;
    syncColourFlags(app.paletteState.options, p.optionBits);
    p.hash = paletteHash(app.palette);
    for (const std::int32_t first : {0, 1}) {
        p.first = first;
        p.firstEntry = app.palette.entries.front();
        p.lastEntry = app.palette.entries.back();
        Palette again;
        generateJobPalette(again, p);
        if (paletteHash(again) == p.hash && again.entries == app.palette.entries) {
            return p;
        }
    }
    return std::nullopt;
}

/// Writes no thumbnail: a job folder holds the parameter file and nothing beside it.
class NoPictures final : public PictureWriter
{
public:
    PictureSaveResult savePicture(const std::string&) override
    {
        return PictureSaveResult::NothingWritten;
    }

    PictureSaveResult saveDisplayedPicture(const std::string&) override
    {
        return PictureSaveResult::NothingWritten;
    }

    PictureSaveResult saveThumbnail(const std::string&) override
    {
        return PictureSaveResult::NothingWritten;
    }
};

std::optional<std::string> fileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool writeText(const std::string& path, std::string_view text)
{
    return replaceFile(path, std::as_bytes(std::span(text.data(), text.size())));
}

std::string hashText(std::uint64_t hash)
{
    char text[32];
    std::snprintf(text, sizeof text, "%016" PRIx64, hash);
    return text;
}

} // namespace

std::uint64_t jobHash(std::string_view bytes)
{
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::uint64_t paletteHash(const Palette& palette)
{
    std::string bytes;
    bytes.reserve(palette.entries.size() * 4);
    for (const std::uint32_t e : palette.entries) {
        for (int b = 0; b < 4; ++b) {
            bytes.push_back(static_cast<char>((e >> (8 * b)) & 0xFFu));
        }
    }
    return jobHash(bytes);
}

std::string formatMovieJob(const MovieJob& job)
{
    std::ostringstream out;
    out << kMovieJobMagic << ' ' << kMovieJobVersion << '\n';
    out << "parameters " << job.parameterFile << ' ' << hashText(job.parameterHash) << '\n';
    out << "size " << job.width << ' ' << job.height << '\n';
    out << "threads " << job.threads << ' ' << job.multiThreaded << '\n';
    out << "fast-deep " << job.fastDeepZoom << '\n';
    out << "unzoom-factor " << hexFloat(static_cast<double>(job.unzoomFactor)) << '\n';
    out << "unzoom-video " << job.unzoomVideo << '\n';
    out << "auto-iter-increase " << job.autoIterIncrease << '\n';
    out << "auto-pot-value " << job.autoPotValue << '\n';
    out << "jpeg-quality " << job.jpegQuality << '\n';
    out << "mode-word " << job.modeWord << '\n';
    out << "bailout " << hexFloat(job.bailout) << '\n';
    out << "colour-flags " << job.colourFlags << '\n';
    out << "palette-offset " << job.paletteOffset << '\n';
    const JobPalette& p = job.palette;
    out << "palette";
    for (const auto* channel : {&p.parameters.start, &p.parameters.step, &p.parameters.stop}) {
        for (const float v : *channel) {
            out << ' ' << hexFloat(static_cast<double>(v));
        }
    }
    out << " options " << p.optionBits << " first " << p.first << " ends " << p.firstEntry << ' '
        << p.lastEntry << " hash " << hashText(p.hash) << '\n';
    out << "frames " << job.frames.size() << '\n';
    for (const JobFrame& f : job.frames) {
        out << "frame " << f.counter << " iter " << f.iterMax << " pot " << hexFloat(f.potValue)
            << " deep " << f.deepZoom << " bits " << f.precisionBits << " limit " << f.deepLimit;
        for (std::size_t i = 0; i < kNumberKeys.size(); ++i) {
            out << ' ' << kNumberKeys[i] << ' ' << numberText(f.numbers[i]);
        }
        out << '\n';
    }
    out << "end\n";
    return out.str();
}

std::optional<MovieJob> parseMovieJob(std::string_view text, std::string& error)
{
    std::vector<std::string_view> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    std::size_t lineNo = 0;
    try {
        // Each line: its key, then the words expected.
        const auto line = [&](std::string_view key, std::size_t count) {
            if (lineNo >= lines.size()) {
                throw Bad{"the manifest ends before '" + std::string(key) + "'"};
            }
            std::vector<std::string_view> words = wordsOf(lines[lineNo++]);
            if (words.empty() || words[0] != key || words.size() != count + 1) {
                throw Bad{"'" + std::string(key) + "' with " + std::to_string(count) +
                          " values expected"};
            }
            words.erase(words.begin());
            return words;
        };
        const auto word = [](const std::vector<std::string_view>& words, std::size_t i,
                             std::string_view key) {
            if (words[i] != key) {
                throw Bad{"'" + std::string(key) + "' expected"};
            }
            return words[i + 1];
        };
        MovieJob job;
        auto w = line(kMovieJobMagic, 1);
        if (wholeValue<std::int32_t>(w[0]) != kMovieJobVersion) {
            throw Bad{"version " + std::string(w[0]) + " is not one this program reads"};
        }
        w = line("parameters", 2);
        job.parameterFile = std::string(w[0]);
        job.parameterHash = wholeValue<std::uint64_t>(w[1], 16);
        if (job.parameterFile.find('/') != std::string::npos) {
            throw Bad{"the parameter file must be inside the job folder"};
        }
        w = line("size", 2);
        job.width = wholeValue<std::int32_t>(w[0]);
        job.height = wholeValue<std::int32_t>(w[1]);
        if (job.width < 1 || job.height < 1 || job.width > kMovieMaxWidth ||
            job.height > kMovieMaxHeight) {
            throw Bad{"the size is not that of a movie"};
        }
        w = line("threads", 2);
        job.threads = wholeValue<std::int32_t>(w[0]);
        job.multiThreaded = wholeValue<std::int32_t>(w[1]);
        if (job.threads < 1 || job.threads > 64) {
            throw Bad{"threads out of range"};
        }
        job.fastDeepZoom = wholeValue<std::int32_t>(line("fast-deep", 1)[0]);
        if (job.fastDeepZoom != 0 && job.fastDeepZoom != 1) {
            throw Bad{"fast-deep is 0 or 1"};
        }
        job.unzoomFactor = static_cast<float>(doubleValue(line("unzoom-factor", 1)[0]));
        job.unzoomVideo = wholeValue<std::int32_t>(line("unzoom-video", 1)[0]);
        job.autoIterIncrease = wholeValue<std::int32_t>(line("auto-iter-increase", 1)[0]);
        job.autoPotValue = wholeValue<std::int32_t>(line("auto-pot-value", 1)[0]);
        job.jpegQuality = wholeValue<std::int32_t>(line("jpeg-quality", 1)[0]);
        if (job.jpegQuality != 100 && job.jpegQuality != 75) {
            throw Bad{"the JPEG quality is 100 or 75"};
        }
        job.modeWord = wholeValue<std::uint32_t>(line("mode-word", 1)[0]);
        job.bailout = doubleValue(line("bailout", 1)[0]);
        job.colourFlags = wholeValue<std::uint32_t>(line("colour-flags", 1)[0]);
        job.paletteOffset = wholeValue<std::int32_t>(line("palette-offset", 1)[0]);
        w = line("palette", 18);
        JobPalette& p = job.palette;
        std::size_t i = 0;
        for (auto* channel : {&p.parameters.start, &p.parameters.step, &p.parameters.stop}) {
            for (float& v : *channel) {
                v = static_cast<float>(doubleValue(w[i++]));
            }
        }
        p.optionBits = wholeValue<std::uint32_t>(word(w, 9, "options"));
        p.first = wholeValue<std::int32_t>(word(w, 11, "first"));
        p.firstEntry = wholeValue<std::uint32_t>(word(w, 13, "ends"));
        p.lastEntry = wholeValue<std::uint32_t>(w[15]);
        p.hash = wholeValue<std::uint64_t>(word(w, 16, "hash"), 16);
        if (p.first != 0 && p.first != 1) {
            throw Bad{"the palette's first entry is 0 or 1"};
        }
        const auto count = wholeValue<std::size_t>(line("frames", 1)[0]);
        if (count == 0 || count > static_cast<std::size_t>(kLastFrameCounter) + 1) {
            throw Bad{"the frame count is out of range"};
        }
        job.frames.reserve(count);
        for (std::size_t k = 0; k < count; ++k) {
            w = line("frame", 11 + 2 * kNumberKeys.size());
            JobFrame f;
            f.counter = wholeValue<std::int32_t>(w[0]);
            if (f.counter != static_cast<std::int32_t>(k)) {
                throw Bad{"frame " + std::to_string(k) + " expected"};
            }
            f.iterMax = wholeValue<std::int32_t>(word(w, 1, "iter"));
            f.potValue = doubleValue(word(w, 3, "pot"));
            f.deepZoom = wholeValue<std::int32_t>(word(w, 5, "deep"));
            f.precisionBits = wholeValue<std::int32_t>(word(w, 7, "bits"));
            f.deepLimit = wholeValue<std::int32_t>(word(w, 9, "limit"));
            if (f.precisionBits < kMinPrecisionBits || f.precisionBits > kMaxPrecisionBits) {
                throw Bad{"the precision is out of range"};
            }
            for (std::size_t n = 0; n < kNumberKeys.size(); ++n) {
                f.numbers[n] = jobNumber(word(w, 11 + 2 * n, kNumberKeys[n]));
                if (f.numbers[n].deep.has_value() != (f.deepZoom != 0) ||
                    (f.numbers[n].deep &&
                     f.numbers[n].deep->limbs.size() > halvesAtPrecision(f.precisionBits))) {
                    throw Bad{"'" + std::string(kNumberKeys[n]) +
                              "' does not match the frame's precision"};
                }
            }
            job.frames.push_back(std::move(f));
        }
        line("end", 0);
        if (lineNo != lines.size()) {
            ++lineNo;
            throw Bad{"text after 'end'"};
        }
        return job;
    } catch (const Bad& bad) {
        error = "line " + std::to_string(lineNo) + ": " + bad.text;
        return std::nullopt;
    }
}

std::optional<MovieJob> planMovieJob(AppState& app, ViewObserver& observer)
{
    MovieJob job;
    const RenderSettings& s = app.settings;
    job.width = s.pictureWidth;
    job.height = s.pictureHeight;
    job.threads = s.threads;
    job.multiThreaded = s.multiThreaded;
    job.fastDeepZoom = s.fastDeepZoom;
    job.unzoomFactor = s.unzoomFactor;
    job.unzoomVideo = s.unzoomVideo;
    job.autoIterIncrease = s.autoIterIncrease;
    job.autoPotValue = s.autoPotValue;
    job.jpegQuality = jpegQuality(s);
    job.modeWord = app.view.modeWord;
    job.bailout = app.view.bailout;
    job.colourFlags = s.colourFlags;
    job.paletteOffset = app.paletteState.paletteOffset;
    const std::optional<JobPalette> palette = describePalette(app);
    if (!palette) {
        return std::nullopt;
    }
    job.palette = *palette;
    MovieFrameWalk walk(app, observer);
    while (walk.advance()) {
        ViewState& view = app.view;
        JobFrame f;
        f.counter = walk.counter();
        f.iterMax = view.iterMax;
        f.potValue = view.potValue;
        f.deepZoom = view.deepZoom;
        f.precisionBits = view.precisionBits;
        f.deepLimit = view.deepLimit;
        const std::array<ViewNumber*, 6> numbers = frameNumbers(view);
        for (std::size_t i = 0; i < numbers.size(); ++i) {
            f.numbers[i].ext = numbers[i]->ext;
            if (view.deepZoom != 0) {
                f.numbers[i].deep = exactImage(numbers[i]->mp());
                f.numbers[i].ext = 0.0L;
            }
        }
        job.frames.push_back(std::move(f));
    }
    return job;
}

bool applyJobSettings(AppState& app, const MovieJob& job, ShellObserver& observer)
{
    RenderSettings& s = app.settings;
    s.threads = job.threads;
    s.multiThreaded = job.multiThreaded;
    s.fastDeepZoom = job.fastDeepZoom;
    s.unzoomFactor = job.unzoomFactor;
    s.unzoomVideo = job.unzoomVideo;
    s.autoIterIncrease = job.autoIterIncrease;
    s.autoPotValue = job.autoPotValue;
    s.autosaveParameter = job.jpegQuality == 100 ? 0 : 1;
    s.colourFlags = job.colourFlags;
    app.view.modeWord = job.modeWord;
    app.view.bailout = job.bailout;
    app.paletteState.paletteOffset = job.paletteOffset;
    app.paletteState.parameters = job.palette.parameters;
    app.paletteState.options = optionsFromColourFlags(job.palette.optionBits);
    generateJobPalette(app.palette, job.palette);
    // A Julia job is drawn in its own window, not in the default one of a first Julia picture.
    app.shell.juliaShown = 1;
    app.shell.currentFileName.clear();
    app.render.firstPicture = 0;
    changePictureSize(app, {job.width, job.height}, observer);
    app.shell.animationRunning = 1;
    return paletteHash(app.palette) == job.palette.hash;
}

void applyJobFrame(AppState& app, const JobFrame& frame)
{
    ViewState& view = app.view;
    view.deepZoom = frame.deepZoom;
    setPrecision(view, frame.precisionBits);
    const std::array<ViewNumber*, 6> numbers = frameNumbers(view);
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (frame.numbers[i].deep) {
            restoreNumber(*frame.numbers[i].deep, numbers[i]->mp());
        } else {
            numbers[i]->ext = frame.numbers[i].ext;
        }
    }
    if (frame.deepZoom == 0) {
        extendedToDeep(view);
    }
    view.iterMax = frame.iterMax;
    view.potValue = frame.potValue;
    view.deepLimit = frame.deepLimit;
    app.shell.pictureValid = 0;
    app.shell.pictureFromImage = 0;
    app.render.renderSuppressed = 0;
}

JobFolderResult saveJobFolder(AppState& app, ViewObserver& observer, const std::string& folder)
{
    JobFolderResult result;
    std::error_code error;
    const fs::path root(folder);
    const fs::path frames = root / kJobFramesName;
    fs::create_directories(frames, error);
    if (!fs::is_directory(frames, error)) {
        result.error = "The folder\n" + frames.string() + "\ncannot be created.";
        return result;
    }
    const bool deep = app.view.deepZoom != 0;
    const std::string parameterName = deep ? "movie.fdz" : "movie.fra";
    const std::string parameterPath = (root / parameterName).string();
    NoPictures noPictures;
    const bool saved = deep ? saveDeepFile(app, noPictures, parameterPath)
                            : saveStandardFile(app, noPictures, parameterPath);
    const std::optional<std::string> parameterBytes = fileText(parameterPath);
    if (!saved || !parameterBytes) {
        result.error = "The parameter file\n" + parameterPath + "\ncannot be written.";
        return result;
    }
    // A movie to disk writes its frames with "Autosave parameter" off, at full quality.
    const std::int32_t autosave = std::exchange(app.settings.autosaveParameter, 0);
    std::optional<MovieJob> job = planMovieJob(app, observer);
    app.settings.autosaveParameter = autosave;
    if (!job) {
        result.error = "The palette cannot be written into a movie job.";
        return result;
    }
    job->parameterFile = parameterName;
    job->parameterHash = jobHash(*parameterBytes);
    const std::string manifest = formatMovieJob(*job);
    const std::string stamp =
        std::string(kMovieJobMagic) + " " + hashText(jobHash(manifest)) + "\n";
    const std::string stampPath = (frames / kJobStampName).string();
    if (fileText(stampPath) != stamp) {
        result.framesDeleted = deleteOldFrames(frames.string());
    }
    if (!writeText((root / kManifestName).string(), manifest) || !writeText(stampPath, stamp)) {
        result.error = "The movie job\n" + (root / kManifestName).string() + "\ncannot be written.";
        return result;
    }
    result.saved = true;
    result.frameCount = job->frames.size();
    return result;
}

std::string jobCommand(const std::string& folder, std::int32_t first, std::int32_t last)
{
    // The command is meant to be pasted into a shell: a folder with blanks or quotes stays
    // one word.
    const bool plain = !folder.empty() && std::all_of(folder.begin(), folder.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 ||
               std::string_view("/._-+,:@").find(c) != std::string_view::npos;
    });
    std::string word;
    if (plain) {
        word = folder;
    } else {
        word.push_back('\'');
        for (const char c : folder) {
            if (c == '\'') {
                word.append("'\\''");
            } else {
                word.push_back(c);
            }
        }
        word.push_back('\'');
    }
    return "quorvalis-render --movie-frames " + std::to_string(first) + ".." +
           std::to_string(last) + " --job " + word;
}

} // namespace qv
