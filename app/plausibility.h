// Values the program accepts, as its files always allowed, but which cannot make a sensible
// picture: each becomes a one-line warning, and nothing is changed.
#pragma once

#include "app/app_state.h"

#include <optional>
#include <string>
#include <vector>

namespace qv {

/// A render expected to take longer than this many seconds is worth a warning.
inline constexpr double kLongRenderSeconds = 600.0;

/// One line for each implausible value of the view and palette: a bailout, pot value or palette
/// parameter that is not a finite number, an inverted or empty window, an iteration limit
/// below 3. Empty when nothing is out of place.
std::vector<std::string> implausibleValues(const AppState& app);

/// Roughly how many seconds a render of the view at the picture size takes on `threads`
/// threads, from a timed sample: the view's kernel on an 8 x 6 grid of its window, with the
/// limit capped so that the sample stays short; a point that does not escape there is
/// counted at the full limit.
double estimatedRenderSeconds(const AppState& app, std::int32_t threads);

/// The warning for an iteration limit that makes the render take longer than
/// kLongRenderSeconds, saying roughly how long; nothing for a render that is quick anyway
/// (no sample is timed when even the slowest pixels could not take that long).
std::optional<std::string> longRenderWarning(const AppState& app, std::int32_t threads);

/// A duration as a person says it: "40 seconds", "12 minutes", "3 hours", "5 days",
/// "2 years", "more than a million years".
std::string roughDuration(double seconds);

} // namespace qv
