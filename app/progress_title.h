// The picture window's title during a threaded render: the waiting title, followed by the
// percentage done once the render has taken longer than about a second.
#pragma once

#include "engine/renderer.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace qv {

/// What the menu title adds after a fast deep render: " - Fast deep: " and its summary
/// (the share of identical counts, or why the exact kernel computed the picture); "" after
/// any other render.
std::string certificationTitle(const FastDeepReport& report);

/// The waiting title followed by " - " + percentDone + "%".
std::string waitProgressTitle(std::int32_t percentDone);

/// When a render's title shows its progress: not before `delay` has passed since the render
/// began (a quick render keeps its title still), then at each change of the whole percentage,
/// never at 100 (the finished picture follows at once).
class ProgressTitle
{
public:
    using Clock = std::chrono::steady_clock;

    explicit ProgressTitle(Clock::time_point start,
                           Clock::duration delay = std::chrono::seconds(1));

    /// The title to show at `now` with `rowsDone` of `rows` finished, or nothing when the title
    /// stays as it is.
    std::optional<std::string> titleAt(Clock::time_point now, std::int32_t rowsDone,
                                       std::int32_t rows);

    /// Whether a percentage has been shown.
    bool shown() const { return m_lastPercent >= 0; }

private:
    Clock::time_point m_start;
    Clock::duration m_delay;
    std::int32_t m_lastPercent = -1;
};

} // namespace qv
