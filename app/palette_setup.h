// The rules behind the "PALETTE SETUP" dialog: its texts, the offset slider's range, GENERATE,
// RANDOM, the recolouring step, the option boxes, the offset, and palette file SAVE and LOAD.
#pragma once

#include "app/app_state.h"
#include "app/shell_services.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

inline constexpr std::string_view kPaletteDialogTitle = "PALETTE SETUP";
inline constexpr std::string_view kRedrawQuestion = "REDRAW REQUIRED!\nDo You Want to Continue?";

/// The texts of the dialog's number fields: the nine parameters (starts, steps, stops, each
/// channel 1..3) and "Max color step".
struct PaletteFields
{
    std::array<std::string, 9> parameters;
    std::string maxColourStep;

    bool operator==(const PaletteFields&) const = default;
};

/// The five option boxes of the dialog.
enum class PaletteOption { Hsl, Inverse, Reverse, Exp2, Exp3 };

/// What the recolouring step did with the picture.
enum class Recolouring {
    Redisplayed, ///< rebuilt from the stored indices
    RenderDue,   ///< marked stale: the caller renders it now
    Declined,    ///< the redraw question was cancelled; the picture is as it was
};

/// "Red", "Green", "Blue", or with HSL "Hue", "Sat.", "Lum.".
std::array<std::string_view, 3> channelNames(bool hsl);

/// A field's text: 7 significant digits, one leading blank when not negative (" 218").
std::string paletteFieldText(float value);

/// The fields showing the current parameters and "Max color step".
PaletteFields paletteFieldsOf(const PaletteState& state);

/// The slider's positions: 1 up to 262143 - iterMax, and never less than 1.
struct OffsetRange
{
    std::int32_t minimum = 1;
    std::int32_t maximum = 1;
};

OffsetRange offsetSliderRange(std::int32_t iterMax);

/// The title after the offset was moved: "PALETTE SETUP  Palette offset: " + offset with its
/// leading blank.
std::string offsetTitle(std::int32_t paletteOffset);

/// GENERATE: reads the fields (text that is no number reads as 0; a "Max color step" of 0
/// becomes 1), generates from the parameters, then recolours the picture.
Recolouring generateFromFields(AppState& app, ShellServices& services, const PaletteFields& fields);

/// The first half of RANDOM: draws and generates a random palette, and returns the fields that
/// show its parameters. The dialog writes them and then runs GENERATE on what it shows.
PaletteFields drawRandomPalette(AppState& app, ShellServices& services);

/// After a new table: without "Smooth color" the picture is rebuilt from the stored indices;
/// with it the picture must be rendered again, in deep zoom only after the redraw question
/// (Cancel preselected) is answered OK.
Recolouring recolourPicture(AppState& app, ShellServices& services);

/// Whether an option box is ticked.
bool paletteOptionOn(const PaletteState& state, PaletteOption option);

/// An option box changed: sets the option (Inverse also bit 5 of the colour flags) and shows
/// the picture again with the existing table.
void setPaletteOption(AppState& app, ShellServices& services, PaletteOption option, bool on);

/// The slider moved to `position`: the offset becomes position - 1 and the picture is shown
/// again.
void setOffsetFromSlider(AppState& app, ShellServices& services, std::int32_t position);

/// SAVE: asks for a palette file name and saves there; a cancelled dialog saves nothing.
void savePaletteCommand(AppState& app, ShellServices& services);

/// LOAD: asks for a palette file and loads it, then shows the picture again. A cancelled
/// dialog loads nothing and keeps the offset. True when a file was chosen (loaded or refused),
/// so that the dialog shows the settings in force.
bool loadPaletteCommand(AppState& app, ShellServices& services);

} // namespace qv
