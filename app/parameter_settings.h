// The fractal parameters dialog without the window system: its lists (picture sizes, formats,
// textures), what each option box and list choice does to the program's records, and how the
// typed numbers are taken when one of its two buttons is pressed.
#pragma once

#include "app/app_state.h"
#include "app/shell_services.h"
#include "app/startup.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qv {

inline constexpr std::string_view kParametersTitle = "Fractal parameters";
inline constexpr std::string_view kSizeChangeQuestion =
    "REDRAW REQUIRED!\nDo You Want to Continue?";
inline constexpr std::string_view kUnzoomWarning =
    "Values less than 1 are not allowed!\nTry between 1.01 and 1.03";
inline constexpr std::string_view kNoMemoryForSize =
    "Not enough memory for this picture size!\nThe picture keeps its size.";

// --- The lists ---

/// The 36 entries of "Pic size:", from 176 x 144 to 8192 x 6140.
std::span<const PictureSize> pictureSizeTable();

/// Entry k of "Pic size:": its key ("0".."9", "A".."Z"), a blank, the width, " x ", the
/// height, each number with one leading blank ("4  640 x  480").
std::string pictureSizeText(std::size_t entry);

/// The entry "Pic size:" shows: the one last chosen, or, when none was chosen (index 0), the
/// entry of the size in force, or entry 4 (640 x 480) when the size is not in the list.
std::int32_t shownPictureSizeEntry(const RenderSettings& settings);

/// "A. JPG", "B. BMP", "C. TIF", "D. PNG".
std::span<const std::string_view> pictureFormatTexts();

/// "Pic format:" entry 0..3 chosen: the format index and its code ("JPG" .. "PNG").
void choosePictureFormat(RenderSettings& settings, std::int32_t entry);

inline constexpr std::int32_t kTextureCount = 28;

/// Entry k of "Texture:": "Normal  0", then "Texture 1" .. "Texture R" (drawing mode k + 1).
std::string textureText(std::int32_t entry);

/// The entry "Texture:" shows: that of the drawing mode in force (0 when none is set).
std::int32_t shownTextureEntry(const ViewState& view);

/// "Texture:" entry k chosen: drawing mode k + 1 with its bailout, "Color by potential",
/// "Smooth color" and "Max color step", the default palette for the new flags unless the
/// palette is a random one, and textureIndex = k. Nothing is rendered.
void chooseTexture(AppState& app, std::int32_t entry, ShellServices& services);

// --- The picture size ---

/// The per-pixel arrays and the picture of one size, allocated together.
struct PictureBuffers
{
    IterationBuffer iterations;
    PictureBuffer picture;
};

/// Zeroed buffers for a picture of `size`; nothing when the memory is not there.
std::optional<PictureBuffers> allocatePictureBuffers(PictureSize size);

using BufferAllocator = std::optional<PictureBuffers> (*)(PictureSize size);

enum class SizeChoice {
    Unchanged, ///< the size in force was chosen again
    Cancelled, ///< the person kept the size in force
    NoMemory,  ///< the buffers of the new size could not be allocated; the size stays
    Changed,   ///< the new size is in force; the picture is stale and must be rendered
};

/// "Pic size:" entry chosen: the entry becomes pictureSizeIndex; for a new size the person is
/// asked "REDRAW REQUIRED!" (Cancel preselected). On OK the new buffers are allocated before
/// the old ones are released, the size is set, the picture window follows, and the
/// view-change step runs for the new size.
SizeChoice choosePictureSize(AppState& app, std::int32_t entry, ShellServices& services,
                             BufferAllocator allocate = allocatePictureBuffers);

// --- The option boxes ---

enum class OptionBox {
    InsideColour,
    ColourByPotential,
    BoxedZoom,
    AutoIterIncrease,
    Mandelbrot,
    Julia,
    SmoothColour,
    AutosaveParameter,
    MultiThreaded, ///< shown only with more than one processor
    DeepZoom,
    AutoPotValue,
    UnzoomVideo,
    FastDeepZoom, ///< deep pictures by perturbation, certified against the exact kernel
};

struct OptionBoxCaption
{
    OptionBox box;
    std::string_view caption;
};

/// The thirteen boxes of the "Options" frame, top to bottom.
std::span<const OptionBoxCaption> optionBoxes();

/// Whether the box shows a tick for the settings in force.
bool optionTicked(const AppState& app, OptionBox box);

/// A click on the box: its setting changes at once (deep zoom may refuse; the type boxes swap
/// Mandelbrot and Julia). Nothing is rendered; "Smooth color" asks the picture window to
/// repaint, which renders only a picture already stale.
void clickOption(AppState& app, OptionBox box, ShellServices& services);

// --- The typed numbers ---

/// The texts of the number fields as typed.
struct TypedFields
{
    std::string iterMax;
    std::string bailout;
    std::string potValue;
    std::string unzoom;
    std::string threads; ///< empty and ignored on a one-processor machine
};

/// The field texts of the values in force: iterMax, bailout (15 digits), potValue (12 digits),
/// the unzoom factor (7 digits) and the thread count.
TypedFields fieldTexts(const AppState& app);

enum class ParametersButton {
    ApplyAndExit, ///< never lowers iterMax; nothing is rendered
    Redraw,       ///< iterMax may fall; the picture becomes stale and is rendered
};

/// Takes the typed numbers as the button does: text that is not a number reads as 0 and then
/// meets the field's lower bound (iterMax 10, bailout 2, threads 1; a pot value of 0 becomes
/// 0.0001); a value outside its type keeps the value in force; the thread count is clamped to
/// 1..processorCount and is 1 without "Multi-threaded"; an unzoom factor below 1 is kept with
/// the warning kUnzoomWarning. The pot value is left alone while "Auto pot value" is on.
void takeTypedFields(AppState& app, const TypedFields& typed, ParametersButton button,
                     Prompts& prompts);

} // namespace qv
