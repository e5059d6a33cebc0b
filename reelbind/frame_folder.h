// The converter's paths: the video path, the frame folder and the frame files in playing order.
#pragma once

#include "reelbind/picture.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::reelbind {

/// The video path for a given one: ".avi" appended unless the file name's extension (the text
/// after its last ".") is exactly "avi", so "film" and "film.AVI" become "film.avi" and
/// "film.AVI.avi".
std::string videoPathFor(std::string_view given);

/// The frame folder that an argument names: an existing folder as it stands, otherwise the
/// argument's folder part up to and including its last "/" ("./" when it has none).
std::filesystem::path framesFolderFor(std::string_view given);

/// Whether a file name is a frame's: extension BMP, JPG or JPEG in any case.
bool isFrameFileName(std::string_view name);

/// Orders names as the frames play: by name without regard to case (then byte by byte, so
/// that the order is total).
bool framePlaysBefore(std::string_view a, std::string_view b);

/// The frame files of a folder in playing order: its plain files (or links to them) with a
/// frame's extension; sub-folders and other files are left out. nullopt with the reason in
/// `error` when the folder cannot be read.
std::optional<std::vector<std::filesystem::path>>
listFrameFiles(const std::filesystem::path& folder, std::string& error);

/// Reads and decodes one frame file, JPEG or BMP by its extension; nullopt with the reason in
/// `error` when it cannot be read or decoded.
std::optional<Picture> readFrame(const std::filesystem::path& file, std::string& error);

} // namespace qv::reelbind
