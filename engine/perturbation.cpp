// The reference orbit, its bilinear steps and the perturbed pixel iteration. See
// fast_deep.md beside this file.
#include "engine/perturbation.h"

#include "base/mp_float.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>

namespace qv {
namespace {

/// A reference orbit ends here: every pixel test (bound at most 2^31) has long been decided.
constexpr long double kReferenceEscape = 1e10L;
/// Beyond this |z|^2 the long double values have broken down (their limit is about 1e4932).
constexpr long double kBrokenNorm = 1e4000L;
/// A linear step neglects dz^2 against 2 Z dz; this bounds their ratio.
constexpr long double kStepTolerance = 0x1p-60L;
/// Orbit values below this are not held faithfully; scaled offsets claim at least its square
/// when they look for a table step, so that no step through such values is taken.
constexpr long double kSmallest = 0x1p-16000L;

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
    static constexpr bool kWatchesCycles = true;

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
        if (m_tracking) {
            // z -> z^2 + c: the second derivative first, as it reads the first.
            const ComplexLd twoZ{2.0L * m_z.re, 2.0L * m_z.im};
            const ComplexLd d1 = m_d1;
            m_d2 = add(mul(ComplexLd{2.0L * d1.re, 2.0L * d1.im}, d1), mul(twoZ, m_d2));
            m_d1 = mul(twoZ, d1);
        }
        const ComplexLd z = (*m_orbit)[m_m];
        m_dz = add(mul(add(add(z, z), m_dz), m_dz), m_dc);
        ++m_m;
        ++m_i;
        return land();
    }

    /// The longest bilinear step that ends at most `limit` (an iterate index); false when none.
    bool skip(std::int64_t limit)
    {
        const long double dzNorm = norm(m_dz);
        if (!m_orbit->mayStep(m_m, dzNorm)) {
            return false;
        }
        std::int64_t length = 0;
        const BilinearStep* s = m_orbit->stepAt(m_m, dzNorm, limit - m_i, length);
        if (s == nullptr) {
            return false;
        }
        m_dz = add(mul(s->a, m_dz), mul(s->b, m_dc));
        if (m_tracking) {
            m_d1 = mul(s->a, m_d1);
            m_d2 = mul(s->a, m_d2);
        }
        m_m += static_cast<std::size_t>(length);
        m_i += length;
        return land();
    }

    std::int64_t index() const { return m_i; }

    /// First and second derivatives of the value reached by the value at the last reset.
    ComplexLd d1() const { return m_d1; }

    ComplexLd d2() const { return m_d2; }

    /// Starts the derivatives afresh, and follows them only while `tracking`.
    void resetDerivatives(bool tracking)
    {
        m_d1 = {1.0L, 0.0L};
        m_d2 = {};
        m_tracking = tracking;
    }

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
    ComplexLd m_d1{1.0L, 0.0L};
    ComplexLd m_d2;
    long double m_norm = 0.0L;
    std::int64_t m_i = 0;
    bool m_outlived = false;
    bool m_rebased = false;
    bool m_tracking = true;
};

/// x * 2^e, for exponents far beyond int's range as well.
long double scaled(long double x, std::int64_t e)
{
    return std::ldexp(x, static_cast<int>(std::clamp<std::int64_t>(e, -100000, 100000)));
}

ComplexLd scaled(ComplexLd x, std::int64_t e)
{
    return {scaled(x.re, e), scaled(x.im, e)};
}

/// The pixel on a reference orbit where its offsets are below the range of long double:
/// dz = 2^s w and dc = 2^s d, with s a plain integer that keeps |w| near 1. An iteration is
/// w -> (2 Z + 2^s w) w + d, and a table step w -> A w + B d (the step is linear). Cycles are
/// not watched: their return maps would need the values themselves below the range.
class ScaledWalker
{
public:
    static constexpr bool kWatchesCycles = false;

    ScaledWalker(const PerturbationSetup& setup, ComplexLd delta)
        : m_setup(setup), m_orbit(setup.start), m_m(setup.startIndex), m_w(delta),
          m_d0(setup.mandelbrot ? delta : ComplexLd{}), m_s(setup.scale), m_s0(setup.scale)
    {
        m_d = m_d0;
        m_z = add((*m_orbit)[m_m], scaled(m_w, m_s));
        m_norm = norm(m_z);
    }

    bool step()
    {
        if (m_orbit->lost(m_m)) {
            return false;
        }
        const ComplexLd z = (*m_orbit)[m_m];
        m_w = add(mul(add(add(z, z), scaled(m_w, m_s)), m_w), m_d);
        ++m_m;
        ++m_i;
        return land();
    }

    bool skip(std::int64_t limit)
    {
        const long double dzNorm = std::max(scaled(norm(m_w), 2 * m_s), kSmallest);
        if (!m_orbit->mayStep(m_m, dzNorm)) {
            return false;
        }
        std::int64_t length = 0;
        const BilinearStep* s = m_orbit->stepAt(m_m, dzNorm, limit - m_i, length);
        if (s == nullptr) {
            return false;
        }
        m_w = add(mul(s->a, m_w), mul(s->b, m_d));
        m_m += static_cast<std::size_t>(length);
        m_i += length;
        return land();
    }

    std::int64_t index() const { return m_i; }

    bool outlived() const { return m_outlived; }

    ComplexLd z() const { return m_z; }

    long double zNorm() const { return m_norm; }

private:
    /// As Walker::land, with |Z + 2^s w| < |2^s w| compared in units of 2^s (Z 2^-s is
    /// infinite where Z is far larger than the offset).
    bool land()
    {
        if (!std::isfinite(m_w.re) || !std::isfinite(m_w.im) || m_orbit->lost(m_m)) {
            return false;
        }
        const long double larger = std::max(std::fabs(m_w.re), std::fabs(m_w.im));
        if (larger != 0.0L) {
            const int k = std::ilogb(larger);
            if (k > 32 || k < -32) {
                m_w = scaled(m_w, -k);
                m_s += k;
                m_d = scaled(m_d0, m_s0 - m_s);
                if (!std::isfinite(m_d.re) || !std::isfinite(m_d.im)) {
                    return false; // an offset 2^16000 times smaller than dc
                }
            }
        }
        const ComplexLd& big = (*m_orbit)[m_m];
        m_z = add(big, scaled(m_w, m_s));
        m_norm = norm(m_z);
        if (!(m_norm < kBrokenNorm)) {
            return false;
        }
        const bool atEnd = m_m + 1 >= m_orbit->size();
        const ComplexLd full = add(scaled(big, -m_s), m_w);
        if (m_setup.rebasing && (atEnd || norm(full) < norm(m_w))) {
            m_orbit = m_setup.rebase;
            m_m = 0;
            m_w = full;
            return true;
        }
        m_outlived = atEnd;
        return !atEnd;
    }

    const PerturbationSetup& m_setup;
    const ReferenceOrbit* m_orbit;
    std::size_t m_m;
    ComplexLd m_w;
    ComplexLd m_d0; ///< dc in units of 2^m_s0
    ComplexLd m_d;  ///< dc in units of 2^m_s
    std::int64_t m_s;
    std::int64_t m_s0;
    ComplexLd m_z;
    long double m_norm = 0.0L;
    std::int64_t m_i = 0;
    bool m_outlived = false;
};

/// The map from one checkpoint value to the next, quadratic about a value it was measured at:
/// z -> to + b (z - from) + c (z - from)^2.
struct ReturnMap
{
    ComplexLd from;
    ComplexLd to;
    ComplexLd b;
    ComplexLd c;

    ComplexLd operator()(ComplexLd z) const
    {
        const ComplexLd u{z.re - from.re, z.im - from.im};
        return add(to, mul(add(b, mul(c, u)), u));
    }
};

/// Watches the values of a pixel at its checkpoints (rebases, passes of the orbit close to 0).
/// Between two that come the same number of iterations apart, the pixel's first and second
/// derivatives give its return map, which near a minibrot is a quadratic (one squaring at the
/// pass by 0, then a linear run). Once that map has foretold the next checkpoint value and has
/// an attracting fixed point z*, the map itself carries the pixel on, cycle by cycle; when it
/// comes within the disc about z* that the map takes into itself, or stays close to z* up to
/// the end, it does not escape before iterMax.
class CycleWatch
{
public:
    /// At a checkpoint reached after i iterations with value z, its derivatives d1 and d2 by
    /// the value at the previous one, `toGo` iterations before the end: whether the pixel is
    /// held by a cycle, and then its value after the whole cycles to go and their length.
    bool passed(std::int64_t i, ComplexLd z, ComplexLd d1, ComplexLd d2, std::int64_t toGo,
                ComplexLd& end, std::int64_t& length)
    {
        const std::int64_t q = i - m_index;
        bool held = false;
        if (m_index >= 0 && q == m_length && m_haveMap && m_attempts < kAttempts) {
            const ComplexLd miss = sub(m_map(m_z), z);
            if (norm(miss) <= 1e-18L * norm(sub(z, m_z)) + 1e-30L * norm(z)) {
                ++m_attempts;
                held = carry(z, toGo / q, end);
                length = q;
            }
        }
        m_haveMap = m_index >= 0;
        m_map = {m_z, z, d1, {0.5L * d2.re, 0.5L * d2.im}};
        m_length = q;
        m_index = i;
        m_z = z;
        return held;
    }

    /// Whether later checkpoints could still find a cycle (the derivatives are wanted).
    bool watching() const { return m_attempts < kAttempts; }

private:
    /// Model runs a pixel may spend that end outside the disc.
    static constexpr int kAttempts = 3;

    static ComplexLd sub(ComplexLd x, ComplexLd y) { return {x.re - y.re, x.im - y.im}; }

    /// Applies the map `cycles` times from z into `end`; true when the values entered the disc
    /// about the attracting fixed point z* within which |G(z) - z*| <= (|l| + |c| r) r < r.
    bool carry(ComplexLd z, std::int64_t cycles, ComplexLd& end) const
    {
        using C = std::complex<long double>;
        const C c(m_map.c.re, m_map.c.im);
        const C u(z.re - m_map.from.re, z.im - m_map.from.im);
        // G(z + w) = z + w: c w^2 + (G'(z) - 1) w + (G(z) - z) = 0. Of its two roots (the
        // multipliers G' there add up to 2), the attracting fixed point.
        const ComplexLd g = m_map(z);
        const C delta(g.re - z.re, g.im - z.im);
        const C slope = C(m_map.b.re, m_map.b.im) + 2.0L * c * u - 1.0L;
        const C root = std::sqrt(slope * slope - 4.0L * c * delta);
        C w;
        C multiplier(1.0L, 0.0L);
        long double lambda = 1.0L;
        for (const C denominator : {-slope + root, -slope - root}) {
            if (std::norm(denominator) > 0.0L) {
                const C candidate = 2.0L * delta / denominator;
                const C m = slope + 1.0L + 2.0L * c * candidate;
                if (std::abs(m) < lambda) {
                    lambda = std::abs(m);
                    multiplier = m;
                    w = candidate;
                }
            }
        }
        if (!(lambda < 1.0L)) {
            return false;
        }
        const ComplexLd fixed{z.re + w.real(), z.im + w.imag()};
        // Within the disc, no value can leave; otherwise the values must stay within twice
        // their distance from z* up to the end: the pixel does not escape before it.
        // About z*, the map is v -> v (l + c v).
        const long double radius = 0.9L * (1.0L - lambda) / std::abs(c);
        const long double disc = radius * radius;
        const ComplexLd l{multiplier.real(), multiplier.imag()};
        const ComplexLd quadratic = m_map.c;
        ComplexLd v{-w.real(), -w.imag()};
        const long double reach = std::max(disc, 4.0L * norm(v));
        const long double settled = 1e-40L * norm(fixed);
        bool inside = false;
        for (; cycles > 0; --cycles) {
            const long double distance = norm(v);
            if (!(distance <= reach)) {
                return false;
            }
            inside = inside || distance <= disc;
            if (inside && distance <= settled) {
                break; // at the fixed point to the last bit
            }
            v = mul(v, add(l, mul(quadratic, v)));
        }
        end = add(fixed, v);
        return norm(v) <= reach;
    }

    std::int64_t m_index = -1;
    std::int64_t m_length = 0;
    ComplexLd m_z;
    ReturnMap m_map;
    bool m_haveMap = false;
    int m_attempts = 0;
};

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

template <KernelKind kKind, typename Walk>
PerturbedPixel iterate(const PerturbationSetup& setup, ComplexLd delta)
{
    constexpr bool kLagged = kKind != KernelKind::Plain;
    const std::int64_t iterMax = setup.iterMax;
    // The fast pass tests the third iterate of every block of four that fits within iterMax;
    // the lagged one acts on a test only when the next block fits as well.
    const std::int64_t lastThird = iterMax >= 3 ? 3 + 4 * ((iterMax - 3) / 4) : -1;
    const std::int64_t lastTested = kLagged ? lastThird - 4 : lastThird;
    std::int64_t exactStart = lastThird >= 3 ? lastThird - 3 : 0;

    Walk w(setup, delta);
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
    [[maybe_unused]] const bool cyclesEnd = setup.bound >= 5;
    [[maybe_unused]] CycleWatch watch;
    while (w.index() < lastTested) {
        if (!((setup.bilinear && w.skip(lastTested)) || w.step())) {
            return broken();
        }
        const std::int64_t i = w.index();
        recent.push(i, w.z());
        if constexpr (Walk::kWatchesCycles) {
            if (cyclesEnd && w.atCheckpoint()) {
                ComplexLd end;
                std::int64_t q = 0;
                const bool held = watch.passed(i, w.z(), w.d1(), w.d2(), iterMax + 1 - i, end, q);
                w.resetDerivatives(watch.watching());
                if (held) {
                    // The return map carried the value over the whole cycles to go; the value at
                    // iterMax + 1 then lies the remaining iterations on.
                    w.moveTo(end);
                    const std::int64_t last = i + (iterMax + 1 - i) % q;
                    while (w.index() < last) {
                        if (!((setup.bilinear && w.skip(last)) || w.step())) {
                            return broken();
                        }
                    }
                    return {0, static_cast<float>(w.z().re), static_cast<float>(w.z().im), false};
                }
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
    m_lost.clear();
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
        const bool zero = mpf_sgn(zr.get()) == 0 && mpf_sgn(zi.get()) == 0;
        m_lost.push_back(!zero && std::max(std::fabs(z.re), std::fabs(z.im)) < kSmallest ? 1 : 0);
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
    m_firstRadiusNorm.assign(m_z.size(), 0.0L);
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
        const long double radius =
            m_lost[m_origin + j] != 0 ? 0.0L : kStepTolerance * magnitude(twoZ);
        below[j] = {twoZ, {1.0L, 0.0L}, radius, radius * radius};
        m_firstRadiusNorm[m_origin + j] = radius * radius;
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

namespace {

template <typename Walk>
PerturbedPixel iterateKind(KernelKind kind, const PerturbationSetup& setup, ComplexLd delta)
{
    switch (kind) {
    case KernelKind::Lagged:
        return iterate<KernelKind::Lagged, Walk>(setup, delta);
    case KernelKind::LaggedPlain:
        return iterate<KernelKind::LaggedPlain, Walk>(setup, delta);
    case KernelKind::Plain:
    case KernelKind::RealSquare:
    case KernelKind::MixedOrbit:
        break;
    }
    return iterate<KernelKind::Plain, Walk>(setup, delta);
}

} // namespace

PerturbedPixel perturbedPixel(KernelKind kind, const PerturbationSetup& setup, ComplexLd delta)
{
    return setup.scale == 0 ? iterateKind<Walker>(kind, setup, delta)
                            : iterateKind<ScaledWalker>(kind, setup, delta);
}

} // namespace qv
