// The picture window's title during a threaded render.
#include "app/progress_title.h"

#include "app/render_entry.h"
#include "base/number_text.h"

namespace qv {

std::string certificationTitle(const FastDeepReport& report)
{
    if (!report.tried) {
        return {};
    }
    return " - Fast deep: " + fastDeepSummary(report);
}

std::string waitProgressTitle(std::int32_t percentDone)
{
    return std::string(kWaitTitle) + " - " + decimalText(std::int64_t{percentDone}) + "%";
}

ProgressTitle::ProgressTitle(Clock::time_point start, Clock::duration delay)
    : m_start(start), m_delay(delay)
{
}

std::optional<std::string> ProgressTitle::titleAt(Clock::time_point now, std::int32_t rowsDone,
                                                  std::int32_t rows)
{
    if (rows < 1 || now - m_start < m_delay) {
        return std::nullopt;
    }
    // Whole percents, rounded down, so that 100 means every row.
    const auto percent =
        static_cast<std::int32_t>(std::int64_t{rowsDone} * 100 / std::int64_t{rows});
    if (percent >= 100 || percent == m_lastPercent) {
        return std::nullopt;
    }
    m_lastPercent = percent;
    return waitProgressTitle(percent);
}

} // namespace qv
