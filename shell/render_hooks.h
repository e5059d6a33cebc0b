// What the windows do for the renderer at the end of a picture that needs the files: the
// backup copy with "Autosave parameter".
#pragma once

#include "persistence/picture_writer.h"
#include "shell/app_state.h"

#include <string>

namespace qv {

/// The backup copy of the picture just finished: a deep parameter file after a deep render,
/// a standard one otherwise, into the backup folder beside the program.
void makeRenderBackup(AppState& app, PictureWriter& pictures, bool deepForm);

/// The folder those backups go to, with a trailing "/".
std::string renderBackupFolder();

} // namespace qv
