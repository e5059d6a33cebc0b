// The random source of the random palette, and the program's clock-seeded implementation.
#pragma once

#include <cstdint>
#include <random>

namespace qv {

/// A uniform random source that can be reseeded. Passed in, so that tests can script it.
class PaletteRandom
{
public:
    virtual ~PaletteRandom() = default;

    /// Starts a new sequence, from the clock in the program.
    virtual void reseed() = 0;

    /// The next number, uniform in [0, 1).
    virtual double nextUnit() = 0;
};

/// Reseeds from the time of day. The seed also takes in the previous sequence, so that two
/// random palettes drawn within the same clock tick still differ.
class ClockSeededRandom final : public PaletteRandom
{
public:
    void reseed() override;
    double nextUnit() override;

private:
    std::mt19937_64 m_engine;
};

} // namespace qv
