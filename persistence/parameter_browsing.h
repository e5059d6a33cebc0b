// The fractal browser without its window: which files it lists, what each kind shows, the
// picture size it keeps aside while it renders thumbnails, loads that leave the program as it
// was when a file is refused, and where the gallery is.
#pragma once

#include "app/app_state.h"
#include "app/shell_services.h"
#include "persistence/parameter_format.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

inline constexpr std::string_view kParameterFolderTitle = "SELECT PARAMETER FOLDER";
inline constexpr std::string_view kNoParameterFiles = "No parameterfiles found in this folder!";
inline constexpr std::string_view kBrowserTitle = "BROWSE FRACTAL PARAMETER FILES";
inline constexpr std::string_view kInitialInformation = "FRACTAL: \n\nPrecision:";

/// The browser lists no more files than this.
inline constexpr std::size_t kMaxBrowsedFiles = 1000;

/// Whether a file name matches "*.f??": a point, an "f" and exactly two more characters at its
/// end, without regard to case.
bool matchesParameterPattern(std::string_view name);

/// The full paths (folder + "/" + name) of the regular files in `folder` whose names match
/// "*.f??", in case-insensitive name order, the first kMaxBrowsedFiles of them. A folder that
/// cannot be read lists nothing.
std::vector<std::string> listParameterFiles(const std::string& folder);

/// What the browser does with a file, by the last four characters of its path, upper-cased.
enum class BrowsedKind {
    Standard,          ///< ".FRA": rendered at thumbnail size when it has no thumbnail
    Deep,              ///< ".FDZ": only its header is read until "MAKE THUMBNAIL"
    StandardWithImage, ///< ".FPI": loaded and shown from its picture
    DeepWithImage,     ///< ".FPZ"
    Other,             ///< any other "*.f??" name: selected, never read
};

BrowsedKind browsedKindOf(std::string_view path);

/// "FRACTAL TYPE: Mandelbrot" or "FRACTAL TYPE: Julia", an empty line, "Precision: " and the
/// bit count with " bits".
std::string informationText(bool mandelbrot, std::int32_t precisionBits);

/// The thumbnail of a parameter file: its path with ".jpg" appended.
std::string thumbnailPathOf(const std::string& path);

/// A picture size put aside; width 0 when none is.
struct SavedPictureSize
{
    std::int32_t width = 0;
    std::int32_t height = 0;
};

/// Sets the picture size to the thumbnail size. The size in force is put aside first, unless it
/// is the thumbnail size already (a second thumbnail render keeps the size before the first).
void enterThumbnailSize(RenderSettings& settings, SavedPictureSize& saved);

/// "REDRAW": the size put aside (640 x 480 when it was itself 176 wide) when it differs in
/// width from the size in force, which it then becomes; nothing otherwise. The saved size is
/// forgotten either way.
std::optional<SavedPictureSize> restoreSavedSize(RenderSettings& settings, SavedPictureSize& saved);

/// Loads a parameter file (with its picture when `withImage`). A refused file shows the
/// loader's message and leaves everything as it was, the loader's resets and the picture size
/// included. True when the file was loaded.
bool loadBrowsedFile(AppState& app, ShellServices& services, const std::string& path,
                     bool withImage);

/// Loads a standard or deep parameter file at the thumbnail size (enterThumbnailSize). A
/// refused file also leaves the picture size and the size put aside as they were.
bool loadAtThumbnailSize(AppState& app, ShellServices& services, const std::string& path,
                         SavedPictureSize& saved);

/// The header of a parameter file for the information text, without touching lastFilePath;
/// nothing for a file that is not a parameter file.
std::optional<ParameterHeader> browsedHeader(const std::string& path);

/// The folder the folder dialog starts in: programFolder + "gallery". When that folder does not
/// exist, it is made once and filled with the regular files of the first of `installedGalleries`
/// that exists.
std::string galleryFolder(const std::string& programFolder,
                          const std::vector<std::string>& installedGalleries);

/// The galleries installed with the program: "gallery" beside the executable and the shared
/// data folder "../share/quorvalis/gallery" above it.
std::vector<std::string> installedGalleries();

} // namespace qv
