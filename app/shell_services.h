// ShellServices: what the shell's operations ask of the window system and of the person,
// bound once by the program (windows or console) or by a test.
#pragma once

#include "app/app_state.h"
#include "app/shell_observer.h"
#include "base/prompts.h"
#include "palette/palette_generator.h"
#include "palette/palette_host.h"
#include "palette/palette_random.h"

namespace qv {

struct ShellServices
{
    Prompts& prompts;
    ShellObserver& observer;
    PaletteHost& paletteHost;
    PaletteRandom& random;
};

/// The palette's collaborators over the program's records.
inline PaletteContext paletteContext(AppState& app, ShellServices& services)
{
    return PaletteContext{app.palette,     app.paletteState,     app.settings.colourFlags,
                          services.random, services.paletteHost, services.prompts};
}

} // namespace qv
