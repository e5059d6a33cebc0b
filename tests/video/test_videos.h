// Test videos made with FFmpeg's own encoders: frames whose two halves carry known colours.
#pragma once

#include <cstdint>
#include <string>

namespace qv::test {

enum class TestCodec { Mjpeg, Mpeg4, Ffv1, Raw };

/// The colours (0x00RRGGBB) of the top and the bottom half of frame `index`.
std::uint32_t topColour(std::int64_t index);
std::uint32_t bottomColour(std::int64_t index);

/// True when the colours differ by at most `tolerance` in every channel.
bool closeColours(std::uint32_t a, std::uint32_t b, int tolerance);

/// Writes an AVI of `frames` frames, `width` x `height`, at `fps` frames per second, every one
/// a key frame: frame i is topColour(i) above bottomColour(i). Uncompressed frames are stored
/// bottom row first, as the converter stores them. False when the file could not be written.
bool writeTestVideo(const std::string& path, TestCodec codec, int frames, int width = 32,
                    int height = 24, int fps = 25);

} // namespace qv::test
