// Parameter files and the program's state: saving the four kinds it writes (.fra, .fdz, .fpi,
// .fpz), loading every layout it reads, and the header the browser shows.
#pragma once

#include "app/app_state.h"
#include "app/shell_observer.h"
#include "app/shell_services.h"
#include "persistence/parameter_format.h"
#include "persistence/picture_writer.h"

#include <string>

namespace qv {

// --- Saving. Each writes the whole file (replacing an old one only once the new one is
// complete), then the thumbnail: the path with ".jpg" appended. False when the file could not
// be written; the thumbnail's outcome does not count.

/// Format 43, the extended view numbers. Bits 4..8 of the colour flags are first brought in
/// line with the palette options.
bool saveStandardFile(AppState& app, PictureWriter& pictures, const std::string& path);

/// Format 55, the GMP numbers as 32-bit limbs. The palette options go into the colour flags
/// first, as for the standard files.
bool saveDeepFile(AppState& app, PictureWriter& pictures, const std::string& path);

/// Format 50 with the picture: the palette options go into the colour flags, refreshFromDeep
/// brings the texts up to date, each view number is written as text in a 5000-byte field.
bool saveStandardFileWithImage(AppState& app, ShellObserver& observer, PictureWriter& pictures,
                               const std::string& path);

/// Format 55 with the picture block between the fixed fields and the numbers.
bool saveDeepFileWithImage(AppState& app, PictureWriter& pictures, const std::string& path);

// --- Loading. A file of no known layout is refused with "Not a quorvalis-file!"; a file
// shorter than its layout, an impossible precision or limb count, or a stored picture of
// impossible size is refused with its own message (title "QUORVALIS"). A refused file changes
// nothing beyond the resets made before reading (colour flags, palette options, pot value and
// palette offset to 0). An empty path returns false at once.

/// .fra (format 43), .fdz (format 55 via loadDeepFile), format 50 and the older layouts by
/// their length. Files that carry a picture (.fpi, .fpz) give their view; the picture is not
/// read. The loaded view then waits for a render.
bool loadParameterFile(AppState& app, ShellServices& services, const std::string& path);

/// Format 55 without image (a .fpz is read past its picture).
bool loadDeepFile(AppState& app, ShellServices& services, const std::string& path);

/// .fpz (version byte 55) and .fpi (any other version byte): the view and the stored picture,
/// which replaces the iteration buffer and sets the picture size.
bool loadParameterFileWithImage(AppState& app, ShellServices& services, const std::string& path);

/// As loadParameterFileWithImage, but of the stored picture only its size (checked against
/// the file's length), which becomes the picture size; the picture's values are not read and
/// the view waits for a render. For a program that never shows the stored picture.
bool loadParameterFileWithPictureSize(AppState& app, ShellServices& services,
                                      const std::string& path);

/// Reads the type, deep zoom flag and precision of a parameter file recognised as
/// loadParameterFile recognises it, into `header` only; another file leaves `header` as it was
/// and gives false, without a message. Every call with a path sets lastFilePath to it.
bool readParameterHeader(const std::string& path, ShellState& shell, ParameterHeader& header);

} // namespace qv
