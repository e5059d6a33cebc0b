// The statistics window's rows without a window: what the last render and the settings in
// force give, and the duration text.
#pragma once

#include "app/app_state.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

struct StatisticsRow
{
    std::int32_t number = 0; ///< 8..17: the row's place in the window, kept when rows are absent
    std::string label;
    std::string value; ///< empty for a row that shows only its label
};

struct Statistics
{
    std::string heading; ///< " MANDELBROT" or " JULIA"
    std::vector<StatisticsRow> rows;
};

/// Seconds rounded to whole seconds (halves to even) as " h h  m m  s s": each number after
/// one space (75.4 gives " 0 h  1 m  15 s").
std::string formatDuration(double seconds);

/// The rows shown, in order: iterations, bailout, size, the render time and speed (only after
/// a render that took time), threads, precision, colours used and inside pixels (only when
/// the last render counted colours), the system named `systemName`, and after a render that
/// asked for the fast deep path, its certificate or why the exact kernel took over.
Statistics statisticsOf(const AppState& app, std::string_view systemName);

} // namespace qv
