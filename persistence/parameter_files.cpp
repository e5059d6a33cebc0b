// Writing and reading parameter files. Every file is first read whole into a record and checked
// against its layout; only a file that passed every check changes the program's state.
#include "persistence/parameter_files.h"

#include "base/number_text.h"
#include "base/byte_codec.h"
#include "persistence/deep_limbs.h"
#include "base/file_io.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <optional>
#include <span>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace qv {
namespace {

/// Files of at most this length are the old layouts; longer ones start with a version byte.
constexpr std::uint64_t kLongestOldLayout = 153;
/// The version byte of the row of old layouts whose palette parameters are integers.
constexpr std::uint8_t kIntegerPaletteVersion = 30;
/// Bit 6 of the old mode word was once "Inside color".
constexpr std::uint32_t kOldInsideColourBit = 1u << 6;
constexpr std::uint32_t kInsideColourFlag = 1u << 0;
/// Format 50 and 55 before the numbers: version, mode word, deep zoom, colour flags, pot value.
constexpr std::uint64_t kLeadBytes = 21;
/// Format 50 after the text fields up to precisionBits: iterMax, bailout, palette, offset,
/// precision.
constexpr std::uint64_t kTrailBytes = 56;
/// Format 55 up to and including precisionBits.
constexpr std::uint64_t kDeepFixedBytes = 77;
constexpr std::uint64_t kDeepHeaderBytes = 16;
/// Picture block: width and height before the values.
constexpr std::uint64_t kPictureSizeBytes = 8;
constexpr std::size_t kPaletteBytes = 36;

enum class Refusal {
    None,
    NotOurs,
    ShortFile,
    Precision,
    Limbs,
    PictureSize,
    PictureMemory,
};

std::string_view messageFor(Refusal refusal)
{
    switch (refusal) {
    case Refusal::ShortFile:
        return kShortParameterFile;
    case Refusal::Precision:
        return kBadPrecision;
    case Refusal::Limbs:
        return kBadLimbCount;
    case Refusal::PictureSize:
        return kBadPictureSize;
    case Refusal::PictureMemory:
        return kPictureTooLarge;
    case Refusal::None:
    case Refusal::NotOurs:
        break;
    }
    return kNotParameterFile;
}

/// The rows of old layouts, recognised by the file length.
enum class OldRow {
    ModeByte,  ///< 75, 95, 111, 131: the low byte of the mode word, palette as integers if any
    ModeWord,  ///< 115, 135: version, mode word, palette as integers
    Flags,     ///< 119, 139: version, mode word, colour flags
    Potential, ///< 129, 149, 133, 153: as format 43, the offset only with version 43
};

std::optional<OldRow> oldRowFor(std::uint64_t length)
{
    switch (length) {
    case 75:
    case 95:
    case 111:
    case 131:
        return OldRow::ModeByte;
    case 115:
    case 135:
        return OldRow::ModeWord;
    case 119:
    case 139:
        return OldRow::Flags;
    case 129:
    case 149:
    case 133:
    case 153:
        return OldRow::Potential;
    default:
        return std::nullopt;
    }
}

/// Everything a parameter file holds, as read and checked, before any of it is applied.
struct FileFields
{
    std::uint8_t version = 0;
    std::uint32_t modeWord = 0;
    std::int32_t deepZoom = 0;
    std::uint32_t colourFlags = 0;
    double potValue = 0.0; ///< layouts without one keep the reset value
    std::int32_t iterMax = 0;
    double bailout = 0.0;
    std::optional<PaletteParameters> palette;
    std::int32_t paletteOffset = 0; ///< layouts without one keep the reset value
    std::int32_t precisionBits = 0;
    std::vector<long double> extended; ///< old layouts and format 43
    std::vector<std::string> texts;    ///< format 50
    std::size_t textWidth = 0;         ///< format 50
    std::vector<DeepNumberImage> deep; ///< format 55
    std::optional<IterationBuffer> picture;
    std::optional<OldRow> oldRow;
};

/// The double nearest to an extended value; values beyond the double's range become
/// infinities rather than an undefined conversion.
double toDouble(long double v)
{
    // From the largest double plus half its last step on, rounding gives infinity.
    const long double overflow = std::ldexp(2.0L - std::ldexp(1.0L, -53), 1023);
    if (v >= overflow) {
        return std::numeric_limits<double>::infinity();
    }
    if (v <= -overflow) {
        return -std::numeric_limits<double>::infinity();
    }
    return static_cast<double>(v);
}

std::size_t storedNumberCount(std::uint32_t modeWord)
{
    return (modeWord & 1u) != 0 ? MandelbrotNumbers::kStored : JuliaNumbers::kStored;
}

/// The view numbers a file stores, in file order: the first 6 of the Mandelbrot view or the 8
/// of the Julia view, by bit 0 of the mode word.
std::vector<ViewNumber*> storedNumbers(ViewState& view)
{
    std::vector<ViewNumber*> numbers;
    if (isMandelbrot(view)) {
        const auto all = view.mandelbrot.inOrder();
        numbers.assign(all.begin(), all.begin() + MandelbrotNumbers::kStored);
    } else {
        const auto all = view.julia.inOrder();
        numbers.assign(all.begin(), all.begin() + JuliaNumbers::kStored);
    }
    return numbers;
}

bool readPalette(ByteReader& in, bool asIntegers, PaletteParameters& out)
{
    std::array<float, 9> values{};
    for (float& v : values) {
        if (asIntegers) {
            std::int32_t i = 0;
            if (!in.i32(i)) {
                return false;
            }
            v = static_cast<float>(i);
        } else if (!in.f32(v)) {
            return false;
        }
    }
    for (std::size_t c = 0; c < 3; ++c) {
        out.start[c] = values[c];
        out.step[c] = values[3 + c];
        out.stop[c] = values[6 + c];
    }
    return true;
}

void writePalette(ByteWriter& out, const PaletteParameters& p)
{
    for (const auto* channel : {&p.start, &p.step, &p.stop}) {
        for (const float v : *channel) {
            out.f32(v);
        }
    }
}

// --- Reading the layouts into FileFields ---

Refusal readOldLayout(std::span<const std::byte> bytes, OldRow row, FileFields& f)
{
    ByteReader in(bytes);
    f.oldRow = row;
    if (row == OldRow::ModeByte) {
        std::uint8_t low = 0;
        in.u8(low);
        f.modeWord = low;
    } else {
        in.u8(f.version);
        in.u32(f.modeWord);
    }
    if (row == OldRow::Flags || row == OldRow::Potential) {
        in.u32(f.colourFlags);
    }
    if (row == OldRow::Potential) {
        long double pot = 0.0L;
        in.ext80(pot);
        f.potValue = toDouble(pot);
    }
    f.extended.assign(storedNumberCount(f.modeWord), 0.0L);
    for (long double& v : f.extended) {
        in.ext80(v);
    }
    in.i32(f.iterMax);
    long double bailout = 0.0L;
    in.ext80(bailout);
    f.bailout = toDouble(bailout);
    if (!in.ok()) {
        return Refusal::ShortFile;
    }
    PaletteParameters palette;
    switch (row) {
    case OldRow::ModeByte:
        // Only the 111- and 131-byte files have room for the palette.
        if (in.remaining() >= kPaletteBytes && readPalette(in, true, palette)) {
            f.palette = palette;
        }
        break;
    case OldRow::ModeWord:
        if (!readPalette(in, true, palette)) {
            return Refusal::ShortFile;
        }
        f.palette = palette;
        break;
    case OldRow::Flags:
        if (!readPalette(in, f.version == kIntegerPaletteVersion, palette)) {
            return Refusal::ShortFile;
        }
        f.palette = palette;
        break;
    case OldRow::Potential:
        if (!readPalette(in, false, palette)) {
            return Refusal::ShortFile;
        }
        f.palette = palette;
        // The offset came with format 43; a 129- or 149-byte file has no room for it.
        if (f.version == kStandardFormat && in.remaining() >= 4) {
            in.i32(f.paletteOffset);
        }
        break;
    }
    if (row == OldRow::ModeByte || row == OldRow::ModeWord) {
        if ((f.modeWord & kOldInsideColourBit) != 0) {
            f.modeWord &= ~kOldInsideColourBit;
            f.colourFlags |= kInsideColourFlag;
        }
    }
    return Refusal::None;
}

std::uint64_t pictureBytes(std::int32_t width, std::int32_t height)
{
    return 4 * static_cast<std::uint64_t>(IterationBuffer::storedSize(width, height));
}

bool sideInRange(std::int32_t side)
{
    return side >= 1 && side <= kMaxStoredSide;
}

/// Reads the picture block's values (the file positioned after W and H) into a new buffer.
Refusal readPictureValues(InputFile& file, std::int32_t width, std::int32_t height,
                          std::optional<IterationBuffer>& picture)
{
    if (!sideInRange(width) || !sideInRange(height)) {
        return Refusal::PictureSize;
    }
    const std::uint64_t bytes = pictureBytes(width, height);
    if (bytes > file.length() - std::min(file.position(), file.length())) {
        return Refusal::ShortFile;
    }
    // Counts, escape values A and B: refuse what the machine cannot hold at all.
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0 &&
        3 * bytes > static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize)) {
        return Refusal::PictureMemory;
    }
    try {
        picture.emplace();
        picture->allocate(width, height);
    } catch (const std::bad_alloc&) {
        picture.reset();
        return Refusal::PictureMemory;
    } catch (const std::length_error&) {
        picture.reset();
        return Refusal::PictureMemory;
    }
    std::vector<std::int32_t>& counts = picture->counts;
    const std::size_t used = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<std::byte> chunk(64 * 1024);
    std::size_t next = 0;
    while (next < counts.size()) {
        const std::size_t n = std::min(chunk.size() / 4, counts.size() - next);
        if (!file.read(std::span(chunk.data(), 4 * n))) {
            picture.reset();
            return Refusal::ShortFile;
        }
        for (std::size_t i = 0; i < n; ++i) {
            counts[next + i] = static_cast<std::int32_t>(loadU32(chunk.data() + 4 * i));
        }
        next += n;
    }
    // The values after the first width x height have no meaning.
    std::fill(counts.begin() + static_cast<std::ptrdiff_t>(used), counts.end(), 0);
    return Refusal::None;
}

/// The `count` bytes at `offset`; empty when the file does not hold them all.
std::vector<std::byte> readAt(InputFile& file, std::uint64_t offset, std::uint64_t count)
{
    if (offset > file.length() || count > file.length() - offset) {
        return {};
    }
    std::vector<std::byte> bytes(static_cast<std::size_t>(count));
    if (!file.seek(offset) || !file.read(bytes)) {
        bytes.clear();
    }
    return bytes;
}

/// The first `count` bytes of the file, or all of it when it is shorter.
std::vector<std::byte> readPrefix(InputFile& file, std::uint64_t count)
{
    return readAt(file, 0, std::min(count, file.length()));
}

/// How a format-50 file is laid out: the width of its text fields and whether a picture
/// follows.
struct Format50Layout
{
    std::size_t textWidth = kFileFieldChars;
    bool picture = false;
};

std::uint64_t format50Fixed(std::size_t textWidth, std::size_t count)
{
    return kLeadBytes + static_cast<std::uint64_t>(textWidth) * count + kTrailBytes;
}

/// Finds the text field width of a format-50 file by the length its stored W and H imply.
/// `wantPicture`: the file must hold a picture; otherwise a file without one reads with the
/// older 500-byte fields.
Refusal format50Layout(InputFile& file, std::size_t count, bool wantPicture, Format50Layout& layout)
{
    const std::uint64_t length = file.length();

    struct Candidate
    {
        std::size_t width;
        bool headerFits = false;
        bool sizeInRange = false;
        std::uint64_t total = 0;
    };

    std::array<Candidate, 2> candidates{{{kImageTextField}, {kFileFieldChars}}};
    for (Candidate& c : candidates) {
        const std::uint64_t at = format50Fixed(c.width, count);
        const std::vector<std::byte> size = readAt(file, at, kPictureSizeBytes);
        if (size.empty()) {
            continue;
        }
        c.headerFits = true;
        const auto width = static_cast<std::int32_t>(loadU32(size.data()));
        const auto height = static_cast<std::int32_t>(loadU32(size.data() + 4));
        c.sizeInRange = sideInRange(width) && sideInRange(height);
        if (c.sizeInRange) {
            c.total = at + kPictureSizeBytes + pictureBytes(width, height);
        }
    }
    for (const Candidate& c : candidates) {
        if (c.sizeInRange && c.total == length) {
            layout = {c.width, true};
            return Refusal::None;
        }
    }
    if (!wantPicture) {
        if (length < format50Fixed(kFileFieldChars, count)) {
            return Refusal::ShortFile;
        }
        layout = {kFileFieldChars, false};
        return Refusal::None;
    }
    // A file longer than its layout: the trailing bytes are ignored.
    for (const Candidate& c : candidates) {
        if (c.sizeInRange && c.total <= length) {
            layout = {c.width, true};
            return Refusal::None;
        }
    }
    for (const Candidate& c : candidates) {
        if (c.headerFits) {
            return c.sizeInRange ? Refusal::ShortFile : Refusal::PictureSize;
        }
    }
    return Refusal::ShortFile;
}

Refusal checkPrecision(std::int32_t bits)
{
    return bits >= kMinPrecisionBits && bits <= kMaxPrecisionBits ? Refusal::None
                                                                  : Refusal::Precision;
}

/// What of a format-50 file is read besides its fixed fields.
enum class Format50Parts {
    FixedOnly,    ///< the header: no texts, no picture
    Texts,        ///< the view without the picture
    TextsPicture, ///< the view and the picture it must have
};

/// Format 50 up to precisionBits, and the picture when asked for.
Refusal readFormat50(InputFile& file, Format50Parts parts, FileFields& f)
{
    const std::vector<std::byte> lead = readAt(file, 0, kLeadBytes);
    ByteReader in(lead);
    in.u8(f.version);
    in.u32(f.modeWord);
    in.i32(f.deepZoom);
    in.u32(f.colourFlags);
    in.f64(f.potValue);
    if (!in.ok()) {
        return Refusal::ShortFile;
    }
    const std::size_t count = storedNumberCount(f.modeWord);
    Format50Layout layout;
    if (const Refusal r = format50Layout(file, count, parts == Format50Parts::TextsPicture, layout);
        r != Refusal::None) {
        return r;
    }
    if (parts != Format50Parts::FixedOnly) {
        const std::vector<std::byte> fields =
            readAt(file, kLeadBytes, static_cast<std::uint64_t>(layout.textWidth) * count);
        if (fields.empty()) {
            return Refusal::ShortFile;
        }
        f.textWidth = layout.textWidth;
        f.texts.resize(count);
        for (std::size_t k = 0; k < count; ++k) {
            const auto* chars = reinterpret_cast<const char*>(fields.data() + k * layout.textWidth);
            f.texts[k].assign(chars, std::find(chars, chars + layout.textWidth, '\0'));
        }
    }
    const std::uint64_t trailAt = kLeadBytes + static_cast<std::uint64_t>(layout.textWidth) * count;
    const std::vector<std::byte> trail = readAt(file, trailAt, kTrailBytes);
    ByteReader rest(trail);
    rest.i32(f.iterMax);
    rest.f64(f.bailout);
    PaletteParameters palette;
    readPalette(rest, false, palette);
    f.palette = palette;
    rest.i32(f.paletteOffset);
    rest.i32(f.precisionBits);
    if (!rest.ok()) {
        return Refusal::ShortFile;
    }
    if (f.deepZoom == 1) {
        if (const Refusal r = checkPrecision(f.precisionBits); r != Refusal::None) {
            return r;
        }
    }
    if (!layout.picture || parts != Format50Parts::TextsPicture) {
        return Refusal::None;
    }
    const std::vector<std::byte> size = readAt(file, trailAt + kTrailBytes, kPictureSizeBytes);
    if (size.empty()) {
        return Refusal::ShortFile;
    }
    return readPictureValues(file, static_cast<std::int32_t>(loadU32(size.data())),
                             static_cast<std::int32_t>(loadU32(size.data() + 4)), f.picture);
}

/// Format 55 up to precisionBits.
Refusal readDeepFixed(ByteReader& in, FileFields& f)
{
    in.u8(f.version);
    in.u32(f.modeWord);
    in.i32(f.deepZoom);
    in.u32(f.colourFlags);
    in.f64(f.potValue);
    in.i32(f.iterMax);
    in.f64(f.bailout);
    PaletteParameters palette;
    readPalette(in, false, palette);
    f.palette = palette;
    in.i32(f.paletteOffset);
    in.i32(f.precisionBits);
    return in.ok() ? Refusal::None : Refusal::ShortFile;
}

/// Where the number headers of a format-55 file start when the file is exactly the with-image
/// layout (a .fpz given to the plain loader); nothing otherwise.
std::optional<std::uint64_t> headersAfterPicture(InputFile& file, std::size_t count)
{
    const std::vector<std::byte> size = readAt(file, kDeepFixedBytes, kPictureSizeBytes);
    if (size.empty()) {
        return std::nullopt;
    }
    const auto width = static_cast<std::int32_t>(loadU32(size.data()));
    const auto height = static_cast<std::int32_t>(loadU32(size.data() + 4));
    if (!sideInRange(width) || !sideInRange(height)) {
        return std::nullopt;
    }
    const std::uint64_t at = kDeepFixedBytes + kPictureSizeBytes + pictureBytes(width, height);
    const std::vector<std::byte> headers = readAt(file, at, count * kDeepHeaderBytes);
    if (headers.empty()) {
        return std::nullopt;
    }
    std::uint64_t limbs = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const auto n =
            static_cast<std::int32_t>(loadU32(headers.data() + i * kDeepHeaderBytes + 4));
        limbs += static_cast<std::uint64_t>(std::llabs(static_cast<std::int64_t>(n)));
    }
    if (at + count * kDeepHeaderBytes + 4 * limbs != file.length()) {
        return std::nullopt;
    }
    return at;
}

Refusal readFormat55(InputFile& file, bool withPicture, FileFields& f)
{
    std::vector<std::byte> fixed(kDeepFixedBytes);
    if (!file.seek(0) || !file.read(fixed)) {
        return Refusal::ShortFile;
    }
    ByteReader in(fixed);
    if (const Refusal r = readDeepFixed(in, f); r != Refusal::None) {
        return r;
    }
    if (f.version != kDeepFormat) {
        return Refusal::NotOurs;
    }
    if (const Refusal r = checkPrecision(f.precisionBits); r != Refusal::None) {
        return r;
    }
    if (withPicture) {
        std::array<std::byte, kPictureSizeBytes> size{};
        if (!file.read(size)) {
            return Refusal::ShortFile;
        }
        const auto width = static_cast<std::int32_t>(loadU32(size.data()));
        const auto height = static_cast<std::int32_t>(loadU32(size.data() + 4));
        if (const Refusal r = readPictureValues(file, width, height, f.picture);
            r != Refusal::None) {
            return r;
        }
    }
    const std::size_t count = storedNumberCount(f.modeWord);
    if (!withPicture) {
        // A file with a picture read without it: its numbers follow the picture.
        if (!file.seek(headersAfterPicture(file, count).value_or(kDeepFixedBytes))) {
            return Refusal::ShortFile;
        }
    }
    std::vector<std::byte> headers(count * kDeepHeaderBytes);
    if (!file.read(headers)) {
        return Refusal::ShortFile;
    }
    f.deep.resize(count);
    std::uint64_t limbs = 0;
    for (std::size_t i = 0; i < count; ++i) {
        DeepNumberImage& n = f.deep[i];
        const std::byte* h = headers.data() + i * kDeepHeaderBytes;
        n.precisionLimbs = static_cast<std::int32_t>(loadU32(h));
        n.size = static_cast<std::int32_t>(loadU32(h + 4));
        n.exponent = static_cast<std::int32_t>(loadU32(h + 8));
        if (!fitsPrecision(n.size, n.precisionLimbs, f.precisionBits)) {
            return Refusal::Limbs;
        }
        limbs += static_cast<std::uint64_t>(std::llabs(static_cast<std::int64_t>(n.size)));
    }
    if (4 * limbs > file.length() - file.position()) {
        return Refusal::ShortFile;
    }
    for (DeepNumberImage& n : f.deep) {
        const auto count32 =
            static_cast<std::size_t>(std::llabs(static_cast<std::int64_t>(n.size)));
        std::vector<std::byte> bytes(4 * count32);
        if (!file.read(bytes)) {
            return Refusal::ShortFile;
        }
        n.limbs.resize(count32);
        for (std::size_t k = 0; k < count32; ++k) {
            n.limbs[k] = loadU32(bytes.data() + 4 * k);
        }
    }
    return Refusal::None;
}

// --- Applying a checked file ---

void resetBeforeReading(AppState& app)
{
    app.settings.colourFlags = 0;
    app.paletteState.options = PaletteOptions{};
    app.view.potValue = 0.0;
    app.paletteState.paletteOffset = 0;
}

std::string menuTitleFor(const std::string& path)
{
    return "QUORVALIS - " + path;
}

/// The fields every layout holds, and the type boxes of the parameters dialog.
void assignCommonFields(AppState& app, ShellObserver& observer, const FileFields& f)
{
    ViewState& view = app.view;
    view.modeWord = f.modeWord;
    observer.showFractalType((f.modeWord & 1u) != 0, (f.modeWord & 2u) != 0);
    view.iterMax = f.iterMax;
    view.bailout = f.bailout;
    view.potValue = f.potValue;
    app.settings.colourFlags = f.colourFlags;
    app.paletteState.paletteOffset = f.paletteOffset;
    if (f.palette) {
        app.paletteState.parameters = *f.palette;
    }
}

void takePicture(AppState& app, ShellObserver& observer, FileFields& f)
{
    IterationBuffer& picture = *f.picture;
    app.settings.pictureWidth = picture.width;
    app.settings.pictureHeight = picture.height;
    app.iterations = std::move(picture);
    // The stored picture is shown as it is: the window takes its size.
    observer.sizePictureWindow(app.settings.pictureWidth, app.settings.pictureHeight);
}

void switchAutoPotValueOff(AppState& app, ShellObserver& observer)
{
    app.settings.autoPotValue = 0;
    observer.showAutoPotValue(false);
}

void multiThreadedWhenPossible(AppState& app, ShellObserver& observer)
{
    if (app.shell.processorCount > 1) {
        app.settings.multiThreaded = 1;
    }
    observer.showMultiThreaded(app.settings.multiThreaded != 0);
}

/// Centre, magnification, texts and deep limit of the loaded window.
void settleLoadedView(AppState& app, ShellObserver& observer)
{
    if (isMandelbrot(app.view)) {
        centreFromWindow(app.view, viewContext(app), observer);
    } else {
        refreshFromDeep(app.view, viewContext(app), observer);
    }
}

/// Palette options from the colour flags, the pot value and bailout corrections, the palette.
void finishColouring(AppState& app, ShellServices& services)
{
    app.paletteState.options = optionsFromColourFlags(app.settings.colourFlags);
    if (app.view.potValue == 0.0) {
        app.view.potValue = 0.0001;
    }
    PaletteContext palette = paletteContext(app, services);
    generatePalette(palette, PaletteMode::FromParameters);
    app.shell.juliaShown = 1;
    if (app.view.bailout < 2.0) {
        app.view.bailout = 2.0;
    }
}

void applyOldLayout(AppState& app, ShellServices& services, const FileFields& f,
                    const std::string& path)
{
    ShellObserver& observer = services.observer;
    ViewState& view = app.view;
    assignCommonFields(app, observer, f);
    const std::vector<ViewNumber*> numbers = storedNumbers(view);
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        numbers[i]->ext = f.extended[i];
    }
    if (view.potValue == 0.0) {
        view.potValue = 0.0001;
    }
    // The options go in before the palette is generated, so that the table the file describes
    // is the one drawn.
    if (f.oldRow == OldRow::Potential) {
        app.paletteState.options = optionsFromColourFlags(app.settings.colourFlags);
    }
    PaletteContext palette = paletteContext(app, services);
    // Files written before the palette parameters were kept have a zero step (or none at all).
    if (!f.palette || f.palette->step[0] == 0.0f) {
        resetPaletteDefaults(palette);
    } else {
        generatePalette(palette, PaletteMode::FromParameters);
    }
    app.shell.juliaShown = 1;
    app.shell.lastFilePath = path;
    if (view.bailout <= 1.0) {
        view.bailout = 4.0;
    }
    view.deepZoom = 0;
    multiThreadedWhenPossible(app, observer);
    observer.showDeepZoom(false);
    app.shell.pictureValid = 0;
    app.shell.pictureFromImage = 0;
    extendedToDeep(view);
    observer.requestRepaint();
    app.shell.currentFileName = path;
    observer.setMenuTitle(menuTitleFor(path));
}

void applyFormat50(AppState& app, ShellServices& services, FileFields& f, const std::string& path)
{
    ShellObserver& observer = services.observer;
    ViewState& view = app.view;
    const bool withPicture = f.picture.has_value();
    assignCommonFields(app, observer, f);
    view.deepZoom = f.deepZoom;
    if (withPicture) {
        takePicture(app, observer, f);
    }
    switchAutoPotValueOff(app, observer);
    app.shell.lastFilePath = path;
    observer.showPotValue(potValueText(view.potValue));
    if (view.deepZoom == 1) {
        clearDeep(view);
        setPrecision(view, f.precisionBits);
    }
    std::vector<std::string_view> fields(f.texts.begin(), f.texts.end());
    textToDeep(view, fields, f.textWidth);
    // Texts and extended numbers from the GMP numbers, deep limit and title, for either type.
    settleLoadedView(app, observer);
    if (withPicture) {
        multiThreadedWhenPossible(app, observer);
    }
    finishColouring(app, services);
    observer.showDeepZoom(view.deepZoom != 0);
    if (!withPicture) {
        app.shell.pictureValid = 0;
        app.shell.pictureFromImage = 0;
        observer.requestRepaint();
    }
    app.shell.currentFileName = path;
    if (withPicture) {
        observer.setMenuTitle(menuTitleFor(path));
    }
}

void applyFormat55(AppState& app, ShellServices& services, FileFields& f, const std::string& path)
{
    ShellObserver& observer = services.observer;
    ViewState& view = app.view;
    app.shell.lastFilePath = path;
    app.shell.currentFileName = path;
    assignCommonFields(app, observer, f);
    view.deepZoom = f.deepZoom;
    if (f.picture) {
        takePicture(app, observer, f);
    }
    clearDeep(view);
    setPrecision(view, f.precisionBits);
    const std::vector<ViewNumber*> numbers = storedNumbers(view);
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        restoreNumber(f.deep[i], numbers[i]->mp());
    }
    switchAutoPotValueOff(app, observer);
    observer.showPotValue(potValueText(view.potValue));
    refreshFromDeep(view, viewContext(app), observer);
    if (isMandelbrot(view)) {
        centreFromWindow(view, viewContext(app), observer);
    }
    multiThreadedWhenPossible(app, observer);
    finishColouring(app, services);
    observer.showDeepZoom(view.deepZoom != 0);
    observer.setMainTitle(deepLimitTitle(view.deepLimit));
    app.shell.pictureValid = 0;
    app.shell.pictureFromImage = 0;
    observer.requestRepaint();
    observer.setMenuTitle(menuTitleFor(path));
}

bool refuse(ShellServices& services, Refusal refusal)
{
    services.prompts.message(messageFor(refusal));
    return false;
}

// --- Writing ---

bool writePictureBlock(ByteWriter& out, const IterationBuffer& iterations)
{
    const std::int32_t width = iterations.width;
    const std::int32_t height = iterations.height;
    const std::size_t stored = IterationBuffer::storedSize(width, height);
    if (!sideInRange(width) || !sideInRange(height) || iterations.counts.size() < stored) {
        return false;
    }
    out.i32(width);
    out.i32(height);
    const std::size_t used = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    out.reserveMore(4 * stored);
    for (std::size_t i = 0; i < used; ++i) {
        out.i32(iterations.counts[i]);
    }
    out.zeros(4 * (stored - used));
    return true;
}

/// A number text that fits a field of `room` characters. Longer texts lose mantissa digits,
/// never their exponent.
std::string fitNumberText(const std::string& text, std::size_t room)
{
    if (text.size() <= room) {
        return text;
    }
    const std::string::size_type e = text.find_last_of("eE");
    if (e == std::string::npos || text.size() - e >= room) {
        return text.substr(0, room);
    }
    const std::size_t exponentChars = text.size() - e;
    return text.substr(0, room - exponentChars) + text.substr(e);
}

void writeDeepFixed(ByteWriter& out, const AppState& app)
{
    const ViewState& view = app.view;
    out.u8(kDeepFormat);
    out.u32(view.modeWord);
    out.i32(view.deepZoom);
    out.u32(app.settings.colourFlags);
    out.f64(view.potValue);
    out.i32(view.iterMax);
    out.f64(view.bailout);
    writePalette(out, app.paletteState.parameters);
    out.i32(app.paletteState.paletteOffset);
    out.i32(view.precisionBits);
}

bool writeDeepNumbers(ByteWriter& out, ViewState& view)
{
    std::vector<DeepNumberImage> images;
    for (ViewNumber* n : storedNumbers(view)) {
        auto image = imageOfNumber(n->mp(), view.precisionBits);
        if (!image) {
            return false;
        }
        images.push_back(std::move(*image));
    }
    for (const DeepNumberImage& image : images) {
        out.i32(image.precisionLimbs);
        out.i32(image.size);
        out.i32(image.exponent);
        out.i32(0);
    }
    for (const DeepNumberImage& image : images) {
        for (const std::uint32_t limb : image.limbs) {
            out.u32(limb);
        }
    }
    return true;
}

bool finishSave(const ByteWriter& out, PictureWriter& pictures, const std::string& path)
{
    if (!replaceFile(path, out.data())) {
        return false;
    }
    pictures.saveThumbnail(path + ".jpg");
    return true;
}

} // namespace

bool saveStandardFile(AppState& app, PictureWriter& pictures, const std::string& path)
{
    if (path.empty()) {
        return false;
    }
    syncColourFlags(app.paletteState.options, app.settings.colourFlags);
    ViewState& view = app.view;
    ByteWriter out;
    out.u8(kStandardFormat);
    out.u32(view.modeWord);
    out.u32(app.settings.colourFlags);
    out.ext80(static_cast<long double>(view.potValue));
    for (const ViewNumber* n : storedNumbers(view)) {
        out.ext80(n->ext);
    }
    out.i32(view.iterMax);
    out.ext80(static_cast<long double>(view.bailout));
    writePalette(out, app.paletteState.parameters);
    out.i32(app.paletteState.paletteOffset);
    return finishSave(out, pictures, path);
}

bool saveDeepFile(AppState& app, PictureWriter& pictures, const std::string& path)
{
    if (path.empty()) {
        return false;
    }
    // The palette options live beside the flags word; without this a deep file would lose them.
    syncColourFlags(app.paletteState.options, app.settings.colourFlags);
    ByteWriter out;
    writeDeepFixed(out, app);
    if (!writeDeepNumbers(out, app.view)) {
        return false;
    }
    return finishSave(out, pictures, path);
}

bool saveStandardFileWithImage(AppState& app, ShellObserver& observer, PictureWriter& pictures,
                               const std::string& path)
{
    if (path.empty()) {
        return false;
    }
    syncColourFlags(app.paletteState.options, app.settings.colourFlags);
    ViewState& view = app.view;
    refreshFromDeep(view, viewContext(app), observer);
    ByteWriter out;
    out.u8(kImageFormat);
    out.u32(view.modeWord);
    out.i32(view.deepZoom);
    out.u32(app.settings.colourFlags);
    out.f64(view.potValue);
    for (const ViewNumber* n : storedNumbers(view)) {
        const std::string text = fitNumberText(n->text, kImageTextField - 1);
        out.bytes(std::as_bytes(std::span(text.data(), text.size())));
        out.zeros(kImageTextField - text.size());
    }
    out.i32(view.iterMax);
    out.f64(view.bailout);
    writePalette(out, app.paletteState.parameters);
    out.i32(app.paletteState.paletteOffset);
    out.i32(view.precisionBits);
    if (!writePictureBlock(out, app.iterations)) {
        return false;
    }
    return finishSave(out, pictures, path);
}

bool saveDeepFileWithImage(AppState& app, PictureWriter& pictures, const std::string& path)
{
    if (path.empty()) {
        return false;
    }
    syncColourFlags(app.paletteState.options, app.settings.colourFlags);
    ByteWriter out;
    writeDeepFixed(out, app);
    if (!writePictureBlock(out, app.iterations) || !writeDeepNumbers(out, app.view)) {
        return false;
    }
    return finishSave(out, pictures, path);
}

bool loadParameterFile(AppState& app, ShellServices& services, const std::string& path)
{
    if (path.empty()) {
        return false;
    }
    std::uint64_t length = 0;
    std::uint8_t version = 0;
    {
        InputFile file(path);
        resetBeforeReading(app);
        if (!file.isOpen()) {
            return refuse(services, Refusal::NotOurs);
        }
        length = file.length();
        if (length <= kLongestOldLayout) {
            const std::optional<OldRow> row = oldRowFor(length);
            if (!row) {
                return refuse(services, Refusal::NotOurs);
            }
            const std::vector<std::byte> bytes = readPrefix(file, length);
            FileFields f;
            if (const Refusal r = readOldLayout(bytes, *row, f); r != Refusal::None) {
                return refuse(services, r);
            }
            applyOldLayout(app, services, f, path);
            return true;
        }
        const std::vector<std::byte> first = readPrefix(file, 1);
        version = first.empty() ? 0 : static_cast<std::uint8_t>(first[0]);
        if (version == kImageFormat) {
            FileFields f;
            if (const Refusal r = readFormat50(file, Format50Parts::Texts, f); r != Refusal::None) {
                return refuse(services, r);
            }
            applyFormat50(app, services, f, path);
            return true;
        }
    }
    if (version == kDeepFormat) {
        return loadDeepFile(app, services, path);
    }
    return refuse(services, Refusal::NotOurs);
}

bool loadDeepFile(AppState& app, ShellServices& services, const std::string& path)
{
    if (path.empty()) {
        return false;
    }
    InputFile file(path);
    if (!file.isOpen()) {
        return refuse(services, Refusal::NotOurs);
    }
    FileFields f;
    if (const Refusal r = readFormat55(file, false, f); r != Refusal::None) {
        return refuse(services, r);
    }
    applyFormat55(app, services, f, path);
    return true;
}

bool loadParameterFileWithImage(AppState& app, ShellServices& services, const std::string& path)
{
    // The picture is not computed: no render time belongs to it.
    app.render.elapsedSeconds = 0.0f;
    if (path.empty()) {
        return false;
    }
    InputFile file(path);
    resetBeforeReading(app);
    if (!file.isOpen()) {
        return refuse(services, Refusal::NotOurs);
    }
    const std::vector<std::byte> first = readPrefix(file, 1);
    if (first.empty()) {
        return refuse(services, Refusal::ShortFile);
    }
    FileFields f;
    if (static_cast<std::uint8_t>(first[0]) == kDeepFormat) {
        if (const Refusal r = readFormat55(file, true, f); r != Refusal::None) {
            return refuse(services, r);
        }
        applyFormat55(app, services, f, path);
        return true;
    }
    if (const Refusal r = readFormat50(file, Format50Parts::TextsPicture, f); r != Refusal::None) {
        return refuse(services, r);
    }
    applyFormat50(app, services, f, path);
    return true;
}

bool readParameterHeader(const std::string& path, ShellState& shell, ParameterHeader& header)
{
    if (path.empty()) {
        return false;
    }
    shell.lastFilePath = path;
    InputFile file(path);
    if (!file.isOpen()) {
        return false;
    }
    const std::uint64_t length = file.length();
    FileFields f;
    if (length <= kLongestOldLayout) {
        const std::optional<OldRow> row = oldRowFor(length);
        if (!row || readOldLayout(readPrefix(file, length), *row, f) != Refusal::None) {
            return false;
        }
        f.deepZoom = 0;
    } else {
        const std::vector<std::byte> first = readPrefix(file, 1);
        const std::uint8_t version = first.empty() ? 0 : static_cast<std::uint8_t>(first[0]);
        if (version == kImageFormat) {
            if (readFormat50(file, Format50Parts::FixedOnly, f) != Refusal::None) {
                return false;
            }
        } else if (version == kDeepFormat) {
            std::vector<std::byte> fixed = readPrefix(file, kDeepFixedBytes);
            ByteReader in(fixed);
            if (readDeepFixed(in, f) != Refusal::None) {
                return false;
            }
        } else {
            return false;
        }
    }
    header.mandelbrot = (f.modeWord & 1u) != 0;
    header.deepZoom = f.deepZoom;
    header.precisionShown = f.deepZoom == 0 ? 80 : f.precisionBits;
    return true;
}

} // namespace qv
