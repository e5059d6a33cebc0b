// The BMP frame reader: uncompressed Windows bitmaps of 1, 4, 8, 16, 24 and 32 bits.
#pragma once

#include "reelbind/picture.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace qv::reelbind {

/// Decodes a BMP file's bytes (core or info headers up to version 5, bottom-up or top-down,
/// palettes, bit-field masks). Compressed bitmaps, sides above kMaxSide and pixel data that
/// the file does not hold are refused: nullopt, with the reason in `error`.
std::optional<Picture> decodeBmp(std::span<const std::uint8_t> bytes, std::string& error);

} // namespace qv::reelbind
