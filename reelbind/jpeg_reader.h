// The JPEG frame reader, through libjpeg.
#pragma once

#include "reelbind/picture.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace qv::reelbind {

/// Decodes a JPEG file's bytes to RGB. A file that libjpeg rejects, or decodes only with a
/// warning (a truncated or damaged stream), and sides above kMaxSide give nullopt, with the
/// reason in `error`.
std::optional<Picture> decodeJpeg(std::span<const std::uint8_t> bytes, std::string& error);

} // namespace qv::reelbind
