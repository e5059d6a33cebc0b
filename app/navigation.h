// Mouse navigation over the picture: click zoom, boxed zoom, unzoom and the Julia-constant pick,
// in extended arithmetic or on the GMP numbers by the deep-zoom flag. The window turns its
// mouse events into these calls and draws the band and pointer they ask for.
#pragma once

#include "app/app_state.h"
#include "app/shell_observer.h"

#include <cstdint>

namespace qv {

/// The picture window's pointer state, in client coordinates (0, 0 = top left). Coordinates
/// are signed: a release outside the window (the window keeps the mouse while a button is
/// down) stays on its side of the picture.
struct PointerState
{
    std::int32_t pressX = 0;
    std::int32_t pressY = 0;
    std::int32_t cornerX = 0; ///< opposite corner of the band while dragging
    std::int32_t cornerY = 0;
    std::int32_t releaseX = 0;
    std::int32_t releaseY = 0;
    bool dragging = false;  ///< a box is being dragged (stays set after an empty box)
    bool bandShown = false; ///< the band is on screen
};

enum class PointerShape {
    Unchanged,
    Cross,
    Arrow,
};

/// What a mouse event asks of the window besides the view change, which the handlers carry
/// out themselves (including the repaint request that renders).
struct NavigationResult
{
    PointerShape pointer = PointerShape::Unchanged;
    bool bandChanged = false; ///< the band moved, appeared or disappeared
    bool viewChanged = false; ///< the view changed and a render was requested
};

/// Navigation works once a picture has been completed since the shown flags were last cleared.
bool navigationEnabled(const ShellState& shell);

/// Left button pressed at (x, y): the Julia-constant pick while Julia is chosen but the
/// Mandelbrot picture is still shown, then the start of a box with "Boxed zoom".
NavigationResult leftButtonDown(AppState& app, PointerState& pointer, std::int32_t x,
                                std::int32_t y, ShellObserver& observer);

/// Pointer moved to (x, y): the band follows while a box is dragged.
NavigationResult mouseMove(AppState& app, PointerState& pointer, std::int32_t x, std::int32_t y);

/// Left button released at (x, y): the click zoom, or the box zoom of a dragged box. An empty
/// box (no width or no height) changes nothing.
NavigationResult leftButtonUp(AppState& app, PointerState& pointer, std::int32_t x, std::int32_t y,
                              ShellObserver& observer);

/// Right button pressed: zooms out by two about the centre, only while the picture is complete.
NavigationResult rightButtonDown(AppState& app, ShellObserver& observer);

/// The Julia constant becomes the point under pixel (x, y) of the Mandelbrot window; then the
/// view-change step of the (Julia) current view.
void pickJuliaConstant(AppState& app, std::int32_t x, std::int32_t y, ViewObserver& observer);

/// Halves the current window's width and height about pixel (x, y), then the view-change step.
/// In extended precision the centre and half extents are held as doubles.
void zoomAboutPixel(AppState& app, std::int32_t x, std::int32_t y, ViewObserver& observer);

/// The box of w x h pixels (signed) from pixel (x, y) becomes the window, taken as drawn:
/// negative sizes give a mirrored window. Then the view-change step.
void zoomToBox(AppState& app, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
               ViewObserver& observer);

/// Scales the current window about its centre by `factor` in the view's precision (a deep
/// window keeps every digit), without the view-change step. Returns the half-width before the
/// step, as a double.
double scaleWindowAboutCentre(ViewState& view, float factor);

/// Zooms the current window out about its centre by `factor`, runs the view-change step, marks
/// the picture stale and asks for a repaint, which renders.
void unzoomView(AppState& app, float factor, ShellObserver& observer);

} // namespace qv
