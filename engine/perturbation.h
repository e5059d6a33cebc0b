// Fast deep zoom by perturbation: a reference orbit computed with GMP and kept in long double,
// its table of bilinear steps, and the pixel iteration that applies the exact kernel's tests.
#pragma once

#include "engine/kernel_kind.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include <gmp.h>

namespace qv {

static_assert(std::numeric_limits<long double>::digits == 64);

struct ComplexLd
{
    long double re = 0.0L;
    long double im = 0.0L;
};

/// `v` rounded to long double from its two leading limbs, so that values far below the range
/// of double (pixel steps of 1e-1000) keep their exponent. Zero below the long double range.
long double toLongDouble(mpf_srcptr v);

/// How many iterations one table entry skips, what it does to the offset and where it holds.
struct BilinearStep
{
    ComplexLd a;            ///< factor of the offset
    ComplexLd b;            ///< factor of the pixel's offset of the constant
    long double radius;     ///< valid while |offset| < radius
    long double radiusNorm; ///< radius^2
};

/// One orbit of z -> z^2 + c from a start value, with GMP at the view's precision, every value
/// kept as long double, and the bilinear steps over it.
class ReferenceOrbit
{
public:
    /// Iterates from (startRe, startIm) with constant (cRe, cIm) at `bits` until `length`
    /// values are kept or |Z|^2 passes 1e10 (that value is kept). Polls *stop (may be null)
    /// every 256 iterations; false when it was set.
    bool compute(mpf_srcptr startRe, mpf_srcptr startIm, mpf_srcptr cRe, mpf_srcptr cIm,
                 unsigned long bits, std::size_t length, const std::atomic<std::int32_t>* stop);

    /// Builds the bilinear steps for pixel offsets of the constant up to dcMax (0 for Julia
    /// views). A step is only kept when every value it skips has |Z|^2 below safeNorm, so that
    /// no escape test could hold within it.
    void buildSteps(long double dcMax, long double safeNorm);

    std::size_t size() const { return m_z.size(); }

    const ComplexLd& operator[](std::size_t m) const { return m_z[m]; }

    /// Whether Z_m passes close to 0 (|Z_m| < 0.01): where pixels that follow the orbit come
    /// back to the same place once per cycle.
    bool nearZero(std::size_t m) const { return m_nearZero[m] != 0; }

    /// Whether Z_m is not zero but too small for long double to hold (|Z_m| < 2^-16000): a
    /// pixel whose offset is smaller still cannot follow the orbit there.
    bool lost(std::size_t m) const { return m_lost[m] != 0; }

    /// Whether any step from index m could hold for an offset of squared magnitude dzNorm: none
    /// holds beyond the radius of its first iteration.
    bool mayStep(std::size_t m, long double dzNorm) const
    {
        return m < m_firstRadiusNorm.size() && dzNorm < m_firstRadiusNorm[m];
    }

    /// The longest step starting at index m, at most maxSteps long, valid for an offset of
    /// squared magnitude dzNorm; null when none is. `length` receives its length.
    const BilinearStep* stepAt(std::size_t m, long double dzNorm, std::int64_t maxSteps,
                               std::int64_t& length) const;

private:
    /// Fills m_toBarrier and m_barrier from the single steps (single[j] starts at origin + j).
    void buildBarrierSteps(const std::vector<BilinearStep>& single, long double dcMax,
                           long double safeNorm);

    std::vector<ComplexLd> m_z;
    std::size_t m_origin = 0;
    std::vector<std::uint8_t> m_nearZero;
    std::vector<std::uint8_t> m_lost;
    std::vector<long double> m_firstRadiusNorm; ///< radius^2 of one iteration from each index
    /// m_levels[k][j] skips 2^k iterations from index origin + j * 2^k (level 0 is left empty).
    std::vector<std::vector<BilinearStep>> m_levels;
    /// m_toBarrier[m] skips from index m to m_barrier[m], the next index where the orbit passes
    /// close to 0 or a skipped value could pass an escape test: one move per pass of a cycle.
    std::vector<BilinearStep> m_toBarrier;
    std::vector<std::uint32_t> m_barrier;
};

/// Everything a pixel's perturbed iteration reads; the orbits outlive it.
struct PerturbationSetup
{
    const ReferenceOrbit* start = nullptr;  ///< the orbit a pixel starts on
    const ReferenceOrbit* rebase = nullptr; ///< an orbit with Z_0 = 0, for rebasing
    std::size_t startIndex = 1;             ///< 1 for Mandelbrot views (Z_1 = C), 0 for Julia
    bool mandelbrot = true;
    std::int64_t iterMax = 100;
    unsigned long bound = 128; ///< deepEscapeBound of the view's bailout
    bool rebasing = true;      ///< off only to show what goes wrong without it
    bool bilinear = true;
    /// Offsets are in units of 2^scale: 0, or the pixel step's exponent where that is below
    /// the range long double keeps (the pixel then iterates in those units).
    std::int64_t scale = 0;
};

/// Count, A and B as the exact kernel stores them; `suspect` when the long double values
/// broke down (overflow, an orbit that ran out without rebasing): the caller computes the
/// pixel exactly.
struct PerturbedPixel
{
    std::int32_t count = 0;
    float a = 0.0f;
    float b = 0.0f;
    bool suspect = false;
};

/// The pixel at offset `delta` (in units of 2^setup.scale) from the start orbit's reference point
/// (Mandelbrot: its c minus C; Julia: its z minus the reference's Z_0), iterated with kind 1, 3 or
/// 4 as the exact kernel does: its fast pass of four-iteration blocks tested against 4, then its
/// exact pass with the kind's own test against the bound.
PerturbedPixel perturbedPixel(KernelKind kind, const PerturbationSetup& setup, ComplexLd delta);

/// Whether the fast path computes this kernel kind (1, 3 and 4; the others test or iterate in
/// ways that a long double offset does not follow).
constexpr bool perturbationHandles(KernelKind kind)
{
    return kind == KernelKind::Plain || kind == KernelKind::Lagged ||
           kind == KernelKind::LaggedPlain;
}

} // namespace qv
