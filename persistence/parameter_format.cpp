// Reading every parameter-file layout into FileFields and writing the current ones. A file is
// read whole and checked against its layout here, so that whatever applies the fields gets a
// complete record or a refusal, never half a file.
#include "persistence/parameter_format.h"

#include "engine/view_state.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <span>
#include <stdexcept>
#include <unistd.h>

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
/// iterMax, bailout, palette, offset and precisionBits: after format 50's texts, and after
/// format 55's lead.
constexpr std::uint64_t kTrailBytes = 56;
/// Format 55 up to and including precisionBits.
constexpr std::uint64_t kDeepFixedBytes = kLeadBytes + kTrailBytes;
constexpr std::uint64_t kDeepHeaderBytes = 16;
/// Picture block: width and height before the values.
constexpr std::uint64_t kPictureSizeBytes = 8;
constexpr std::size_t kPaletteBytes = 36;

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

/// The absolute value of a stored limb count, which may be any 32-bit value.
std::uint64_t limbsOf(std::int32_t size)
{
    return static_cast<std::uint64_t>(std::llabs(static_cast<std::int64_t>(size)));
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

// --- Reading whole files ---

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

/// The first byte, or nothing when the file is empty or cannot be read.
std::optional<std::uint8_t> versionByte(InputFile& file)
{
    const std::vector<std::byte> first = readPrefix(file, 1);
    if (first.empty()) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(first[0]);
}

Refusal checkPrecision(std::int32_t bits)
{
    return bits >= kMinPrecisionBits && bits <= kMaxPrecisionBits ? Refusal::None
                                                                  : Refusal::Precision;
}

// --- The old layouts ---

/// Mode word, and in the later rows version, colour flags and pot value.
void readOldHead(ByteReader& in, OldRow row, FileFields& f)
{
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
}

/// The palette: integers in the first two rows and in the third with version 30, floats
/// otherwise. Only the 111- and 131-byte files of the first row have room for one.
bool readOldPalette(ByteReader& in, OldRow row, FileFields& f)
{
    if (row == OldRow::ModeByte && in.remaining() < kPaletteBytes) {
        return true;
    }
    const bool asIntegers = row == OldRow::ModeByte || row == OldRow::ModeWord ||
                            (row == OldRow::Flags && f.version == kIntegerPaletteVersion);
    PaletteParameters palette;
    if (!readPalette(in, asIntegers, palette)) {
        return false;
    }
    f.palette = palette;
    return true;
}

Refusal readOldLayout(std::span<const std::byte> bytes, OldRow row, FileFields& f)
{
    ByteReader in(bytes);
    f.layout = FileLayout::Old;
    f.oldRow = row;
    readOldHead(in, row, f);
    f.extended.assign(storedNumberCount(f.modeWord), 0.0L);
    for (long double& v : f.extended) {
        in.ext80(v);
    }
    in.i32(f.iterMax);
    long double bailout = 0.0L;
    in.ext80(bailout);
    f.bailout = toDouble(bailout);
    if (!in.ok() || !readOldPalette(in, row, f)) {
        return Refusal::ShortFile;
    }
    // The offset came with format 43; a 129- or 149-byte file has no room for it.
    if (row == OldRow::Potential && f.version == kStandardFormat && in.remaining() >= 4) {
        in.i32(f.paletteOffset);
    }
    if ((row == OldRow::ModeByte || row == OldRow::ModeWord) &&
        (f.modeWord & kOldInsideColourBit) != 0) {
        f.modeWord &= ~kOldInsideColourBit;
        f.colourFlags |= kInsideColourFlag;
    }
    return Refusal::None;
}

// --- The fields format 50 and 55 share ---

bool readLead(ByteReader& in, FileFields& f)
{
    in.u8(f.version);
    in.u32(f.modeWord);
    in.i32(f.deepZoom);
    in.u32(f.colourFlags);
    in.f64(f.potValue);
    return in.ok();
}

bool readTrail(ByteReader& in, FileFields& f)
{
    in.i32(f.iterMax);
    in.f64(f.bailout);
    PaletteParameters palette;
    readPalette(in, false, palette);
    f.palette = palette;
    in.i32(f.paletteOffset);
    in.i32(f.precisionBits);
    return in.ok();
}

void writeLead(ByteWriter& out, std::uint8_t version, const FileFields& f)
{
    out.u8(version);
    out.u32(f.modeWord);
    out.i32(f.deepZoom);
    out.u32(f.colourFlags);
    out.f64(f.potValue);
}

void writeTrail(ByteWriter& out, const FileFields& f)
{
    out.i32(f.iterMax);
    out.f64(f.bailout);
    writePalette(out, f.palette.value_or(PaletteParameters{}));
    out.i32(f.paletteOffset);
    out.i32(f.precisionBits);
}

// --- Picture blocks ---

/// The width and height before a picture's values.
struct StoredSize
{
    std::int32_t width = 0;
    std::int32_t height = 0;

    bool inRange() const
    {
        return width >= 1 && width <= kMaxStoredSide && height >= 1 && height <= kMaxStoredSide;
    }

    /// The bytes of the values that follow: (width + 2) x (height + 2) 32-bit counts.
    std::uint64_t valueBytes() const
    {
        return 4 * static_cast<std::uint64_t>(IterationBuffer::storedSize(width, height));
    }
};

/// The picture size stored at `offset`; nothing when the file ends first.
std::optional<StoredSize> readStoredSize(InputFile& file, std::uint64_t offset)
{
    const std::vector<std::byte> bytes = readAt(file, offset, kPictureSizeBytes);
    if (bytes.empty()) {
        return std::nullopt;
    }
    return StoredSize{static_cast<std::int32_t>(loadU32(bytes.data())),
                      static_cast<std::int32_t>(loadU32(bytes.data() + 4))};
}

/// Counts, escape values A and B of a picture: refuse what the machine cannot hold at all.
bool fitsMemory(std::uint64_t valueBytes)
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    return pages <= 0 || pageSize <= 0 ||
           3 * valueBytes <=
               static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

/// Reads the picture values (the file positioned after W and H) into `counts`.
bool readCounts(InputFile& file, std::vector<std::int32_t>& counts)
{
    std::vector<std::byte> chunk(64 * 1024);
    std::size_t next = 0;
    while (next < counts.size()) {
        const std::size_t n = std::min(chunk.size() / 4, counts.size() - next);
        if (!file.read(std::span(chunk.data(), 4 * n))) {
            return false;
        }
        for (std::size_t i = 0; i < n; ++i) {
            counts[next + i] = static_cast<std::int32_t>(loadU32(chunk.data() + 4 * i));
        }
        next += n;
    }
    return true;
}

/// How much of a stored picture a reading takes.
enum class PictureRead {
    None,
    Size,   ///< width and height, checked against the file's length; the values skipped
    Values, ///< the whole picture into a new buffer
};

/// Reads the picture block at `offset`: its size into the fields, and its values into a new
/// buffer when `read` asks for them, leaving the file after the block.
Refusal readPicture(InputFile& file, std::uint64_t offset, PictureRead read, FileFields& f)
{
    std::optional<IterationBuffer>& picture = f.picture;
    const std::optional<StoredSize> size = readStoredSize(file, offset);
    if (!size) {
        return Refusal::ShortFile;
    }
    if (!size->inRange()) {
        return Refusal::PictureSize;
    }
    if (size->valueBytes() > file.length() - std::min(file.position(), file.length())) {
        return Refusal::ShortFile;
    }
    f.pictureWidth = size->width;
    f.pictureHeight = size->height;
    if (read != PictureRead::Values) {
        return file.skip(size->valueBytes()) ? Refusal::None : Refusal::ShortFile;
    }
    if (!fitsMemory(size->valueBytes())) {
        return Refusal::PictureMemory;
    }
    try {
        picture.emplace();
        picture->allocate(size->width, size->height);
    } catch (const std::bad_alloc&) {
        picture.reset();
        return Refusal::PictureMemory;
    } catch (const std::length_error&) {
        picture.reset();
        return Refusal::PictureMemory;
    }
    if (!readCounts(file, picture->counts)) {
        picture.reset();
        return Refusal::ShortFile;
    }
    // The values after the first width x height have no meaning.
    const auto used = static_cast<std::ptrdiff_t>(size->width) * size->height;
    std::fill(picture->counts.begin() + used, picture->counts.end(), 0);
    return Refusal::None;
}

bool writePictureBlock(ByteWriter& out, const IterationBuffer& picture)
{
    const StoredSize size{picture.width, picture.height};
    const std::size_t stored = IterationBuffer::storedSize(size.width, size.height);
    if (!size.inRange() || picture.counts.size() < stored) {
        return false;
    }
    out.i32(size.width);
    out.i32(size.height);
    const std::size_t used =
        static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height);
    out.reserveMore(4 * stored);
    for (std::size_t i = 0; i < used; ++i) {
        out.i32(picture.counts[i]);
    }
    out.zeros(4 * (stored - used));
    return true;
}

// --- Format 50 ---

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
        const std::optional<StoredSize> size = readStoredSize(file, at);
        c.headerFits = size.has_value();
        c.sizeInRange = size && size->inRange();
        if (c.sizeInRange) {
            c.total = at + kPictureSizeBytes + size->valueBytes();
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

/// What of a format-50 file is read besides its fixed fields.
enum class Format50Parts {
    FixedOnly,        ///< the header: no texts, no picture
    Texts,            ///< the view without the picture
    TextsPicture,     ///< the view and the picture it must have
    TextsPictureSize, ///< the view and the size of the picture it must have
};

/// The `count` text fields of `width` bytes after the lead; each text ends at its first zero.
Refusal readTexts(InputFile& file, std::size_t count, std::size_t width, FileFields& f)
{
    const std::vector<std::byte> fields =
        readAt(file, kLeadBytes, static_cast<std::uint64_t>(width) * count);
    if (fields.empty()) {
        return Refusal::ShortFile;
    }
    f.textWidth = width;
    f.texts.resize(count);
    for (std::size_t k = 0; k < count; ++k) {
        const auto* chars = reinterpret_cast<const char*>(fields.data() + k * width);
        f.texts[k].assign(chars, std::find(chars, chars + width, '\0'));
    }
    return Refusal::None;
}

/// Format 50 up to precisionBits, and the picture when asked for.
Refusal readFormat50(InputFile& file, Format50Parts parts, FileFields& f)
{
    f.layout = FileLayout::Format50;
    const std::vector<std::byte> lead = readAt(file, 0, kLeadBytes);
    ByteReader in(lead);
    if (!readLead(in, f)) {
        return Refusal::ShortFile;
    }
    const std::size_t count = storedNumberCount(f.modeWord);
    Format50Layout layout;
    const bool wantPicture =
        parts == Format50Parts::TextsPicture || parts == Format50Parts::TextsPictureSize;
    if (const Refusal r = format50Layout(file, count, wantPicture, layout); r != Refusal::None) {
        return r;
    }
    if (parts != Format50Parts::FixedOnly) {
        if (const Refusal r = readTexts(file, count, layout.textWidth, f); r != Refusal::None) {
            return r;
        }
    }
    const std::uint64_t trailAt = kLeadBytes + static_cast<std::uint64_t>(layout.textWidth) * count;
    const std::vector<std::byte> trail = readAt(file, trailAt, kTrailBytes);
    ByteReader rest(trail);
    if (!readTrail(rest, f)) {
        return Refusal::ShortFile;
    }
    if (f.deepZoom == 1) {
        if (const Refusal r = checkPrecision(f.precisionBits); r != Refusal::None) {
            return r;
        }
    }
    if (!layout.picture || !wantPicture) {
        return Refusal::None;
    }
    return readPicture(
        file, trailAt + kTrailBytes,
        parts == Format50Parts::TextsPicture ? PictureRead::Values : PictureRead::Size, f);
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

// --- Format 55 ---

/// Format 55 up to precisionBits, unchecked.
Refusal readDeepFixed(InputFile& file, FileFields& f)
{
    f.layout = FileLayout::Format55;
    const std::vector<std::byte> fixed = readAt(file, 0, kDeepFixedBytes);
    ByteReader in(fixed);
    return readLead(in, f) && readTrail(in, f) ? Refusal::None : Refusal::ShortFile;
}

/// The precision, size and exponent of the number header at `h`.
DeepNumberImage numberHeaderAt(const std::byte* h)
{
    DeepNumberImage n;
    n.precisionLimbs = static_cast<std::int32_t>(loadU32(h));
    n.size = static_cast<std::int32_t>(loadU32(h + 4));
    n.exponent = static_cast<std::int32_t>(loadU32(h + 8));
    return n;
}

/// Where the number headers of a format-55 file start when the file is exactly the with-image
/// layout (a .fpz given to the plain loader); nothing otherwise.
std::optional<std::uint64_t> headersAfterPicture(InputFile& file, std::size_t count)
{
    const std::optional<StoredSize> size = readStoredSize(file, kDeepFixedBytes);
    if (!size || !size->inRange()) {
        return std::nullopt;
    }
    const std::uint64_t at = kDeepFixedBytes + kPictureSizeBytes + size->valueBytes();
    const std::vector<std::byte> headers = readAt(file, at, count * kDeepHeaderBytes);
    if (headers.empty()) {
        return std::nullopt;
    }
    std::uint64_t limbs = 0;
    for (std::size_t i = 0; i < count; ++i) {
        limbs += limbsOf(numberHeaderAt(headers.data() + i * kDeepHeaderBytes).size);
    }
    if (at + count * kDeepHeaderBytes + 4 * limbs != file.length()) {
        return std::nullopt;
    }
    return at;
}

/// The number headers and limbs from the file's position on.
Refusal readDeepNumbers(InputFile& file, std::size_t count, FileFields& f)
{
    std::vector<std::byte> headers(count * kDeepHeaderBytes);
    if (!file.read(headers)) {
        return Refusal::ShortFile;
    }
    f.deep.resize(count);
    std::uint64_t limbs = 0;
    for (std::size_t i = 0; i < count; ++i) {
        DeepNumberImage& n = f.deep[i];
        n = numberHeaderAt(headers.data() + i * kDeepHeaderBytes);
        if (!fitsPrecision(n.size, n.precisionLimbs, f.precisionBits)) {
            return Refusal::Limbs;
        }
        limbs += limbsOf(n.size);
    }
    if (4 * limbs > file.length() - file.position()) {
        return Refusal::ShortFile;
    }
    for (DeepNumberImage& n : f.deep) {
        const auto count32 = static_cast<std::size_t>(limbsOf(n.size));
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

Refusal readFormat55(InputFile& file, PictureRead picture, FileFields& f)
{
    if (const Refusal r = readDeepFixed(file, f); r != Refusal::None) {
        return r;
    }
    if (f.version != kDeepFormat) {
        return Refusal::NotOurs;
    }
    if (const Refusal r = checkPrecision(f.precisionBits); r != Refusal::None) {
        return r;
    }
    const std::size_t count = storedNumberCount(f.modeWord);
    if (picture != PictureRead::None) {
        if (const Refusal r = readPicture(file, kDeepFixedBytes, picture, f); r != Refusal::None) {
            return r;
        }
    } else if (!file.seek(headersAfterPicture(file, count).value_or(kDeepFixedBytes))) {
        // A file with a picture read without it: its numbers follow the picture.
        return Refusal::ShortFile;
    }
    return readDeepNumbers(file, count, f);
}

void writeDeepNumbers(ByteWriter& out, const std::vector<DeepNumberImage>& numbers)
{
    for (const DeepNumberImage& n : numbers) {
        out.i32(n.precisionLimbs);
        out.i32(n.size);
        out.i32(n.exponent);
        out.i32(0);
    }
    for (const DeepNumberImage& n : numbers) {
        for (const std::uint32_t limb : n.limbs) {
            out.u32(limb);
        }
    }
}

// --- The reading modes ---

/// View and Header: the old layouts by their length, the others by their version byte.
Refusal readByLengthOrVersion(InputFile& file, bool headerOnly, FileFields& f)
{
    const std::uint64_t length = file.length();
    if (length <= kLongestOldLayout) {
        const std::optional<OldRow> row = oldRowFor(length);
        if (!row) {
            return Refusal::NotOurs;
        }
        return readOldLayout(readPrefix(file, length), *row, f);
    }
    switch (versionByte(file).value_or(0)) {
    case kImageFormat:
        return readFormat50(file, headerOnly ? Format50Parts::FixedOnly : Format50Parts::Texts, f);
    case kDeepFormat:
        return headerOnly ? readDeepFixed(file, f) : readFormat55(file, PictureRead::None, f);
    default:
        return Refusal::NotOurs;
    }
}

Refusal readWithPicture(InputFile& file, PictureRead picture, FileFields& f)
{
    const std::optional<std::uint8_t> version = versionByte(file);
    if (!version) {
        return Refusal::ShortFile;
    }
    if (*version == kDeepFormat) {
        return readFormat55(file, picture, f);
    }
    return readFormat50(file,
                        picture == PictureRead::Values ? Format50Parts::TextsPicture
                                                       : Format50Parts::TextsPictureSize,
                        f);
}

} // namespace

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

std::size_t storedNumberCount(std::uint32_t modeWord)
{
    return (modeWord & 1u) != 0 ? MandelbrotNumbers::kStored : JuliaNumbers::kStored;
}

Refusal readParameterFields(InputFile& file, ReadMode mode, FileFields& fields)
{
    if (!file.isOpen()) {
        return Refusal::NotOurs;
    }
    switch (mode) {
    case ReadMode::View:
        return readByLengthOrVersion(file, false, fields);
    case ReadMode::WithPicture:
        return readWithPicture(file, PictureRead::Values, fields);
    case ReadMode::WithPictureSize:
        return readWithPicture(file, PictureRead::Size, fields);
    case ReadMode::Deep:
        return readFormat55(file, PictureRead::None, fields);
    case ReadMode::Header:
        return readByLengthOrVersion(file, true, fields);
    }
    return Refusal::NotOurs;
}

Refusal readParameterFields(const std::string& path, ReadMode mode, FileFields& fields)
{
    InputFile file(path);
    return readParameterFields(file, mode, fields);
}

ParameterHeader headerOf(const FileFields& fields)
{
    ParameterHeader header;
    header.mandelbrot = (fields.modeWord & 1u) != 0;
    header.deepZoom = fields.deepZoom;
    header.precisionShown = fields.deepZoom == 0 ? 80 : fields.precisionBits;
    return header;
}

void writeStandardFile(ByteWriter& out, const FileFields& fields)
{
    out.u8(kStandardFormat);
    out.u32(fields.modeWord);
    out.u32(fields.colourFlags);
    out.ext80(static_cast<long double>(fields.potValue));
    for (const long double v : fields.extended) {
        out.ext80(v);
    }
    out.i32(fields.iterMax);
    out.ext80(static_cast<long double>(fields.bailout));
    writePalette(out, fields.palette.value_or(PaletteParameters{}));
    out.i32(fields.paletteOffset);
}

void writeDeepFile(ByteWriter& out, const FileFields& fields)
{
    writeLead(out, kDeepFormat, fields);
    writeTrail(out, fields);
    writeDeepNumbers(out, fields.deep);
}

bool writeStandardFileWithImage(ByteWriter& out, const FileFields& fields,
                                const IterationBuffer& picture)
{
    writeLead(out, kImageFormat, fields);
    for (const std::string& stored : fields.texts) {
        const std::string text = fitNumberText(stored, kImageTextField - 1);
        out.bytes(std::as_bytes(std::span(text.data(), text.size())));
        out.zeros(kImageTextField - text.size());
    }
    writeTrail(out, fields);
    return writePictureBlock(out, picture);
}

bool writeDeepFileWithImage(ByteWriter& out, const FileFields& fields,
                            const IterationBuffer& picture)
{
    writeLead(out, kDeepFormat, fields);
    writeTrail(out, fields);
    if (!writePictureBlock(out, picture)) {
        return false;
    }
    writeDeepNumbers(out, fields.deep);
    return true;
}

} // namespace qv
