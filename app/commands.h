// The menu of the menu window (captions, command ids, order), the shell's own messages, and the
// commands that need no window: "Original Mandelbrot" and its main Mandelbrot reset.
#pragma once

#include "app/app_state.h"
#include "app/shell_services.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace qv {

/// The ids the dispatcher tests; menu items carry them.
enum class CommandId : std::int32_t {
    BrowseFractals = 115,
    LoadFractal = 120,
    LoadFractalWithImage = 121,
    SaveFractal = 125,
    SaveFractalWithImage = 126,
    SavePicture = 135,
    Statistics = 110,
    Separator = 140,
    Exit = 145,
    FractalParameters = 165,
    Location = 166,
    PaletteControl = 160,
    JuliaFinder = 156,
    OriginalMandelbrot = 155,
    MakeMovieToDisk = 185,
    RealtimeZoomMovie = 192,
    PlayMovie = 186,
    Info = 175,
    OpenHelpfile = 180,
};

struct MenuItem
{
    std::string_view caption; ///< "-" is a separator line
    CommandId id;
};

struct MenuColumn
{
    std::string_view title;
    std::span<const MenuItem> items;
};

/// The four menus of the menu bar, each with its items, in the order shown.
std::span<const MenuColumn> menuTable();

/// True for the commands this build carries out; the others stay in the menu, disabled.
bool commandAvailable(CommandId id);

inline constexpr std::string_view kProgramTitle = "QUORVALIS";
inline constexpr std::string_view kAlreadyRunning = "Already running";
inline constexpr std::string_view kColourDepthWarning =
    "Quorvalis works best with 24-bit or 32-bit color resolutions!";
inline constexpr std::string_view kColourDepthTitle = "Quorvalis";
inline constexpr std::string_view kQuitQuestion = "Do you want to quit?";
inline constexpr std::string_view kMainMandelbrotQuestion = "Main Mandelbrot?";

/// "Original Mandelbrot": clears the palette options HSL, Inverse, Reverse, Exp 2 and Exp 3,
/// marks the picture stale and asks "Main Mandelbrot?"; OK runs mainMandelbrot. On Cancel the
/// cleared options stay cleared, and a view that needs deep zoom keeps it (rendering it in
/// extended precision would draw the wrong place). Returns the answer.
bool originalMandelbrot(AppState& app, ShellServices& services);

/// The default Mandelbrot set at start values: mode word 5, the default window, iterMax 100,
/// colour flags 4, bailout 100, auto iteration increase on, palette offset 0, the default
/// palette, the shown flags cleared, and a repaint request that renders.
void mainMandelbrot(AppState& app, ShellServices& services);

} // namespace qv
