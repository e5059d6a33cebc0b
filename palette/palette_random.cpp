// The clock-seeded random source of the random palette.
#include "palette/palette_random.h"

#include <chrono>

namespace qv {

void ClockSeededRandom::reseed()
{
    // Seconds alone would give the same palette for two clicks within one second.
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto ticks = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
    const std::uint64_t carried = m_engine();
    std::seed_seq seed{static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32),
                       static_cast<std::uint32_t>(carried),
                       static_cast<std::uint32_t>(carried >> 32)};
    m_engine.seed(seed);
}

double ClockSeededRandom::nextUnit()
{
    // The top 53 bits give every double of [0, 1) on the grid 2^-53, and never 1.
    constexpr double kScale = 1.0 / 9007199254740992.0; // 2^-53
    return static_cast<double>(m_engine() >> 11) * kScale;
}

} // namespace qv
