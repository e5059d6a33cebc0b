// The render entry: what the program does around a render of its current view (the first
// picture's rules, titles, controls, the renderer's choice, the flags of a finished picture,
// dialogs, thumbnail and backup).
#pragma once

#include "app/app_state.h"
#include "app/render_observer.h"
#include "engine/colouring.h"
#include "engine/render_progress.h"
#include "engine/renderer.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

inline constexpr std::string_view kWaitTitle = "QUORVALIS - Please wait. Stop with esc -key";
inline constexpr std::string_view kDeepStartTitle =
    "QUORVALIS - Calculating 0% - STOP WITH ESC-KEY";

/// "QUORVALIS - Calculating " + percentDone in the title form + "% - STOP WITH ESC-KEY".
std::string deepProgressTitle(std::int32_t percentDone);

/// The colour settings of the app's view, settings and palette.
ColourSettings colourSettingsOf(const AppState& app);

/// The renderer renderView picks for the app's current view and settings.
RendererKind chooseRenderer(const AppState& app);

/// Renders the current view. Does nothing while the picture is valid, rendering is suppressed
/// or a render runs, and for a picture without pixels. Otherwise: the first Julia picture
/// starts from the default Julia window (resetCoordinates), the waiting title and iterMax are
/// shown, the picture window is sized, the renderer is chosen and run, and the flags, the
/// controls, the view's other forms, the dialogs, the menu title, a missing thumbnail and the
/// backup follow the new picture. The view-change step must have run after the view or the
/// picture size last changed. While the Julia finder is open it does nothing either: the
/// finder draws its own preview. A threaded render outside an animation that runs longer than
/// progressTitleDelay shows its percentage after the waiting title (ProgressTitle).
void renderView(AppState& app, RenderProgress& progress, RenderObserver& observer,
                const RenderOptions& options = {},
                std::chrono::steady_clock::duration progressTitleDelay = std::chrono::seconds(1));

} // namespace qv
