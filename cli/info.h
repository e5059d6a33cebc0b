// The parameters in force, as the "key: value" lines of --info.
#pragma once

#include "app/app_state.h"

#include <string>

namespace qv::cli {

/// One line per key, in this order: type, mode, iterMax, bailout, potValue, colourFlags,
/// deepZoom, precisionBits, deepLimit, size, xmin, xmax, ymin, ymax, then cr and ci for a Julia
/// view, then palette (the nine parameters: starts, steps, stops) and paletteOffset. View
/// numbers are written from their GMP form with all their digits ("2.5e-1"), doubles with 17
/// significant digits and the palette's floats with 9, so that every value reads back exactly.
std::string infoText(const AppState& app);

} // namespace qv::cli
