// The converter's paths: video name, frame folder, frame listing and frame decoding.
#include "reelbind/frame_folder.h"

#include "reelbind/bmp_reader.h"
#include "reelbind/jpeg_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace qv::reelbind {
namespace {

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string upperExtension(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) {
        return {};
    }
    std::string extension(name.substr(dot + 1));
    std::transform(extension.begin(), extension.end(), extension.begin(), upper);
    return extension;
}

std::string_view fileNamePart(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string videoPathFor(std::string_view given)
{
    const std::string_view name = fileNamePart(given);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && name.substr(dot + 1) == "avi") {
        return std::string(given);
    }
    return std::string(given) + ".avi";
}

std::filesystem::path framesFolderFor(std::string_view given)
{
    std::error_code ignored;
    if (!given.empty() && std::filesystem::is_directory(std::filesystem::path(given), ignored)) {
        return std::filesystem::path(given);
    }
    const std::size_t slash = given.rfind('/');
    if (slash == std::string_view::npos) {
        return std::filesystem::path("./");
    }
    return std::filesystem::path(given.substr(0, slash + 1));
}

bool isFrameFileName(std::string_view name)
{
    const std::string extension = upperExtension(name);
    return extension == "BMP" || extension == "JPG" || extension == "JPEG";
}

bool framePlaysBefore(std::string_view a, std::string_view b)
{
    const auto folded = [](char x, char y) { return upper(x) < upper(y); };
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), folded)) {
        return true;
    }
    if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), folded)) {
        return false;
    }
    return a < b;
}

std::optional<std::vector<std::filesystem::path>>
listFrameFiles(const std::filesystem::path& folder, std::string& error)
{
    std::error_code failure;
    std::filesystem::directory_iterator entries(folder, failure);
    if (failure) {
        error = "cannot read the folder " + folder.string() + ": " + failure.message();
        return std::nullopt;
    }
    std::vector<std::filesystem::path> files;
    for (; entries != std::filesystem::directory_iterator(); entries.increment(failure)) {
        std::error_code ignored;
        const std::string name = entries->path().filename().string();
        if (isFrameFileName(name) && entries->is_regular_file(ignored)) {
            files.push_back(entries->path());
        }
    }
    if (failure) {
        error = "cannot read the folder " + folder.string() + ": " + failure.message();
        return std::nullopt;
    }
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return framePlaysBefore(a.filename().string(), b.filename().string());
    });
    return files;
}

std::optional<Picture> readFrame(const std::filesystem::path& file, std::string& error)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    if (in.bad()) {
        error = "read error";
        return std::nullopt;
    }
    if (upperExtension(file.filename().string()) == "BMP") {
        return decodeBmp(bytes, error);
    }
    return decodeJpeg(bytes, error);
}

} // namespace qv::reelbind
