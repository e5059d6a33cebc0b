// The parameter files as bytes: every layout read into one record of checked fields and the
// current layouts written from it, without touching any program state.
#pragma once

#include "base/byte_codec.h"
#include "base/file_io.h"
#include "engine/iteration_buffer.h"
#include "palette/palette_state.h"
#include "persistence/deep_limbs.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

/// Version bytes of the current layouts.
inline constexpr std::uint8_t kStandardFormat = 43; ///< .fra
inline constexpr std::uint8_t kImageFormat = 50; ///< .fpi (and the older format 50 without image)
inline constexpr std::uint8_t kDeepFormat = 55;  ///< .fdz and .fpz

/// Width of the number text fields this program writes into .fpi files: texts of up to 4999
/// characters and their zero byte. Files with the older 500-byte fields are read as well.
inline constexpr std::size_t kImageTextField = 5000;

/// Pictures stored in with-image files are 1..kMaxStoredSide pixels in each direction.
inline constexpr std::int32_t kMaxStoredSide = 16384;

inline constexpr std::string_view kNotParameterFile = "Not a quorvalis-file!";
inline constexpr std::string_view kShortParameterFile =
    "The parameter file is incomplete: it is shorter than its layout.";
inline constexpr std::string_view kBadPrecision =
    "The parameter file's precision is out of range (96 to 1048576 bits).";
inline constexpr std::string_view kBadLimbCount =
    "The parameter file holds a number with more digits than its precision allows.";
inline constexpr std::string_view kBadPictureSize =
    "The picture in the parameter file has a size out of range (1 to 16384 pixels each way).";
inline constexpr std::string_view kPictureTooLarge =
    "The picture in the parameter file is too large to be held in memory.";

/// Why a file was not read.
enum class Refusal {
    None,          ///< read and checked
    NotOurs,       ///< no known layout, or the file cannot be opened
    ShortFile,     ///< shorter than its layout
    Precision,     ///< precisionBits outside 96..1048576
    Limbs,         ///< a number with more limbs than its precision holds
    PictureSize,   ///< a stored picture side outside 1..kMaxStoredSide
    PictureMemory, ///< a stored picture larger than the machine can hold
};

/// The message shown for a refusal ("Not a quorvalis-file!" for NotOurs and None).
std::string_view messageFor(Refusal refusal);

/// The rows of old layouts, recognised by the file length; format 43 is the last row.
enum class OldRow {
    ModeByte,  ///< 75, 95, 111, 131: the low byte of the mode word, palette as integers if any
    ModeWord,  ///< 115, 135: version, mode word, palette as integers
    Flags,     ///< 119, 139: version, mode word, colour flags
    Potential, ///< 129, 149, 133, 153: as format 43, the offset only with version 43
};

/// The old row of a file of `length` bytes; nothing for lengths of no old layout.
std::optional<OldRow> oldRowFor(std::uint64_t length);

/// Which family of layouts a file was read as.
enum class FileLayout {
    Old,      ///< the layouts told apart by length, format 43 among them: extended numbers
    Format50, ///< number texts in fixed-width fields, a picture perhaps
    Format55, ///< GMP numbers as 32-bit limbs, a picture perhaps
};

/// Everything a parameter file holds, as read and checked, before any of it is applied.
struct FileFields
{
    FileLayout layout = FileLayout::Old;
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
    /// The stored picture's size, whenever a picture block was read (its values too or not).
    std::int32_t pictureWidth = 0;
    std::int32_t pictureHeight = 0;
    std::optional<OldRow> oldRow;
};

/// The numbers a file stores for a mode word: 6 for a Mandelbrot view (bit 0 set), else 8.
std::size_t storedNumberCount(std::uint32_t modeWord);

/// What a reading looks for in a file.
enum class ReadMode {
    /// The view of any file: the old layouts by their length, format 50 without its picture,
    /// format 55 past its picture. Any other version byte is not ours.
    View,
    /// The view and the stored picture: format 55 by its version byte, format 50 for any other.
    WithPicture,
    /// As WithPicture, but of the picture only its size, checked against the file's length:
    /// the values are skipped unread.
    WithPictureSize,
    /// Format 55 only, read past a picture it may hold.
    Deep,
    /// What the browser shows: the fixed fields of the layouts View reads, without texts,
    /// numbers, picture or the checks of format 55.
    Header,
};

/// Reads and checks a whole file in the given mode. The fields are complete only when None
/// is returned; a file that cannot be opened is NotOurs.
Refusal readParameterFields(InputFile& file, ReadMode mode, FileFields& fields);

/// The same for the file at `path`.
Refusal readParameterFields(const std::string& path, ReadMode mode, FileFields& fields);

/// What the browser shows of a parameter file.
struct ParameterHeader
{
    bool mandelbrot = true;           ///< bit 0 of the stored mode word
    std::int32_t deepZoom = 0;        ///< as stored; 0 for the older layouts
    std::int32_t precisionShown = 80; ///< 80 without deep zoom, else the stored precisionBits
};

/// The header of fields read in any mode.
ParameterHeader headerOf(const FileFields& fields);

// --- Writing. Each writer writes its layout's own version byte, whatever fields.version says,
// the numbers of its layout as given (storedNumberCount(modeWord) of them, in file order) and a
// missing palette as zeros.

/// Format 43 (.fra): potValue and bailout as extended numbers, the extended view numbers.
void writeStandardFile(ByteWriter& out, const FileFields& fields);

/// Format 55 (.fdz): the fixed fields, then a 16-byte header per number and the limbs.
void writeDeepFile(ByteWriter& out, const FileFields& fields);

/// Format 50 with the picture (.fpi): each text in a kImageTextField-byte field (a longer
/// text loses mantissa digits, never its exponent). False when the picture's size is out of
/// range or its arrays are too short; `out` then holds part of a file.
bool writeStandardFileWithImage(ByteWriter& out, const FileFields& fields,
                                const IterationBuffer& picture);

/// Format 55 with the picture block between the fixed fields and the numbers (.fpz). False as
/// for writeStandardFileWithImage.
bool writeDeepFileWithImage(ByteWriter& out, const FileFields& fields,
                            const IterationBuffer& picture);

} // namespace qv
