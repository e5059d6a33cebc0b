// The fractal browser's listing, kinds, texts, thumbnail size, guarded loads and gallery.
#include "persistence/parameter_browsing.h"

#include "persistence/parameter_files.h"
#include "persistence/picture_writer.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace qv {

namespace {

char upper(char c)
{
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

std::string upperCased(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), upper);
    return result;
}

bool lessIgnoringCase(const std::string& a, const std::string& b)
{
    const std::string ua = upperCased(a);
    const std::string ub = upperCased(b);
    // Names equal but for case keep one order from run to run.
    return ua != ub ? ua < ub : a < b;
}

std::string withSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

/// The fields the loaders reset before they read, which a refused file would otherwise keep.
struct LoaderResets
{
    std::uint32_t colourFlags;
    PaletteOptions options;
    double potValue;
    std::int32_t paletteOffset;
    float elapsedSeconds;
};

LoaderResets keepLoaderResets(const AppState& app)
{
    return {app.settings.colourFlags, app.paletteState.options, app.view.potValue,
            app.paletteState.paletteOffset, app.render.elapsedSeconds};
}

void restoreLoaderResets(AppState& app, const LoaderResets& kept)
{
    app.settings.colourFlags = kept.colourFlags;
    app.paletteState.options = kept.options;
    app.view.potValue = kept.potValue;
    app.paletteState.paletteOffset = kept.paletteOffset;
    app.render.elapsedSeconds = kept.elapsedSeconds;
}

} // namespace

bool matchesParameterPattern(std::string_view name)
{
    if (name.size() < 4) {
        return false;
    }
    const std::string_view end = name.substr(name.size() - 4);
    return end[0] == '.' && upper(end[1]) == 'F';
}

std::vector<std::string> listParameterFiles(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    std::filesystem::directory_iterator entries(folder, error);
    if (error) {
        return {};
    }
    for (const std::filesystem::directory_entry& entry : entries) {
        std::error_code kindError;
        const std::string name = entry.path().filename().string();
        if (matchesParameterPattern(name) && entry.is_regular_file(kindError)) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end(), lessIgnoringCase);
    if (names.size() > kMaxBrowsedFiles) {
        names.resize(kMaxBrowsedFiles);
    }
    const std::string prefix = withSlash(folder);
    for (std::string& name : names) {
        name.insert(0, prefix);
    }
    return names;
}

BrowsedKind browsedKindOf(std::string_view path)
{
    const std::string end = upperCased(path.size() < 4 ? path : path.substr(path.size() - 4));
    if (end == ".FRA") {
        return BrowsedKind::Standard;
    }
    if (end == ".FDZ") {
        return BrowsedKind::Deep;
    }
    if (end == ".FPI") {
        return BrowsedKind::StandardWithImage;
    }
    if (end == ".FPZ") {
        return BrowsedKind::DeepWithImage;
    }
    return BrowsedKind::Other;
}

std::string informationText(bool mandelbrot, std::int32_t precisionBits)
{
    return std::string("FRACTAL TYPE: ") + (mandelbrot ? "Mandelbrot" : "Julia") +
           "\n\nPrecision: " + std::to_string(precisionBits) + " bits";
}

std::string thumbnailPathOf(const std::string& path)
{
    return path + ".jpg";
}

void enterThumbnailSize(RenderSettings& settings, SavedPictureSize& saved)
{
    if (settings.pictureWidth != kThumbnailWidth || settings.pictureHeight != kThumbnailHeight) {
        saved = {settings.pictureWidth, settings.pictureHeight};
    }
    settings.pictureWidth = kThumbnailWidth;
    settings.pictureHeight = kThumbnailHeight;
}

std::optional<SavedPictureSize> restoreSavedSize(RenderSettings& settings, SavedPictureSize& saved)
{
    SavedPictureSize size = std::exchange(saved, SavedPictureSize{});
    if (size.width == kThumbnailWidth) {
        size = {640, 480};
    }
    if (size.width == 0 || size.width == settings.pictureWidth) {
        return std::nullopt;
    }
    settings.pictureWidth = size.width;
    settings.pictureHeight = size.height;
    return size;
}

bool loadBrowsedFile(AppState& app, ShellServices& services, const std::string& path,
                     bool withImage)
{
    const LoaderResets kept = keepLoaderResets(app);
    const bool loaded = withImage ? loadParameterFileWithImage(app, services, path)
                                  : loadParameterFile(app, services, path);
    if (!loaded) {
        restoreLoaderResets(app, kept);
    }
    return loaded;
}

bool loadAtThumbnailSize(AppState& app, ShellServices& services, const std::string& path,
                         SavedPictureSize& saved)
{
    const SavedPictureSize savedBefore = saved;
    const std::int32_t width = app.settings.pictureWidth;
    const std::int32_t height = app.settings.pictureHeight;
    // The loader settles the view for the picture size, so the size changes first.
    enterThumbnailSize(app.settings, saved);
    if (loadBrowsedFile(app, services, path, false)) {
        return true;
    }
    saved = savedBefore;
    app.settings.pictureWidth = width;
    app.settings.pictureHeight = height;
    return false;
}

std::optional<ParameterHeader> browsedHeader(const std::string& path)
{
    ShellState scratch;
    ParameterHeader header;
    if (!readParameterHeader(path, scratch, header)) {
        return std::nullopt;
    }
    return header;
}

std::string galleryFolder(const std::string& programFolder,
                          const std::vector<std::string>& installedGalleries)
{
    namespace fs = std::filesystem;
    const std::string gallery = withSlash(programFolder) + "gallery";
    std::error_code error;
    if (fs::exists(gallery, error) || error) {
        return gallery;
    }
    for (const std::string& installed : installedGalleries) {
        std::error_code found;
        if (!fs::is_directory(installed, found)) {
            continue;
        }
        std::error_code made;
        fs::create_directories(gallery, made);
        if (made) {
            break;
        }
        std::error_code listed;
        for (const fs::directory_entry& entry : fs::directory_iterator(installed, listed)) {
            std::error_code copied;
            if (entry.is_regular_file(copied)) {
                fs::copy_file(entry.path(), fs::path(gallery) / entry.path().filename(), copied);
            }
        }
        break;
    }
    return gallery;
}

std::vector<std::string> installedGalleries()
{
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return {};
    }
    const std::filesystem::path folder = executable.parent_path();
    return {(folder / "gallery").string(),
            (folder.parent_path() / "share" / "quorvalis" / "gallery").string()};
}

} // namespace qv
