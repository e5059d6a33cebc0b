// The reference orbit, its bilinear steps and the perturbed pixel iteration. See
// fast_deep.md beside this file.
#include "engine/perturbation.h"

#include "base/mp_float.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace qv {
namespace {

/// A reference orbit ends here: every pixel test (bound at most 2^31) has long been decided.
constexpr long double kReferenceEscape = 1e10L;
/// Beyond this |z|^2 the long double values have broken down (their limit is about 1e4932).
constexpr long double kBrokenNorm = 1e4000L;
/// A linear step neglects dz^2 against 2 Z dz; this bounds their ratio.
constexpr long double kStepTolerance = 0x1p-60L;

ComplexLd mul(ComplexLd x, ComplexLd y)
{
    return {x.re * y.re - x.im * y.im, x.re * y.im + x.im * y.re};
}

ComplexLd add(ComplexLd x, ComplexLd y)
{
    return {x.re + y.re, x.im + y.im};
}

long double norm(ComplexLd x)
{
    return x.re * x.re + x.im * x.im;
}

long double magnitude(ComplexLd x)
{
    return std::sqrt(norm(x));
}

/// The pixel's position on a reference orbit and its offset from it.
class Walker
{
public:
    Walker(const PerturbationSetup& setup, ComplexLd delta)
        : m_setup(setup), m_orbit(setup.start), m_m(setup.startIndex), m_dz(delta),
          m_dc(setup.mandelbrot ? delta : ComplexLd{})
    {
        m_z = add((*m_orbit)[m_m], m_dz);
        m_norm = norm(m_z);
    }

    /// One iteration: dz = (2 Z + dz) dz + dc. False when the pixel cannot go on.
    bool step()
    {
        const ComplexLd z = (*m_orbit)[m_m];
        m_dz = add(mul(add(add(z, z), m_dz), m_dz), m_dc);
        ++m_m;
        ++m_i;
        return land();
    }

    /// The longest bilinear step that ends at most `limit` (an iterate index); false when none.
    bool skip(std::int64_t limit)
    {
        std::int64_t length = 0;
        const BilinearStep* s = m_orbit->stepAt(m_m, norm(m_dz), limit - m_i, length);
        if (s == nullptr) {
            return false;
        }
        m_dz = add(mul(s->a, m_dz), mul(s->b, m_dc));
        m_m += static_cast<std::size_t>(length);
        m_i += length;
        return land();
    }

    std::int64_t index() const { return m_i; }

    /// The pixel went on beyond the end of an orbit that it could not rebase from.
    bool outlived() const { return m_outlived; }

    /// The last move ended in a rebase or where the orbit passes close to 0: a place a pixel
    /// caught in a cycle comes back to once per cycle.
    bool atCheckpoint() const { return m_rebased || m_orbit->nearZero(m_m); }

    ComplexLd z() const { return m_z; }

    /// Puts the pixel at value z, at the same place on its orbit.
    void moveTo(ComplexLd z)
    {
        const ComplexLd& r = (*m_orbit)[m_m];
        m_dz = {z.re - r.re, z.im - r.im};
        m_z = z;
        m_norm = norm(z);
    }

    /// |z|^2 of the value reached.
    long double zNorm() const { return m_norm; }

private:
    /// The full value after a move; rebases onto Z_0 = 0 when the pixel's value is smaller
    /// than its offset (the offset would lose the digits that matter) or the orbit ends.
    bool land()
    {
        m_z = add((*m_orbit)[m_m], m_dz);
        m_norm = norm(m_z);
        if (!(m_norm < kBrokenNorm)) {
            return false; // overflowed, or not a number
        }
        const bool atEnd = m_m + 1 >= m_orbit->size();
        m_rebased = m_setup.rebasing && (atEnd || m_norm < norm(m_dz));
        if (m_rebased) {
            m_orbit = m_setup.rebase;
            m_m = 0;
            m_dz = m_z;
            return true;
        }
        m_outlived = atEnd;
        return !atEnd;
    }

    const PerturbationSetup& m_setup;
    const ReferenceOrbit* m_orbit;
    std::size_t m_m;
    ComplexLd m_dz;
    ComplexLd m_dc;
    ComplexLd m_z;
    long double m_norm = 0.0L;
    std::int64_t m_i = 0;
    bool m_outlived = false;
    bool m_rebased = false;
};

/// An attracting cycle a pixel has fallen into, seen at one checkpoint per cycle.
struct Cycle
{
    std::int64_t length = 0; ///< 0: none seen
    ComplexLd ratio;         ///< how the distance to the cycle shrinks per cycle
    ComplexLd point;         ///< the cycle's value at the checkpoint
};

/// Watches the values of a pixel at its checkpoints (rebases, passes of the orbit close to 0).
/// When they come back after the same number of iterations, their differences shrinking by
/// one steady factor below 1 and already small against the values, the pixel is held by an
/// attracting cycle: it never escapes, and the distance to the cycle shrinks geometrically.
class CycleWatch
{
public:
    Cycle passed(std::int64_t i, ComplexLd z)
    {
        Cycle cycle;
        const std::int64_t q = i - m_index;
        if (m_index >= 0 && q == m_length) {
            const ComplexLd d{z.re - m_z.re, z.im - m_z.im};
            const long double dn = norm(d);
            if (dn <= 1e-40L * norm(z)) {
                cycle = {q, {}, z};
            } else if (m_haveDifference && norm(m_difference) > 0.0L) {
                const ComplexLd r = divide(d, m_difference);
                const long double rn = norm(r);
                const ComplexLd change{r.re - m_ratio.re, r.im - m_ratio.im};
                if (m_haveRatio && rn < 0.98L && norm(change) < 1e-4L * rn &&
                    dn < 1e-6L * norm(z)) {
                    // The fixed point of the cycle map: z + d r / (1 - r).
                    const ComplexLd tail = divide(mul(d, r), {1.0L - r.re, -r.im});
                    cycle = {q, r, add(z, tail)};
                }
                m_ratio = r;
                m_haveRatio = true;
            }
            m_difference = d;
            m_haveDifference = true;
        } else {
            m_haveDifference = false;
            m_haveRatio = false;
        }
        m_length = q;
        m_index = i;
        m_z = z;
        return cycle;
    }

private:
    static ComplexLd divide(ComplexLd x, ComplexLd y)
    {
        const long double n = norm(y);
        return {(x.re * y.re + x.im * y.im) / n, (x.im * y.re - x.re * y.im) / n};
    }

    std::int64_t m_index = -1;
    std::int64_t m_length = 0;
    ComplexLd m_z;
    ComplexLd m_difference;
    ComplexLd m_ratio;
    bool m_haveDifference = false;
    bool m_haveRatio = false;
};

/// z^n for n >= 0 by repeated squaring.
ComplexLd power(ComplexLd z, std::int64_t n)
{
    ComplexLd result{1.0L, 0.0L};
    while (n > 0) {
        if ((n & 1) != 0) {
            result = mul(result, z);
        }
        z = mul(z, z);
        n >>= 1;
    }
    return result;
}

/// The last four values reached, by iterate index: the exact pass may start up to three
/// iterates back. An index within reach but not held was skipped by a bilinear step, which no
/// escape test can hold within.
class Recent
{
public:
    void push(std::int64_t i, ComplexLd z)
    {
        m_index[m_next] = i;
        m_z[m_next] = z;
        m_next = (m_next + 1) % 4;
    }

    const ComplexLd* find(std::int64_t i) const
    {
        for (std::size_t k = 0; k < 4; ++k) {
            if (m_index[k] == i) {
                return &m_z[k];
            }
        }
        return nullptr;
    }

private:
    std::int64_t m_index[4] = {-1, -1, -1, -1};
    ComplexLd m_z[4];
    std::size_t m_next = 0;
};

template <KernelKind kKind> bool exactTest(ComplexLd z, unsigned long bound)
{
    const long double test = kKind == KernelKind::Lagged ? z.re * z.re + z.re * z.im : norm(z);
    return test > static_cast<long double>(bound);
}

PerturbedPixel escapedAt(std::int64_t i, ComplexLd z)
{
    const std::int64_t count =
        std::min<std::int64_t>(i + 5, std::numeric_limits<std::int32_t>::max());
    return {static_cast<std::int32_t>(count), static_cast<float>(z.re * z.re),
            static_cast<float>(z.im * z.im), false};
}

template <KernelKind kKind> PerturbedPixel iterate(const PerturbationSetup& setup, ComplexLd delta)
{
    constexpr bool kLagged = kKind != KernelKind::Plain;
    const std::int64_t iterMax = setup.iterMax;
    // The fast pass tests the third iterate of every block of four that fits within iterMax;
    // the lagged one acts on a test only when the next block fits as well.
    const std::int64_t lastThird = iterMax >= 3 ? 3 + 4 * ((iterMax - 3) / 4) : -1;
    const std::int64_t lastTested = kLagged ? lastThird - 4 : lastThird;
    std::int64_t exactStart = lastThird >= 3 ? lastThird - 3 : 0;

    Walker w(setup, delta);
    Recent recent;
    recent.push(0, w.z());
    // Without rebasing, a pixel that outlives the reference is taken as inside, which is
    // what goes wrong without it; otherwise only values that broke down end a pixel early.
    const auto broken = [&w] {
        return w.outlived() ? PerturbedPixel{0, static_cast<float>(w.z().re),
                                             static_cast<float>(w.z().im), false}
                            : PerturbedPixel{0, 0.0f, 0.0f, true};
    };
    // A cycle only stands in for the remaining tests where none of them can hold on it: its
    // values have |z|^2 <= 4, and kind 3's test is at most 1.21 |z|^2.
    const bool cyclesEnd = setup.bound >= 5;
    CycleWatch watch;
    while (w.index() < lastTested) {
        if (!((setup.bilinear && w.skip(lastTested)) || w.step())) {
            return broken();
        }
        const std::int64_t i = w.index();
        recent.push(i, w.z());
        if (cyclesEnd && w.atCheckpoint()) {
            if (const Cycle cycle = watch.passed(i, w.z()); cycle.length > 0) {
                // Whole cycles to go shrink the distance to the cycle by ratio^n; the value at
                // iterMax + 1 then lies the remaining iterations on.
                const std::int64_t q = cycle.length;
                const ComplexLd offset{w.z().re - cycle.point.re, w.z().im - cycle.point.im};
                w.moveTo(add(cycle.point, mul(offset, power(cycle.ratio, (iterMax + 1 - i) / q))));
                const std::int64_t last = i + (iterMax + 1 - i) % q;
                while (w.index() < last) {
                    if (!((setup.bilinear && w.skip(last)) || w.step())) {
                        return broken();
                    }
                }
                return {0, static_cast<float>(w.z().re), static_cast<float>(w.z().im), false};
            }
        }
        if (i % 4 == 3 && w.zNorm() > 4.0L) {
            exactStart = kLagged ? i + 1 : i - 3;
            break;
        }
    }
    for (std::int64_t j = exactStart; j <= iterMax; ++j) {
        ComplexLd z;
        if (j <= w.index()) {
            const ComplexLd* held = recent.find(j);
            if (held == nullptr) {
                continue;
            }
            z = *held;
        } else {
            if (!w.step()) {
                return broken();
            }
            z = w.z();
        }
        if (exactTest<kKind>(z, setup.bound)) {
            return escapedAt(j, z);
        }
    }
    if (!w.step()) {
        return broken();
    }
    return {0, static_cast<float>(w.z().re), static_cast<float>(w.z().im), false};
}

} // namespace

long double toLongDouble(mpf_srcptr v)
{
    const auto size = static_cast<std::int64_t>(v->_mp_size);
    const std::int64_t limbs = size < 0 ? -size : size;
    if (limbs == 0) {
        return 0.0L;
    }
    const mp_limb_t* d = v->_mp_d;
    long double m = static_cast<long double>(d[limbs - 1]);
    if (limbs > 1) {
        m += std::ldexp(static_cast<long double>(d[limbs - 2]), -GMP_NUMB_BITS);
    }
    const std::int64_t shift =
        std::clamp<std::int64_t>(static_cast<std::int64_t>(v->_mp_exp) - 1, -1000, 1000) *
        GMP_NUMB_BITS;
    const long double value = std::ldexp(m, static_cast<int>(shift));
    return size < 0 ? -value : value;
}

bool ReferenceOrbit::compute(mpf_srcptr startRe, mpf_srcptr startIm, mpf_srcptr cRe, mpf_srcptr cIm,
                             unsigned long bits, std::size_t length,
                             const std::atomic<std::int32_t>* stop)
{
    m_z.clear();
    m_levels.clear();
    m_z.reserve(length);
    MpFloat zr(startRe, bits);
    MpFloat zi(startIm, bits);
    MpFloat t(bits);
    MpFloat zr2(bits);
    MpFloat zi2(bits);
    while (m_z.size() < length) {
        const ComplexLd z{toLongDouble(zr.get()), toLongDouble(zi.get())};
        m_z.push_back(z);
        if (norm(z) > kReferenceEscape) {
            break;
        }
        if (stop != nullptr && m_z.size() % 256 == 0 &&
            stop->load(std::memory_order_relaxed) != 0) {
            return false;
        }
        mpf_mul(t.get(), zr.get(), zi.get());
        mpf_mul(zr2.get(), zr.get(), zr.get());
        mpf_mul(zi2.get(), zi.get(), zi.get());
        mpf_add(zi.get(), t.get(), t.get());
        mpf_add(zi.get(), zi.get(), cIm);
        mpf_sub(zr.get(), zr2.get(), zi2.get());
        mpf_add(zr.get(), zr.get(), cRe);
    }
    return true;
}

void ReferenceOrbit::buildSteps(long double dcMax, long double safeNorm)
{
    m_levels.assign(1, {});
    m_toBarrier.clear();
    m_barrier.clear();
    m_nearZero.resize(m_z.size());
    for (std::size_t m = 0; m < m_z.size(); ++m) {
        m_nearZero[m] = norm(m_z[m]) < 1e-4L ? 1 : 0;
    }
    if (m_z.empty()) {
        return;
    }
    // An orbit from 0 has no linear step at index 0 (2 Z = 0): its steps start at index 1,
    // so that a pixel just rebased reaches the longest steps after one iteration.
    m_origin = norm(m_z.front()) == 0.0L ? 1 : 0;
    if (m_z.size() < m_origin + 3) {
        return;
    }
    // Level 0 is one iteration: dz -> 2 Z dz + dc while |dz| is small against |2 Z|.
    const std::size_t values = m_z.size() - m_origin;
    std::vector<BilinearStep> below(values - 1);
    for (std::size_t j = 0; j + 1 < values; ++j) {
        const ComplexLd& z = m_z[m_origin + j];
        const ComplexLd twoZ{2.0L * z.re, 2.0L * z.im};
        const long double radius = kStepTolerance * magnitude(twoZ);
        below[j] = {twoZ, {1.0L, 0.0L}, radius, radius * radius};
    }
    buildBarrierSteps(below, dcMax, safeNorm);
    for (std::size_t length = 2; length < values; length *= 2) {
        const std::size_t count = (values - 1) / length;
        if (count == 0) {
            break;
        }
        std::vector<BilinearStep> level(count);
        for (std::size_t j = 0; j < count; ++j) {
            const BilinearStep& x = below[2 * j];
            const BilinearStep& y = below[2 * j + 1];
            const std::size_t middle = m_origin + j * length + length / 2;
            long double radius = 0.0L;
            if (norm(m_z[middle]) < safeNorm) {
                const long double ax = magnitude(x.a);
                const long double reach = (y.radius - magnitude(x.b) * dcMax) / ax;
                radius = std::min(x.radius, std::max(0.0L, reach));
                if (!std::isfinite(radius)) {
                    radius = 0.0L;
                }
            }
            level[j] = {mul(y.a, x.a), add(mul(y.a, x.b), y.b), radius, radius * radius};
        }
        m_levels.push_back(level);
        below = std::move(level);
    }
}

void ReferenceOrbit::buildBarrierSteps(const std::vector<BilinearStep>& single, long double dcMax,
                                       long double safeNorm)
{
    // Built backwards: the step from m is the single step at m followed by the step from m + 1,
    // unless m + 1 is itself a barrier.
    const std::size_t n = m_z.size();
    m_toBarrier.assign(n, {});
    m_barrier.assign(n, static_cast<std::uint32_t>(n - 1));
    if (n < m_origin + 2) {
        return;
    }
    for (std::size_t m = n - 1; m-- > m_origin;) {
        const BilinearStep& x = single[m - m_origin];
        const std::size_t next = m + 1;
        if (next + 1 >= n || m_nearZero[next] != 0 || !(norm(m_z[next]) < safeNorm)) {
            m_toBarrier[m] = x;
            m_barrier[m] = static_cast<std::uint32_t>(next);
            continue;
        }
        const BilinearStep& y = m_toBarrier[next];
        const long double reach = (y.radius - magnitude(x.b) * dcMax) / magnitude(x.a);
        long double radius = std::min(x.radius, std::max(0.0L, reach));
        if (!std::isfinite(radius)) {
            radius = 0.0L;
        }
        m_toBarrier[m] = {mul(y.a, x.a), add(mul(y.a, x.b), y.b), radius, radius * radius};
        m_barrier[m] = m_barrier[next];
    }
}

const BilinearStep* ReferenceOrbit::stepAt(std::size_t m, long double dzNorm, std::int64_t maxSteps,
                                           std::int64_t& length) const
{
    if (m < m_origin) {
        return nullptr;
    }
    // A longer step from the same index holds within a radius no larger, so the search goes up
    // from the shortest and stops at the first that does not hold.
    const std::size_t q = m - m_origin;
    const auto top = static_cast<int>(m_levels.size()) - 1;
    const int highest = q == 0 ? top : std::min(std::countr_zero(q), top);
    const BilinearStep* found = nullptr;
    for (int k = 1; k <= highest; ++k) {
        const std::int64_t l = std::int64_t{1} << k;
        const std::size_t j = q >> k;
        const std::vector<BilinearStep>& level = m_levels[static_cast<std::size_t>(k)];
        if (l > maxSteps || j >= level.size() || !(dzNorm < level[j].radiusNorm)) {
            break;
        }
        found = &level[j];
        length = l;
    }
    if (m < m_toBarrier.size()) {
        const auto l = static_cast<std::int64_t>(m_barrier[m] - m);
        if (l >= 2 && (found == nullptr || l > length) && l <= maxSteps &&
            dzNorm < m_toBarrier[m].radiusNorm) {
            found = &m_toBarrier[m];
            length = l;
        }
    }
    return found;
}

PerturbedPixel perturbedPixel(KernelKind kind, const PerturbationSetup& setup, ComplexLd delta)
{
    switch (kind) {
    case KernelKind::Lagged:
        return iterate<KernelKind::Lagged>(setup, delta);
    case KernelKind::LaggedPlain:
        return iterate<KernelKind::LaggedPlain>(setup, delta);
    case KernelKind::Plain:
    case KernelKind::RealSquare:
    case KernelKind::MixedOrbit:
        break;
    }
    return iterate<KernelKind::Plain>(setup, delta);
}

} // namespace qv
