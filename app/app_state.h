// The records the program keeps for its whole run: the view, the settings of the parameters
// dialog, the shell's flags, the per-pixel buffers and the palette.
#pragma once

#include "engine/iteration_buffer.h"
#include "engine/picture_buffer.h"
#include "engine/renderer.h"
#include "engine/view_state.h"
#include "palette/palette.h"
#include "palette/palette_state.h"

#include <cstdint>
#include <string>

namespace qv {

/// The options of the fractal parameters dialog.
struct RenderSettings
{
    std::int32_t pictureWidth = 640;
    std::int32_t pictureHeight = 480;
    std::int32_t pictureSizeIndex = 0; ///< position last chosen in "Pic size:"; 0 = never
    /// bit 0 "Inside color", bit 1 "Smooth color", bit 2 "Color by potential"; bits 4..8 the
    /// palette options.
    std::uint32_t colourFlags = 4;
    std::int32_t autoPotValue = 0;
    std::int32_t autoIterIncrease = 1;
    std::int32_t boxedZoom = 0;
    std::int32_t autosaveParameter = 0;
    std::int32_t unzoomVideo = 0;
    std::int32_t multiThreaded = 0; ///< 1 when more than one processor was found
    std::int32_t threads = 1;       ///< 1 whenever multiThreaded is 0
    float unzoomFactor = 1.02f;
    std::int32_t pictureFormatIndex = 0; ///< 0 JPG, 1 BMP, 2 TIF, 3 PNG
    std::string pictureFormatCode = "JPG";
    std::int32_t textureIndex = 0;
    /// "Fast deep zoom": deep pictures of kernel kinds 1, 3 and 4 by offsets from one reference
    /// orbit, certified against the exact kernel. Not saved with the view (see
    /// parameter_settings.h).
    std::int32_t fastDeepZoom = 0;
    // "Max color step" is kept with the other palette settings (PaletteState::maxColourStep).
};

/// The flags through which the windows, the renderer and the dialogs coordinate. The window
/// handles live with the windows.
struct ShellState
{
    std::int32_t screenWidth = 0;
    std::int32_t screenHeight = 0;
    std::int32_t processorCount = 1;
    std::int32_t quitRequested = 0;
    std::int32_t pictureValid = 0;
    std::int32_t pictureFromImage = 0;
    std::int32_t mandelbrotShown = 0;
    std::int32_t juliaShown = 0;
    std::string currentFileName;
    /// The parameter file last loaded or saved; empty when the picture belongs to no file.
    std::string lastFilePath;
    std::int32_t finderActive = 0;
    std::int32_t animationRunning = 0;
    std::int32_t rendering = 0;
};

/// What the render entry keeps from one render to the next.
struct RenderState
{
    /// Set to 1 when Esc ended a render; the movie code reads it as its cancel flag and clears
    /// it. The render entry itself never clears it.
    std::int32_t stoppedByUser = 0;
    /// Duration of the last render in seconds (whole milliseconds of the clock / 1000).
    float elapsedSeconds = 0.0f;
    /// Set at the end of a deep render; renderView does nothing while it is 1. The window code
    /// clears it.
    std::int32_t renderSuppressed = 0;
    /// Set by start-up: the next render is the first picture of the run. Every render clears
    /// it.
    std::int32_t firstPicture = 0;
    /// The size the drawing surface was last resized to; 0 x 0 before the first resize.
    std::int32_t lastWidth = 0;
    std::int32_t lastHeight = 0;
    /// The renderer of the last render, and how many rows it computed (all of them unless the
    /// render was stopped).
    RendererKind lastRenderer = RendererKind::None;
    std::int32_t rowsComputed = 0;
    /// Pixels that did not escape in the last render, and the distinct colours of the picture
    /// it built; both 0 for a picture loaded from a file. A palette change alters neither.
    std::int64_t insidePixels = 0;
    std::int32_t coloursUsed = 0;
    /// What the fast deep path did in the last render (tried is false when it was not asked).
    FastDeepReport fastDeep;
};

struct AppState
{
    ViewState view;
    RenderSettings settings;
    ShellState shell;
    RenderState render;
    IterationBuffer iterations;
    Palette palette;
    PaletteState paletteState;
    PictureBuffer picture;
};

/// What the view conversions read from the settings and the shell.
inline ViewContext viewContext(const AppState& app)
{
    return ViewContext{app.settings.pictureWidth, app.settings.pictureHeight,
                       app.settings.autoPotValue != 0, app.shell.animationRunning != 0};
}

} // namespace qv
