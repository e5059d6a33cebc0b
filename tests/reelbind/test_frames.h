// Helpers of the converter's tests: a scratch folder, pictures and frame files made here, and
// videos read back through FFmpeg's demuxer and decoders.
#pragma once

#include "reelbind/picture.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qv::reelbind::test {

/// A fresh folder for one test, removed with its contents afterwards.
class ScratchFolder
{
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }

    std::string file(const std::string& name) const { return (m_path / name).string(); }

    /// The names of the folder's entries, sorted.
    std::vector<std::string> names() const;

private:
    std::filesystem::path m_path;
};

/// A picture whose top half is reddish and bottom half bluish, with `green` in every pixel:
/// flat areas that lossy codecs keep, an orientation that shows, and a level that tells frames
/// apart.
Picture banded(std::int32_t width, std::int32_t height, std::uint8_t green);

/// A picture with a different colour in every pixel, for lossless comparisons.
Picture noisy(std::int32_t width, std::int32_t height, std::uint32_t seed);

/// The mean absolute difference of two equally sized pictures' bytes (255 when sizes differ).
double meanDifference(const Picture& a, const Picture& b);

/// The bytes of a JPEG of the picture at the given quality (libjpeg).
std::vector<std::uint8_t> encodeJpeg(const Picture& picture, int quality = 95);

/// The bytes of a 24-bit bottom-up BMP of the picture.
std::vector<std::uint8_t> encodeBmp(const Picture& picture);

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> readFile(const std::string& path);

/// What FFmpeg reads back from a video.
struct VideoRead
{
    bool opened = false;
    std::string codec;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int64_t streams = 0;
    std::int64_t framesInHeader = 0;
    double seconds = 0;
    double framesPerSecond = 0;
    std::int64_t keyPackets = 0;
    std::vector<Picture> frames; // decoded, as RGB
};

VideoRead readVideo(const std::string& path);

} // namespace qv::reelbind::test
