// The extension rules of picture files and the picture save dialog.
#include "persistence/picture_writer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace qv {

std::string_view pictureMimeType(std::string_view path)
{
    const std::string_view::size_type dot = path.rfind('.');
    if (path.empty() || dot == std::string_view::npos) {
        return {};
    }
    std::string extension(path.substr(dot + 1));
    std::transform(extension.begin(), extension.end(), extension.begin(), [](char c) {
        return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    });
    // ".DIB" is on the list of extensions but has no encoder: it writes nothing too.
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 10> kTypes{{
        {"BMP", "image/bmp"},
        {"EMF", "image/x-emf"},
        {"GIF", "image/gif"},
        {"ICO", "image/x-icon"},
        {"JPG", "image/jpeg"},
        {"JPEG", "image/jpeg"},
        {"PNG", "image/png"},
        {"TIF", "image/tiff"},
        {"TIFF", "image/tiff"},
        {"WMF", "image/x-wmf"},
    }};
    for (const auto& [name, type] : kTypes) {
        if (extension == name) {
            return type;
        }
    }
    return {};
}

std::int32_t jpegQuality(const RenderSettings& settings)
{
    return settings.autosaveParameter != 0 ? 75 : 100;
}

FileDialogRequest pictureFileRequest(const RenderSettings& settings)
{
    static constexpr std::array<std::string_view, 4> kCodes{"JPG", "BMP", "TIF", "PNG"};
    static constexpr std::array<std::string_view, 4> kLower{"jpg", "bmp", "tif", "png"};
    const auto index = static_cast<std::size_t>(std::clamp<std::int32_t>(
        settings.pictureFormatIndex, 0, static_cast<std::int32_t>(kCodes.size()) - 1));
    FileDialogRequest request;
    request.filter = "Picture Files (*." + std::string(kLower[index]) + ")|*." +
                     std::string(kCodes[index]) + "|";
    request.defaultExtension = kCodes[index];
    return request;
}

std::string askPictureFileName(Prompts& prompts, const RenderSettings& settings)
{
    return prompts.saveFile(pictureFileRequest(settings));
}

bool savePictureReporting(PictureWriter& pictures, Prompts& prompts, const std::string& path)
{
    switch (pictures.savePicture(path)) {
    case PictureSaveResult::Written:
        return true;
    case PictureSaveResult::NothingWritten:
        prompts.message(pictureMimeType(path).empty()
                            ? std::string(kPictureNameWithoutFormat) + path
                            : std::string(kNoPictureYet));
        return false;
    case PictureSaveResult::Failed:
        prompts.message(std::string(kPictureNotWritten) + path);
        return false;
    }
    return false;
}

} // namespace qv
