// The palette file (.pal): parameters, colour flags and offset, little-endian, no header.
#pragma once

#include "palette/palette_generator.h"
#include "palette/palette_state.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace qv {

/// Bytes 0..35 the nine parameters (float32), 36..39 the colour flags (uint32), 40..43 the
/// offset (int32). Files of 40 bytes have no offset.
inline constexpr std::size_t kPaletteFileShort = 40;
inline constexpr std::size_t kPaletteFileLong = 44;

/// What a palette file holds.
struct PaletteFileContents
{
    PaletteParameters parameters;
    std::uint32_t colourFlags = 0;
    std::int32_t paletteOffset = 0;
};

/// The 44-byte form of the contents.
std::array<std::byte, kPaletteFileLong> encodePaletteFile(const PaletteFileContents& contents);

/// The contents of a 40- or 44-byte file (offset 0 in the short form); nothing for any other
/// length.
std::optional<PaletteFileContents> decodePaletteFile(std::span<const std::byte> bytes);

/// Brings bits 4..8 of the colour flags in line with the options, then writes the 44-byte
/// form, replacing the file only once the new one is complete. A failed write leaves any
/// previous file as it was, says so in a message and returns false. An empty path writes
/// nothing and returns false.
bool savePaletteFile(PaletteContext& context, const std::string& path);

/// Loads a palette file: resets the offset (and, for a non-empty path, the colour flags and
/// the options), reads the file, sets the options from the flags, generates, redisplays, and
/// with "Smooth color" asks for a new render. A file of another length is refused with
/// "Not a Quorvalis-file!" and leaves the parameters and the table as they were.
bool loadPaletteFile(PaletteContext& context, const std::string& path);

} // namespace qv
