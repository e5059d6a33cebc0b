// Backup copies: every finished picture of a view that belongs to no parameter file is saved
// into the backup folder beside the program, named by the date and time.
#pragma once

#include "app/app_state.h"
#include "app/backup_form.h"
#include "persistence/picture_writer.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

/// A local date and time, to the second.
struct LocalTime
{
    std::int32_t year = 0;
    std::int32_t month = 0; ///< 1..12
    std::int32_t day = 0;   ///< 1..31
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t second = 0;
};

/// The local clock now.
LocalTime localTimeNow();

/// Month, day, four-digit year, hours, minutes and seconds as fourteen digits, then ".fra" or
/// ".fdz": "12062026201530.fra" for 6 December 2026, 20:15:30.
std::string backupFileName(const LocalTime& time, BackupForm form);

/// The folder of the program's executable with a trailing "/", or, when that folder cannot be
/// written or the program is installed (a "../share/quorvalis" folder beside it), the per-user
/// data folder: $XDG_DATA_HOME/quorvalis/ or $HOME/.local/share/quorvalis/.
std::string programFolder();

/// programFolder's choice for a given executable path and environment values (empty when
/// unset).
std::string programFolderFor(std::string_view executablePath, std::string_view xdgDataHome,
                             std::string_view home);

/// With no parameter file behind the picture (lastFilePath empty): saves the parameters into
/// folder + "backup/" under backupFileName (creating the folder), which also writes the 176 x
/// 144 thumbnail; a picture less than 650 pixels wide then replaces the thumbnail with the
/// full picture. Otherwise writes the full picture beside lastFilePath + ".jpg" when that file
/// does not exist yet. Nothing is reported; no name and no title changes.
void makeBackup(AppState& app, PictureWriter& pictures, BackupForm form, const std::string& folder,
                const LocalTime& now);

/// makeBackup into programFolder() at the local time now.
void makeBackup(AppState& app, PictureWriter& pictures, BackupForm form);

} // namespace qv
