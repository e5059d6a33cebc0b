// Picture files as the core sees them: the writer the savers hand their pictures to, the
// extension rules that choose an encoder, and the save dialog for pictures.
#pragma once

#include "app/app_state.h"
#include "base/prompts.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

/// Thumbnails are always this size; the picture is scaled to it without keeping its aspect.
inline constexpr std::int32_t kThumbnailWidth = 176;
inline constexpr std::int32_t kThumbnailHeight = 144;

/// What a picture save did. Only `failed` counts as a failure: a name whose extension writes
/// nothing is not one, the callers cannot tell it from success.
enum class PictureSaveResult {
    Written,
    NothingWritten, ///< empty path, no dot, an extension outside the list, ".dib", no picture
    Failed,         ///< the encoder was missing or the file could not be written
};

/// Writes pictures of the program's state. The window system implements it with its image
/// codecs; each call chooses the encoder by the path's extension (pictureMimeType).
class PictureWriter
{
public:
    virtual ~PictureWriter() = default;
    /// The whole picture at full size from the iteration buffer: a positive value is looked up
    /// in the palette (plus the offset), any other value is the negated colour, so that 0 is
    /// black. Row 0 of the buffer is the top row.
    virtual PictureSaveResult savePicture(const std::string& path) = 0;
    /// The picture as displayed (the picture buffer) at full size; nothing before the first.
    virtual PictureSaveResult saveDisplayedPicture(const std::string& path) = 0;
    /// The displayed picture scaled to 176 x 144; nothing before the first picture.
    virtual PictureSaveResult saveThumbnail(const std::string& path) = 0;
};

/// The MIME type of the encoder for the path's extension (everything from its last dot,
/// upper-cased, must be one of .DIB .EMF .GIF .JPG .JPEG .PNG .TIF .TIFF .WMF .BMP .ICO):
/// "image/bmp", "image/x-emf", "image/gif", "image/x-icon", "image/jpeg", "image/png",
/// "image/tiff" or "image/x-wmf". Empty, meaning "write nothing", for an empty path, a path
/// without a dot, another extension and ".dib", which has no encoder.
std::string_view pictureMimeType(std::string_view path);

/// JPEG quality: 100, or 75 while "Autosave parameter" is on.
std::int32_t jpegQuality(const RenderSettings& settings);

/// The save dialog for pictures: empty name, current folder, the filter and default extension
/// of the picture format setting ("Picture Files (*.jpg)|*.JPG|" and "JPG" for index 0, then
/// BMP, TIF, PNG).
FileDialogRequest pictureFileRequest(const RenderSettings& settings);

/// Asks for a picture file name; "" when cancelled.
std::string askPictureFileName(Prompts& prompts, const RenderSettings& settings);

inline constexpr std::string_view kPictureNotWritten = "The picture could not be written:\n";
inline constexpr std::string_view kPictureNameWithoutFormat =
    "The picture was not saved: its name does not end in .jpg, .jpeg, .bmp, .png, .tif or "
    ".tiff:\n";
inline constexpr std::string_view kNoPictureYet = "There is no picture to save yet.";

/// "Save Picture" once a name was chosen: writes the picture to `path`; a name that no format
/// takes, a file that could not be written (folder, disk, encoder) or a missing picture says
/// so, and a file already at `path` stays as it was. True when the picture was written.
bool savePictureReporting(PictureWriter& pictures, Prompts& prompts, const std::string& path);

} // namespace qv
