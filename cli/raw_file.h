// The raw results file of --raw: the kernel results of every pixel before colouring.
#pragma once

#include "app/render_entry.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace qv::cli {

inline constexpr std::string_view kRawMagic = "QVRW";
inline constexpr std::uint32_t kRawVersion = 1;
/// Magic, version, width, height.
inline constexpr std::size_t kRawHeaderBytes = 16;

/// Little-endian: "QVRW", u32 version 1, i32 width, i32 height, then width x height int32
/// counts, width x height float32 escape values A, width x height float32 escape values B,
/// each row-major with row 0 the row at ymin. Nothing when the arrays do not hold
/// width x height entries each.
std::vector<std::byte> encodeRawResults(const RawResults& raw);

} // namespace qv::cli
