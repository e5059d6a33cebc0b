// Plain reference loops for one pixel, written from the kernels' definitions: the extended
// kinds step by step in long double, the deep kinds on a plain GMP orbit. The kernel tests prove
// the engine's kernels give exactly these results; the renderer tests build whole pictures from
// them, so that those tests do not check the engine against itself.
#pragma once

#include "base/mp_float.h"
#include "engine/kernel_kind.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include <gmp.h>

namespace qv::test {

/// Count, A and B of one pixel, as a kernel stores them.
struct ReferencePixel
{
    std::int32_t count = 0;
    float a = 0.0f;
    float b = 0.0f;
};

inline std::uint32_t bitsOf(float v)
{
    return std::bit_cast<std::uint32_t>(v);
}

// ---- Extended precision: one step at a time, as the algorithm reads. ----

/// z <- z^2 + c: zr' = (zr zr - zi zi) + cr, zi' = 2 (zr zi) + ci, both from the old z.
inline void square(long double& zr, long double& zi, long double cr, long double ci)
{
    const long double newZr = (zr * zr - zi * zi) + cr;
    const long double newZi = 2.0L * (zr * zi) + ci;
    zr = newZr;
    zi = newZi;
}

/// Kinds 1 and 2: fast blocks of four with the third iterate tested against 4 in float (the
/// finder's preview: against `fastLimit`), then the exact pass from the start of the block
/// where the fast pass stopped.
inline ReferencePixel referenceA(KernelKind kind, long double zr, long double zi, long double cr,
                                 long double ci, std::int32_t iterMax, double bailout,
                                 float fastLimit = 4.0f)
{
    iterMax = std::max(iterMax, 3);
    const std::uint32_t bailoutBits = bitsOf(static_cast<float>(bailout));
    long double zsr = zr;
    long double zsi = zi;
    std::int32_t r = iterMax - 3;
    bool left = false;
    do {
        zsr = zr;
        zsi = zi;
        square(zr, zi, cr, ci);
        square(zr, zi, cr, ci);
        square(zr, zi, cr, ci);
        const bool atFour = bitsOf(static_cast<float>(zr * zr + zi * zi)) >= bitsOf(fastLimit);
        if (kind == KernelKind::Plain) {
            r = r - 4;
            if (atFour) {
                left = true;
                break;
            }
        } else {
            if (atFour) {
                left = true;
                break;
            }
            r = r - 4;
        }
        square(zr, zi, cr, ci);
    } while (r >= 0);
    if (!left) {
        r = 0;
    }
    r = r + 3;
    zr = zsr;
    zi = zsi;
    for (;;) {
        const long double zr2 = zr * zr;
        const long double zi2 = zi * zi;
        const std::uint32_t tested = kind == KernelKind::Plain
                                         ? bitsOf(static_cast<float>(zr2 + zi2))
                                         : bitsOf(static_cast<float>(2.0L * zr2));
        if (kind == KernelKind::Plain ? tested > bailoutBits : tested >= bailoutBits) {
            return {iterMax - r + 1, static_cast<float>(zr2), static_cast<float>(zi2)};
        }
        square(zr, zi, cr, ci);
        r = r - 1;
        // Entered at r <= 0 the count goes on below zero, but not past 256 below.
        if (r == 0 || r == -256) {
            break;
        }
    }
    if (kind == KernelKind::Plain) {
        return {0, static_cast<float>(zi), static_cast<float>(zr)};
    }
    return {0, static_cast<float>(zr), static_cast<float>(zi)};
}

/// Kinds 3 to 5: the fast test looks at the previous block's |z|^2 (a double, against 4.0 or
/// `fastLimit`); the exact pass runs from the kept block start up to iterMax.
inline ReferencePixel referenceB(KernelKind kind, long double zr, long double zi, long double cr,
                                 long double ci, std::int32_t iterMax, double bailout,
                                 float fastLimit = 4.0f)
{
    iterMax = std::max(iterMax, 3);
    const long double limit = static_cast<float>(bailout);
    double t = 2.0;
    std::int32_t k = 3;
    long double zsr = zr;
    long double zsi = zi;
    std::int32_t zsIndex = 0;
    while (k <= iterMax - 3) {
        zsr = zr;
        zsi = zi;
        zsIndex = k - 3;
        square(zr, zi, cr, ci);
        square(zr, zi, cr, ci);
        square(zr, zi, cr, ci);
        if (t > static_cast<double>(fastLimit)) {
            break;
        }
        t = static_cast<double>(zr * zr + zi * zi);
        square(zr, zi, cr, ci);
        k = k + 4;
    }
    zr = zsr;
    zi = zsi;
    long double lastProduct = zr * zi;
    for (std::int32_t i = zsIndex; i <= iterMax; ++i) {
        if (kind == KernelKind::MixedOrbit) {
            const long double p = zr * zi;
            const long double m = zr * (zi * zi);
            lastProduct = p;
            if (m + p > limit) {
                return {i + 5, static_cast<float>(p), static_cast<float>(m)};
            }
            const long double newZr = (zr * zr - m) + cr;
            zi = 2.0L * p + ci;
            zr = newZr;
        } else {
            const long double zr2 = zr * zr;
            const long double zi2 = zi * zi;
            const long double tested = kind == KernelKind::Lagged ? zr2 + zr * zi : zr2 + zi2;
            if (tested > limit) {
                return {i + 5, static_cast<float>(zr2), static_cast<float>(zi2)};
            }
            square(zr, zi, cr, ci);
        }
    }
    if (kind == KernelKind::MixedOrbit) {
        return {0, static_cast<float>(lastProduct), static_cast<float>(zi)};
    }
    return {0, static_cast<float>(zr), static_cast<float>(zi)};
}

/// One pixel of any kind in extended precision: the orbit starts at z = (zr, zi) with constant
/// c = (cr, ci) (both the pixel's point for a Mandelbrot pixel, c the Julia constant otherwise).
/// The fast pass tests against `fastLimit`.
inline ReferencePixel referenceExtendedPixel(KernelKind kind, long double zr, long double zi,
                                             long double cr, long double ci, std::int32_t iterMax,
                                             double bailout, float fastLimit = 4.0f)
{
    const bool blocksOfFour = kind == KernelKind::Plain || kind == KernelKind::RealSquare;
    return blocksOfFour ? referenceA(kind, zr, zi, cr, ci, iterMax, bailout, fastLimit)
                        : referenceB(kind, zr, zi, cr, ci, iterMax, bailout, fastLimit);
}

// ---- Deep precision: the plain orbit in GMP, the kind's own map from the chosen block. ----

/// The iterates z_0, z_1, ... of the plain map z <- z^2 + c, computed as far as asked, each as
/// t = zr zi, zi = (t + t) + ci, zr = (zr^2 - zi^2) + cr.
class PlainOrbit
{
public:
    PlainOrbit(mpf_srcptr x, mpf_srcptr y, mpf_srcptr cr, mpf_srcptr ci, unsigned long bits)
        : m_cr(cr), m_ci(ci), m_bits(bits), m_t(bits), m_zr2(bits), m_zi2(bits), m_norm(bits)
    {
        m_re.emplace_back(x, bits);
        m_im.emplace_back(y, bits);
    }

    mpf_srcptr re(std::size_t n) { return reach(n), m_re[n].get(); }

    mpf_srcptr im(std::size_t n) { return reach(n), m_im[n].get(); }

    /// |z_n|^2 as zr^2 + zi^2 (valid until the next call).
    mpf_srcptr norm(std::size_t n)
    {
        mpf_mul(m_zr2.get(), re(n), re(n));
        mpf_mul(m_zi2.get(), im(n), im(n));
        mpf_add(m_norm.get(), m_zr2.get(), m_zi2.get());
        return m_norm.get();
    }

private:
    void reach(std::size_t n)
    {
        while (m_re.size() <= n) {
            mpf_srcptr zr = m_re.back().get();
            mpf_srcptr zi = m_im.back().get();
            mpf_mul(m_t.get(), zr, zi);
            mpf_mul(m_zr2.get(), zr, zr);
            mpf_mul(m_zi2.get(), zi, zi);
            MpFloat nextR(m_bits), nextI(m_bits);
            mpf_add(nextI.get(), m_t.get(), m_t.get());
            mpf_add(nextI.get(), nextI.get(), m_ci);
            mpf_sub(nextR.get(), m_zr2.get(), m_zi2.get());
            mpf_add(nextR.get(), nextR.get(), m_cr);
            m_re.push_back(std::move(nextR));
            m_im.push_back(std::move(nextI));
        }
    }

    mpf_srcptr m_cr;
    mpf_srcptr m_ci;
    unsigned long m_bits;
    MpFloat m_t, m_zr2, m_zi2, m_norm;
    std::vector<MpFloat> m_re;
    std::vector<MpFloat> m_im;
};

inline float asFloat(mpf_srcptr v)
{
    return static_cast<float>(mpf_get_d(v));
}

/// One pixel of any kind by the definitions, at `bits` of precision with the whole-number
/// escape bound `bound`. Blocks start at 0, 4, 8, ... and exist while their tested iterate
/// (start + 3) is within iterMax. Layout D1 leaves at the first block whose tested
/// iterate has |z|^2 > 4; layout D2 at the first block after one whose tested |z|^2, as a double,
/// is above 4. Without such a block the exact pass starts at the last block (or at z_0).
inline ReferencePixel referenceDeepPixel(KernelKind kind, mpf_srcptr x, mpf_srcptr y, mpf_srcptr cr,
                                         mpf_srcptr ci, std::int32_t iterMax, unsigned long bound,
                                         unsigned long bits)
{
    PlainOrbit orbit(x, y, cr, ci, bits);
    const bool lagged = kind != KernelKind::Plain && kind != KernelKind::RealSquare;
    std::int32_t start = 0;
    for (std::int32_t s = 0; s + 3 <= iterMax; s += 4) {
        start = s;
        if (!lagged && mpf_cmp_ui(orbit.norm(static_cast<std::size_t>(s + 3)), 4) > 0) {
            break;
        }
        if (lagged && s >= 4 && mpf_get_d(orbit.norm(static_cast<std::size_t>(s - 1))) > 4.0) {
            break;
        }
    }
    MpFloat zr(orbit.re(static_cast<std::size_t>(start)), bits);
    MpFloat zi(orbit.im(static_cast<std::size_t>(start)), bits);
    MpFloat zr2(bits), zi2(bits), t(bits), p(bits), test(bits);
    for (std::int32_t i = start; i <= iterMax; ++i) {
        mpf_mul(zr2.get(), zr.get(), zr.get());
        mpf_mul(zi2.get(), zi.get(), zi.get());
        mpf_mul(t.get(), zr.get(), zi.get());
        mpf_mul(p.get(), zr.get(), zi2.get());
        switch (kind) {
        case KernelKind::Plain:
        case KernelKind::LaggedPlain:
            mpf_add(test.get(), zr2.get(), zi2.get());
            break;
        case KernelKind::RealSquare:
        case KernelKind::Lagged:
            mpf_add(test.get(), zr2.get(), t.get());
            break;
        case KernelKind::MixedOrbit:
            mpf_add(test.get(), p.get(), t.get());
            break;
        }
        if (mpf_cmp_ui(test.get(), bound) > 0) {
            if (kind == KernelKind::RealSquare) {
                return {i == 0 ? 1 : i, asFloat(zr2.get()), asFloat(zi2.get())};
            }
            const bool mixed = kind == KernelKind::MixedOrbit;
            return {i + 5, asFloat(zr2.get()), asFloat(mixed ? p.get() : zi2.get())};
        }
        mpf_add(zi.get(), t.get(), t.get());
        mpf_add(zi.get(), zi.get(), ci);
        mpf_sub(zr.get(), zr2.get(), kind == KernelKind::MixedOrbit ? p.get() : zi2.get());
        mpf_add(zr.get(), zr.get(), cr);
    }
    return {0, asFloat(zr.get()), asFloat(zi.get())};
}

} // namespace qv::test
