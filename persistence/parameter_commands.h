// The four menu commands of parameter files, as far as they concern the files: the dialog, the
// load or save, the current file and the menu window's title. The render that follows a load
// and the refresh of the open dialogs are the caller's.
#pragma once

#include "app/app_state.h"
#include "app/shell_services.h"
#include "base/prompts.h"
#include "persistence/picture_writer.h"

#include <string_view>

namespace qv {

inline constexpr std::string_view kParameterFileNotWritten =
    "The parameter file could not be written:\n";

/// "SAVE PARAMETERS" (.fra or .fdz by deep zoom) or "SAVE PARAMETERS & IMAGE" (.fpi or .fpz).
FileDialogRequest saveParametersRequest(bool deepZoom, bool withImage);

/// "LOAD PARAMETERS" (.fdz, .fra) or "LOAD PARAMETER & IMAGE" (.fpz, .fpi).
FileDialogRequest loadParametersRequest(bool withImage);

/// "Load Fractal": asks for a file and loads it; it becomes currentFileName. A cancelled dialog
/// clears currentFileName; a refused file leaves it. True when a file was loaded (a render
/// should follow).
bool loadFractalCommand(AppState& app, ShellServices& services);

/// "Load Fractal with image": asks for a file and loads it with its picture; it becomes
/// currentFileName, the displayed picture is built from the stored values and marked valid
/// (pictureFromImage = 1, no render). A cancelled dialog clears currentFileName.
bool loadFractalWithImageCommand(AppState& app, ShellServices& services);

/// "Save Fractal": asks for a name and saves in the standard or deep form by deepZoom; the
/// name becomes lastFilePath and currentFileName and the menu window's title shows it. A
/// failed write says so and changes no name.
bool saveFractalCommand(AppState& app, ShellServices& services, PictureWriter& pictures);

/// "Save Fractal with image": the same with the picture.
bool saveFractalWithImageCommand(AppState& app, ShellServices& services, PictureWriter& pictures);

} // namespace qv
