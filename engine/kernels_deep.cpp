// The deep kernels. Every arithmetic step of an orbit is one GMP call in a fixed order: another
// algebraic form rounds differently in the last bits and, through chaotic orbits, changes counts.
#include "engine/kernels_deep.h"

#include "base/mp_float.h"
#include "base/round_half_even.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <utility>

#include <gmp.h>

namespace qv {
namespace {

// GMP keeps a float's exponent (in limbs) in a plain long and lets it wrap silently, which turns
// a tiny value into a huge one. Orbits get there within a hundred steps when they shrink doubly
// exponentially (points of the Julia sets of c = 0 or c = -1 that are drawn to the
// superattracting cycle) or grow without the escape test ever holding (kind 5 on the real axis,
// where zi stays 0). The kernels keep every z part within 2^(64 * 2^32), far beyond any
// meaningful value: a part below that becomes zero, an orbit above it has gone to infinity.
constexpr mp_exp_t kExponentLimit = mp_exp_t{1} << 32;

bool outsideExponentRange(mpf_srcptr v)
{
    return v->_mp_exp > kExponentLimit || v->_mp_exp < -kExponentLimit;
}

constexpr std::int32_t saturatedCount(std::int64_t count)
{
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(count, std::numeric_limits<std::int32_t>::max()));
}

struct PixelResult
{
    std::int32_t count;
    float a;
    float b;
};

PixelResult escapedWith(std::int64_t count, mpf_srcptr a, mpf_srcptr b)
{
    return {saturatedCount(count), static_cast<float>(mpf_get_d(a)),
            static_cast<float>(mpf_get_d(b))};
}

/// One worker's GMP numbers, created once at the job's precision. z and the block start swap
/// storage instead of being copied: the first iteration of a block reads the start and writes
/// into the other pair.
class DeepOrbit
{
public:
    explicit DeepOrbit(unsigned long bits)
        : m_r0(bits), m_i0(bits), m_r1(bits), m_i1(bits), m_tValue(bits), m_zr2Value(bits),
          m_zi2Value(bits), m_uValue(bits), m_pValue(bits)
    {
    }

    /// Sets z, and c for the next pixel (c stays pointed at the caller's numbers).
    void start(mpf_srcptr x, mpf_srcptr y, mpf_srcptr cr, mpf_srcptr ci)
    {
        mpf_set(m_zr, x);
        mpf_set(m_zi, y);
        m_cr = cr;
        m_ci = ci;
    }

    template <KernelKind kKind> PixelResult iterate(std::int64_t iterMax, unsigned long bound)
    {
        constexpr bool kLagged = kKind == KernelKind::Lagged || kKind == KernelKind::LaggedPlain ||
                                 kKind == KernelKind::MixedOrbit;
        const std::int64_t start = kLagged ? fastPassLagged(iterMax) : fastPass(iterMax);
        return exactPass<kKind>(start, iterMax, bound);
    }

private:
    /// t = zr zi, zr2 = zr^2, zi2 = zi^2 of (r, i).
    void products(mpf_srcptr r, mpf_srcptr i)
    {
        mpf_mul(m_t, r, i);
        mpf_mul(m_zr2, r, r);
        mpf_mul(m_zi2, i, i);
    }

    /// z = z^2 + c from the products: zi = (t + t) + ci, zr = (zr2 - zi2) + cr.
    void finishStep()
    {
        mpf_add(m_zi, m_t, m_t);
        mpf_add(m_zi, m_zi, m_ci);
        mpf_sub(m_zr, m_zr2, m_zi2);
        mpf_add(m_zr, m_zr, m_cr);
    }

    /// Starts a block: the current z becomes the block start.
    void beginBlock()
    {
        std::swap(m_zr, m_zsr);
        std::swap(m_zi, m_zsi);
    }

    /// Three iterations from the block start and the products of the third iterate.
    void threeStepsAndProducts()
    {
        products(m_zsr, m_zsi);
        finishStep();
        products(m_zr, m_zi);
        finishStep();
        products(m_zr, m_zi);
        finishStep();
        products(m_zr, m_zi);
    }

    /// Keeps z within the exponent bound: parts below it become zero. False when z has gone
    /// beyond it.
    bool keepInRange()
    {
        if (outsideExponentRange(m_zr)) [[unlikely]] {
            if (m_zr->_mp_exp > 0) {
                return false;
            }
            mpf_set_ui(m_zr, 0);
        }
        if (outsideExponentRange(m_zi)) [[unlikely]] {
            if (m_zi->_mp_exp > 0) {
                return false;
            }
            mpf_set_ui(m_zi, 0);
        }
        return true;
    }

    /// Kinds 1 and 2: blocks of four iterations whose third iterate is tested against 4. Leaves z
    /// at the start of the block in which the test held and returns its index. When the blocks
    /// run out, that is the last block's start, so that an escape inside it is still found.
    std::int64_t fastPass(std::int64_t iterMax)
    {
        std::int64_t blockStart = -1;
        for (std::int64_t k = 3; k <= iterMax; k += 4) {
            beginBlock();
            blockStart = k - 3;
            threeStepsAndProducts();
            mpf_add(m_u, m_zr2, m_zi2);
            if (mpf_cmp_ui(m_u, 4) > 0) {
                break;
            }
            finishStep();
            if (!keepInRange()) {
                break;
            }
        }
        return backToBlockStart(blockStart);
    }

    /// Kinds 3 to 5: as fastPass, but a block is left on the previous block's |z|^2 (held as a
    /// double, 2 before the first block), so z is the start of the block after it. The test comes
    /// before the block's iterations, which would only be thrown away.
    std::int64_t fastPassLagged(std::int64_t iterMax)
    {
        std::int64_t blockStart = -1;
        double previous = 2.0;
        for (std::int64_t k = 3; k <= iterMax; k += 4) {
            beginBlock();
            blockStart = k - 3;
            if (previous > 4.0) {
                break;
            }
            threeStepsAndProducts();
            mpf_add(m_u, m_zr2, m_zi2);
            previous = mpf_get_d(m_u);
            finishStep();
            if (!keepInRange()) {
                break;
            }
        }
        return backToBlockStart(blockStart);
    }

    /// z becomes the block start again (no block at all: z is still the pixel's start).
    std::int64_t backToBlockStart(std::int64_t blockStart)
    {
        if (blockStart < 0) {
            return 0;
        }
        beginBlock();
        return blockStart;
    }

    /// Tests every iterate from index `first` up to iterMax inclusive with the kind's own test,
    /// iterating with the kind's own map in between.
    template <KernelKind kKind>
    PixelResult exactPass(std::int64_t first, std::int64_t iterMax, unsigned long bound)
    {
        for (std::int64_t i = first; i <= iterMax; ++i) {
            if constexpr (kKind == KernelKind::Plain || kKind == KernelKind::LaggedPlain) {
                mpf_mul(m_zr2, m_zr, m_zr);
                mpf_mul(m_zi2, m_zi, m_zi);
                mpf_add(m_u, m_zr2, m_zi2);
                if (mpf_cmp_ui(m_u, bound) > 0) {
                    return escapedWith(i + 5, m_zr2, m_zi2);
                }
                mpf_mul(m_t, m_zr, m_zi);
                finishStep();
            } else if constexpr (kKind == KernelKind::RealSquare || kKind == KernelKind::Lagged) {
                mpf_mul(m_zr2, m_zr, m_zr);
                mpf_mul(m_t, m_zr, m_zi);
                mpf_add(m_u, m_zr2, m_t);
                mpf_mul(m_zi2, m_zi, m_zi);
                if (mpf_cmp_ui(m_u, bound) > 0) {
                    // Kind 2 counts from the start itself; a count of 0 would mark a pixel that
                    // escaped at its start as one that never escapes, so that pixel counts 1.
                    const std::int64_t count =
                        kKind == KernelKind::RealSquare ? std::max<std::int64_t>(i, 1) : i + 5;
                    return escapedWith(count, m_zr2, m_zi2);
                }
                finishStep();
            } else {
                // The mixed orbit: zr = (zr^2 - zr (zi^2)) + cr, zi = (t + t) + ci.
                mpf_mul(m_zr2, m_zr, m_zr);
                mpf_mul(m_zi2, m_zi, m_zi);
                mpf_mul(m_p, m_zr, m_zi2);
                mpf_mul(m_t, m_zr, m_zi);
                mpf_add(m_u, m_p, m_t);
                if (mpf_cmp_ui(m_u, bound) > 0) {
                    return escapedWith(i + 5, m_zr2, m_p);
                }
                mpf_add(m_zi, m_t, m_t);
                mpf_add(m_zi, m_zi, m_ci);
                mpf_sub(m_zr, m_zr2, m_p);
                mpf_add(m_zr, m_zr, m_cr);
            }
            if (!keepInRange()) {
                break; // gone off to infinity without the test ever holding: not escaped
            }
        }
        return {0, static_cast<float>(mpf_get_d(m_zr)), static_cast<float>(mpf_get_d(m_zi))};
    }

    MpFloat m_r0, m_i0, m_r1, m_i1;
    MpFloat m_tValue, m_zr2Value, m_zi2Value, m_uValue, m_pValue;
    // Plain pointers, so that the loops pass GMP its arguments without any wrapper.
    const mpf_ptr m_t = m_tValue.get();
    const mpf_ptr m_zr2 = m_zr2Value.get();
    const mpf_ptr m_zi2 = m_zi2Value.get();
    const mpf_ptr m_u = m_uValue.get();
    const mpf_ptr m_p = m_pValue.get();
    mpf_ptr m_zr = m_r0.get();
    mpf_ptr m_zi = m_i0.get();
    mpf_ptr m_zsr = m_r1.get();
    mpf_ptr m_zsi = m_i1.get();
    mpf_srcptr m_cr = nullptr;
    mpf_srcptr m_ci = nullptr;
};

bool stopRequested(const DeepStripJob& job)
{
    return job.stopFlag != nullptr && job.stopFlag->load(std::memory_order_relaxed) != 0;
}

template <KernelKind kKind>
void runStrip(const DeepStripJob& job, std::int32_t pictureHeight,
              std::chrono::milliseconds progressInterval)
{
    using Clock = std::chrono::steady_clock;
    const auto bits = static_cast<unsigned long>(job.precisionBits);
    const bool mandelbrot = job.mandelbrot != 0;
    const std::int64_t iterMax = job.iterMax;
    const unsigned long bound = deepEscapeBound(job.bailout);
    const std::int32_t lastRow = std::min(job.lastRow, pictureHeight - 1);
    const auto width = static_cast<std::size_t>(std::max(job.width, 0));

    DeepOrbit orbit(bits);
    MpFloat x(bits);
    MpFloat y(job.y0.get(), bits);
    MpFloat juliaCr(job.juliaCr.get(), bits);
    MpFloat juliaCi(job.juliaCi.get(), bits);
    const mpf_srcptr cr = mandelbrot ? x.get() : juliaCr.get();
    const mpf_srcptr ci = mandelbrot ? y.get() : juliaCi.get();

    auto lastReport = Clock::now();
    std::int32_t rowsDone = 0;
    for (std::int32_t row = job.firstRow; row <= lastRow; ++row) {
        const std::size_t rowStart = static_cast<std::size_t>(row - job.firstRow) * width;
        mpf_set(x.get(), job.x0.get());
        for (std::size_t col = 0; col < width; ++col) {
            orbit.start(x.get(), y.get(), cr, ci);
            const PixelResult result = orbit.iterate<kKind>(iterMax, bound);
            job.counts[rowStart + col] = result.count;
            job.a[rowStart + col] = result.a;
            job.b[rowStart + col] = result.b;
            mpf_add(x.get(), x.get(), job.dx.get());
            if (stopRequested(job)) {
                return;
            }
            if (job.yieldsProcessor && col % 8 == 0) {
                std::this_thread::yield();
            }
        }
        mpf_add(y.get(), y.get(), job.dy.get());
        ++rowsDone;
        if (job.progress != nullptr) {
            const auto now = Clock::now();
            if (now - lastReport >= progressInterval) {
                // Deep strips share their last row with the next strip, so the count leaves
                // it out: a fresh strip reports rowsPerStrip, as the progress title expects.
                job.progress->store(std::max(job.lastRow - job.firstRow - rowsDone, 0),
                                    std::memory_order_relaxed);
                lastReport = now;
            }
        }
    }
}

} // namespace

unsigned long deepEscapeBound(double bailout)
{
    constexpr unsigned long kLargest = 1ul << 31;
    if (!(bailout >= 0.0)) {
        return 0; // negative or NaN: a wrapped unsigned bound would let nothing escape
    }
    if (bailout >= 2147483647.5) {
        return kLargest; // rounds to 2^31 or beyond, where the int32 conversion gives up
    }
    return static_cast<unsigned long>(roundHalfEven(bailout));
}

void runDeepStripJob(const DeepStripJob& job, KernelKind kind, std::int32_t pictureHeight,
                     std::chrono::milliseconds progressInterval)
{
    switch (kind) {
    case KernelKind::Plain:
        runStrip<KernelKind::Plain>(job, pictureHeight, progressInterval);
        break;
    case KernelKind::RealSquare:
        runStrip<KernelKind::RealSquare>(job, pictureHeight, progressInterval);
        break;
    case KernelKind::Lagged:
        runStrip<KernelKind::Lagged>(job, pictureHeight, progressInterval);
        break;
    case KernelKind::LaggedPlain:
        runStrip<KernelKind::LaggedPlain>(job, pictureHeight, progressInterval);
        break;
    case KernelKind::MixedOrbit:
        runStrip<KernelKind::MixedOrbit>(job, pictureHeight, progressInterval);
        break;
    }
}

bool lowerOwnPriority()
{
    sched_param param{};
    param.sched_priority = 0;
    if (pthread_setschedparam(pthread_self(), SCHED_IDLE, &param) == 0) {
        return true;
    }
    // Linux applies a nice value to the one thread whose id is given.
    return setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19) == 0;
}

} // namespace qv
