// The extended-precision kernels: the fast pass in x87 code that keeps up to three orbits in
// the register stack, the exact passes, the per-pixel kernel and the strip worker.
#include "engine/kernels_extended.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstddef>
#include <thread>

namespace qv {

namespace {

constexpr std::int32_t kLowestIterMax = 3;
constexpr std::int32_t kHighestIterMax = std::numeric_limits<std::int32_t>::max() - 1024;

/// How far the exact pass of kinds 1 and 2 may count on below zero (see exactPassA).
constexpr std::int32_t kCountOnSteps = 256;

constexpr std::uint32_t kFourBits = std::bit_cast<std::uint32_t>(4.0f);

/// Orbits advanced side by side by the fast pass: one iteration is a chain of a multiply and
/// two adds whose latency is about three times the time the x87 unit needs to issue one
/// iteration's work, so three orbits keep it busy. Three orbits (six numbers) and the shared ci
/// also fill the eight registers but one.
constexpr int kLanes = 3;

/// The x87 control word of the kernels: round to nearest, 64-bit mantissa, all exceptions
/// masked (overflow and invalid results become infinities and NaNs).
constexpr std::uint16_t kControlWord = 0x037F;

/// Puts the x87 control word of the kernels in force for its lifetime (Linux starts every
/// thread with it; this guards against a library that changed it).
class ExtendedPrecisionScope
{
public:
    ExtendedPrecisionScope()
    {
        asm volatile("fnstcw %0" : "=m"(m_saved));
        if (m_saved != kControlWord) {
            const std::uint16_t word = kControlWord;
            asm volatile("fldcw %0" : : "m"(word));
        }
    }

    ~ExtendedPrecisionScope()
    {
        if (m_saved != kControlWord) {
            asm volatile("fldcw %0" : : "m"(m_saved));
        }
    }

    ExtendedPrecisionScope(const ExtendedPrecisionScope&) = delete;
    ExtendedPrecisionScope& operator=(const ExtendedPrecisionScope&) = delete;

private:
    std::uint16_t m_saved = kControlWord;
};

/// The state of the orbits in the fast pass, shared with the x87 code (which takes the field
/// offsets as operands and steps through the arrays by element size). Kinds 1 and 2 use q and
/// count as their counter r; kinds 3 to 5 use t and count as their index k.
struct alignas(16) FastLanes
{
    long double zr[kLanes] = {};
    long double zi[kLanes] = {};
    long double zsr[kLanes] = {}; ///< block start, saved every fourth block (see below)
    long double zsi[kLanes] = {};
    long double cr[kLanes] = {};
    long double ci = 0.0L;    ///< one ci for all orbits: they lie in one row, or share juliaC
    double crHi[kLanes] = {}; ///< cr = crHi + crLo exactly (the three-orbit loop adds both)
    double crLo[kLanes] = {};
    double ciHi = 0.0;
    double ciLo = 0.0;
    double t[kLanes] = {};            ///< kinds 3 to 5: |z|^2 of the third iterate
    std::uint32_t q[kLanes] = {};     ///< kinds 1 and 2: float bits of |z|^2 of the third iterate
    std::int32_t count[kLanes] = {};  ///< r (kinds 1, 2) or k (kinds 3 to 5)
    std::int32_t kLimit = 0;          ///< kinds 3 to 5: iterMax - 3
    std::int32_t blocksAfterSave = 0; ///< blocks run after zs was last saved
};

static_assert(sizeof(long double) == 16, "the x87 code steps through long doubles by 16 bytes");
static_assert(kLanes == 3, "the x87 code names the slots of three orbits");

// The fast pass in x87 code. Register stack between steps, top first: ci, zr0, zi0, zr1, zi1,
// zr2, zi2 (one orbit: ci, zr0, zi0). Every step is z <- z^2 + c in the order of operations of
// the exact pass: zr' = (zr*zr - zi*zi) + cr, zi' = (zr*zi + zr*zi) + ci; the fourth step of a
// block also stores zr*zr + zi*zi of the third iterate, as a float (q, kinds 1 and 2) or as a
// double (t, kinds 3 to 5). qv_step and qv_test take the stack positions of the orbit's zi
// and of the slot below it, the orbit's number l, g (1: load c as 80-bit numbers; 0: as pairs
// of doubles that add up exactly to c, which is much faster; a c without such a pair is
// computed alone) and b (1: store t; 0: store q); qv_zsave takes the positions of zr and zi.
//   qv_step: one iteration with ci in the register stack.
//   qv_test: one iteration with ci left in memory, as the sum needs the eighth register.
//   qv_block1, qv_block3: one fast block of one or three orbits; with s = 1 the block start z
//     is saved first. Storing an 80-bit number is slow, so the three-orbit loop saves it only
//     every fourth block and notes in r9 how many blocks followed (finishLane recomputes the
//     start of the block where the pass ended from there).
//   qv_endA, qv_endB: the counters and the tests that end the pass of any orbit.
// clang-format off
#define QV_X87_MACROS                                                                  \
    ".macro qv_ldcr l, g\n"                                                            \
    ".if \\g\n"                                                                        \
    "  fldt %c[cr]+16*\\l(%[p])\n"                                                     \
    ".else\n"                                                                          \
    "  fldl %c[crHi]+8*\\l(%[p])\n"                                                    \
    "  faddl %c[crLo]+8*\\l(%[p])\n"                                                   \
    ".endif\n"                                                                         \
    ".endm\n"                                                                          \
    ".macro qv_ldci g\n"                                                               \
    ".if \\g\n"                                                                        \
    "  fldt %c[ci](%[p])\n"                                                            \
    ".else\n"                                                                          \
    "  fldl %c[ciHi](%[p])\n"                                                          \
    "  faddl %c[ciLo](%[p])\n"                                                         \
    ".endif\n"                                                                         \
    ".endm\n"                                                                          \
    ".macro qv_zsave r, i, l\n"                                                        \
    "  fld %%st(\\r)\n"                                                                \
    "  fstpt %c[zsr]+16*\\l(%[p])\n"                                                   \
    "  fld %%st(\\i)\n"                                                                \
    "  fstpt %c[zsi]+16*\\l(%[p])\n"                                                   \
    ".endm\n"                                                                          \
    ".macro qv_step i, j, l, g\n"                                                      \
    "  fld %%st(\\i)\n"            /* zi*zi on top */                                  \
    "  fmul %%st(0), %%st\n"                                                           \
    "  fxch %%st(\\i)\n"           /* zr on top, zi*zi in zr's slot */                 \
    "  fmul %%st, %%st(\\j)\n"     /* zi's slot: zr*zi */                              \
    "  fmul %%st(0), %%st\n"       /* zr*zr */                                         \
    "  fsubp %%st, %%st(\\i)\n"    /* zr*zr - zi*zi, in zr's slot */                   \
    "  qv_ldcr \\l, \\g\n"                                                             \
    "  faddp %%st, %%st(\\i)\n"    /* zr' */                                           \
    "  fxch %%st(\\i)\n"           /* zr*zi on top, ci in its slot */                  \
    "  fadd %%st(0), %%st\n"                                                           \
    "  fadd %%st(\\i), %%st\n"     /* zi' */                                           \
    "  fxch %%st(\\i)\n"                                                               \
    ".endm\n"                                                                          \
    ".macro qv_test i, j, l, g, b\n"                                                   \
    "  fld %%st(\\i)\n"                                                                \
    "  fmul %%st(0), %%st\n"                                                           \
    "  fxch %%st(\\i)\n"                                                               \
    "  fmul %%st, %%st(\\j)\n"                                                         \
    "  fmul %%st(0), %%st\n"                                                           \
    "  fld %%st(0)\n"                                                                  \
    "  fadd %%st(\\j), %%st\n"     /* zr*zr + zi*zi */                                 \
    ".if \\b\n"                                                                        \
    "  fstpl %c[t]+8*\\l(%[p])\n"                                                      \
    ".else\n"                                                                          \
    "  fstps %c[q]+4*\\l(%[p])\n"                                                      \
    ".endif\n"                                                                         \
    "  fsubp %%st, %%st(\\i)\n"                                                        \
    "  qv_ldcr \\l, \\g\n"                                                             \
    "  faddp %%st, %%st(\\i)\n"                                                        \
    "  fxch %%st(\\i)\n"                                                               \
    "  fadd %%st(0), %%st\n"                                                           \
    "  qv_ldci \\g\n"                                                                  \
    "  faddp %%st, %%st(1)\n"                                                          \
    "  fxch %%st(\\i)\n"                                                               \
    ".endm\n"                                                                          \
    ".macro qv_block1 g, b\n"                                                          \
    "  qv_zsave 1, 2, 0\n"                                                             \
    "  qv_step 2, 3, 0, \\g\n"                                                         \
    "  qv_step 2, 3, 0, \\g\n"                                                         \
    "  qv_step 2, 3, 0, \\g\n"                                                         \
    "  fstp %%st(0)\n"                                                                 \
    "  qv_test 1, 2, 0, \\g, \\b\n"                                                    \
    "  qv_ldci \\g\n"                                                                  \
    ".endm\n"                                                                          \
    ".macro qv_block3 g, b, s\n"                                                       \
    ".if \\s\n"                                                                        \
    "  qv_zsave 1, 2, 0\n"                                                             \
    "  qv_zsave 3, 4, 1\n"                                                             \
    "  qv_zsave 5, 6, 2\n"                                                             \
    ".endif\n"                                                                         \
    ".rept 3\n"                                                                        \
    "  qv_step 2, 3, 0, \\g\n"                                                         \
    "  qv_step 4, 5, 1, \\g\n"                                                         \
    "  qv_step 6, 7, 2, \\g\n"                                                         \
    ".endr\n"                                                                          \
    "  fstp %%st(0)\n"                                                                 \
    "  qv_test 1, 2, 0, \\g, \\b\n"                                                    \
    "  qv_test 3, 4, 1, \\g, \\b\n"                                                    \
    "  qv_test 5, 6, 2, \\g, \\b\n"                                                    \
    "  qv_ldci \\g\n"                                                                  \
    ".endm\n"                                                                          \
    /* Kinds 1 and 2: r <- r - 4; the pass ends at q >= 4.0f (bits) or r < 0. */        \
    ".macro qv_exitA l\n"                                                              \
    "  cmpl $0x40800000, %c[q]+4*\\l(%[p])\n"                                          \
    "  jae 2f\n"                                                                       \
    "  cmpl $0, %c[count]+4*\\l(%[p])\n"                                               \
    "  jl 2f\n"                                                                        \
    ".endm\n"                                                                          \
    ".macro qv_endA j, n\n"                                                            \
    "  movl $\\j, %%r9d\n"                                                             \
    "  subl $4, %c[count](%[p])\n"                                                     \
    ".if \\n - 1\n"                                                                    \
    "  subl $4, %c[count]+4(%[p])\n"                                                   \
    "  subl $4, %c[count]+8(%[p])\n"                                                   \
    ".endif\n"                                                                         \
    "  qv_exitA 0\n"                                                                   \
    ".if \\n - 1\n"                                                                    \
    "  qv_exitA 1\n"                                                                   \
    "  qv_exitA 2\n"                                                                   \
    ".endif\n"                                                                         \
    ".endm\n"                                                                          \
    /* Kinds 3 to 5: k <- k + 4; the pass ends at k > iterMax - 3 or at t > 4.0 as a */ \
    /* double: above the bits of 4.0 as a signed integer, not above those of infinity. */ \
    ".macro qv_exitB l\n"                                                              \
    "  cmpl %%r8d, %c[count]+4*\\l(%[p])\n"                                            \
    "  jg 2f\n"                                                                        \
    "  movq %c[t]+8*\\l(%[p]), %%rax\n"                                                \
    "  cmpq %%rcx, %%rax\n"                                                            \
    "  jle 3f\n"                                                                       \
    "  cmpq %%rdx, %%rax\n"                                                            \
    "  jbe 2f\n"                                                                       \
    "3:\n"                                                                             \
    ".endm\n"                                                                          \
    ".macro qv_endB j, n\n"                                                            \
    "  movl $\\j, %%r9d\n"                                                             \
    "  addl $4, %c[count](%[p])\n"                                                     \
    ".if \\n - 1\n"                                                                    \
    "  addl $4, %c[count]+4(%[p])\n"                                                   \
    "  addl $4, %c[count]+8(%[p])\n"                                                   \
    ".endif\n"                                                                         \
    "  qv_exitB 0\n"                                                                   \
    ".if \\n - 1\n"                                                                    \
    "  qv_exitB 1\n"                                                                   \
    "  qv_exitB 2\n"                                                                   \
    ".endif\n"                                                                         \
    ".endm\n"

#define QV_X87_PURGE                                                                   \
    ".purgem qv_ldcr\n.purgem qv_ldci\n.purgem qv_zsave\n.purgem qv_step\n"            \
    ".purgem qv_test\n.purgem qv_block1\n.purgem qv_block3\n.purgem qv_exitA\n"        \
    ".purgem qv_endA\n.purgem qv_exitB\n.purgem qv_endB\n"

#define QV_X87_LOAD1 "fldt %c[zi](%[p])\n fldt %c[zr](%[p])\n"
#define QV_X87_STORE1 "fstp %%st(0)\n fstpt %c[zr](%[p])\n fstpt %c[zi](%[p])\n"
#define QV_X87_LOAD3                                                                   \
    "fldt %c[zi]+32(%[p])\n fldt %c[zr]+32(%[p])\n"                                    \
    "fldt %c[zi]+16(%[p])\n fldt %c[zr]+16(%[p])\n"                                    \
    "fldt %c[zi](%[p])\n fldt %c[zr](%[p])\n"
#define QV_X87_STORE3                                                                  \
    "fstp %%st(0)\n"                                                                   \
    "fstpt %c[zr](%[p])\n fstpt %c[zi](%[p])\n"                                        \
    "fstpt %c[zr]+16(%[p])\n fstpt %c[zi]+16(%[p])\n"                                  \
    "fstpt %c[zr]+32(%[p])\n fstpt %c[zi]+32(%[p])\n"
#define QV_X87_SETUP_B                                                                 \
    "movabsq $0x4010000000000000, %%rcx\n"                                             \
    "movabsq $0x7FF0000000000000, %%rdx\n"                                             \
    "movl %c[kLimit](%[p]), %%r8d\n"
#define QV_X87_GROUP3(g, end)                                                          \
    "qv_block3 " g ", 1\n " end " 0, 3\n"                                              \
    "qv_block3 " g ", 0\n " end " 1, 3\n"                                              \
    "qv_block3 " g ", 0\n " end " 2, 3\n"                                              \
    "qv_block3 " g ", 0\n " end " 3, 3\n"
// The field offsets the code above names, as operands of every fast-pass statement: each one
// defines all the macros, so each needs all the names.
#define QV_X87_FIELDS                                                                  \
    [zr] "i"(offsetof(FastLanes, zr)), [zi] "i"(offsetof(FastLanes, zi)),              \
    [zsr] "i"(offsetof(FastLanes, zsr)), [zsi] "i"(offsetof(FastLanes, zsi)),          \
    [cr] "i"(offsetof(FastLanes, cr)), [ci] "i"(offsetof(FastLanes, ci)),              \
    [crHi] "i"(offsetof(FastLanes, crHi)), [crLo] "i"(offsetof(FastLanes, crLo)),      \
    [ciHi] "i"(offsetof(FastLanes, ciHi)), [ciLo] "i"(offsetof(FastLanes, ciLo)),      \
    [t] "i"(offsetof(FastLanes, t)), [q] "i"(offsetof(FastLanes, q)),                  \
    [count] "i"(offsetof(FastLanes, count)), [kLimit] "i"(offsetof(FastLanes, kLimit)), \
    [blocksAfterSave] "i"(offsetof(FastLanes, blocksAfterSave))
#define QV_X87_CLOBBERS                                                                \
    "memory", "cc", "rax", "rcx", "rdx", "r8", "r9", "st", "st(1)", "st(2)", "st(3)",  \
        "st(4)", "st(5)", "st(6)", "st(7)"

/// Kinds 1 and 2, one orbit with c loaded as 80-bit numbers: blocks until the pass ends.
[[gnu::noinline]] void fastPassA1(FastLanes& f)
{
    asm volatile(QV_X87_MACROS
                 QV_X87_LOAD1 "qv_ldci 1\n"
                 "1:\n"
                 "qv_block1 1, 0\n"
                 "qv_endA 0, 1\n"
                 "jmp 1b\n"
                 "2:\n"
                 QV_X87_STORE1 QV_X87_PURGE
                 : : [p] "r"(&f), QV_X87_FIELDS : QV_X87_CLOBBERS);
}

/// Kinds 1 and 2, three orbits with c as pairs of doubles: blocks until one of them ends.
[[gnu::noinline]] void fastPassA3(FastLanes& f)
{
    asm volatile(QV_X87_MACROS
                 QV_X87_LOAD3 "qv_ldci 0\n"
                 "1:\n"
                 QV_X87_GROUP3("0, 0", "qv_endA")
                 "jmp 1b\n"
                 "2:\n"
                 "movl %%r9d, %c[blocksAfterSave](%[p])\n"
                 QV_X87_STORE3 QV_X87_PURGE
                 : : [p] "r"(&f), QV_X87_FIELDS : QV_X87_CLOBBERS);
}

/// Kinds 3 to 5, one orbit with c loaded as 80-bit numbers.
[[gnu::noinline]] void fastPassB1(FastLanes& f)
{
    asm volatile(QV_X87_MACROS QV_X87_SETUP_B
                 QV_X87_LOAD1 "qv_ldci 1\n"
                 "1:\n"
                 "qv_block1 1, 1\n"
                 "qv_endB 0, 1\n"
                 "jmp 1b\n"
                 "2:\n"
                 QV_X87_STORE1 QV_X87_PURGE
                 : : [p] "r"(&f), QV_X87_FIELDS : QV_X87_CLOBBERS);
}

/// Kinds 3 to 5, three orbits with c as pairs of doubles.
[[gnu::noinline]] void fastPassB3(FastLanes& f)
{
    asm volatile(QV_X87_MACROS QV_X87_SETUP_B
                 QV_X87_LOAD3 "qv_ldci 0\n"
                 "1:\n"
                 QV_X87_GROUP3("0, 1", "qv_endB")
                 "jmp 1b\n"
                 "2:\n"
                 "movl %%r9d, %c[blocksAfterSave](%[p])\n"
                 QV_X87_STORE3 QV_X87_PURGE
                 : : [p] "r"(&f), QV_X87_FIELDS : QV_X87_CLOBBERS);
}

// clang-format on

/// c as two doubles whose extended sum is exactly c, when there are such (not for infinities,
/// NaNs and numbers far outside the range of double).
bool splitIntoDoubles(long double c, double& hi, double& lo)
{
    if (c == 0.0L) {
        hi = lo = static_cast<double>(c); // -0 + -0 keeps the sign of a negative zero
        return true;
    }
    hi = static_cast<double>(c);
    lo = static_cast<double>(c - static_cast<long double>(hi));
    return static_cast<long double>(hi) + static_cast<long double>(lo) == c;
}

constexpr bool isLayoutA(KernelKind kind)
{
    return kind == KernelKind::Plain || kind == KernelKind::RealSquare;
}

/// Kinds 1 and 2: the exact pass from the block start zs with the counter r + 3, testing every
/// iterate; count = iterMax - r + 1 at the escape.
template <KernelKind K>
PixelEscape exactPassA(long double zr, long double zi, long double cr, long double ci,
                       std::int32_t r, const EscapeLimits& lim)
{
    r += 3;
    // A kind 1 pixel that left the fast pass in its last block arrives with r <= 0. The counter
    // then goes on below zero, as a loop closed by "r reaches 0" does, so the pixel gets a count
    // a little above iterMax: its orbit has reached |z|^2 >= 4 and escapes within a few steps.
    // An orbit that stays on the radius-2 circle (c = -2, or a fixed point of a Julia map)
    // never would, so counting on ends after kCountOnSteps and the pixel counts as inside.
    do {
        const long double sr = zr * zr;
        const long double si = zi * zi;
        const long double p = zr * zi;
        // Float bits compared as unsigned integers: infinity and NaN lie above every limit.
        const bool out =
            K == KernelKind::Plain
                ? std::bit_cast<std::uint32_t>(static_cast<float>(sr + si)) > lim.bailoutBits
                : std::bit_cast<std::uint32_t>(static_cast<float>(2.0L * sr)) >= lim.bailoutBits;
        if (out) {
            return {lim.iterMax - r + 1, static_cast<float>(sr), static_cast<float>(si)};
        }
        zr = (sr - si) + cr;
        zi = 2.0L * p + ci;
        --r;
    } while (r != 0 && r > -kCountOnSteps);
    if constexpr (K == KernelKind::Plain) {
        return {0, static_cast<float>(zi), static_cast<float>(zr)};
    } else {
        return {0, static_cast<float>(zr), static_cast<float>(zi)};
    }
}

/// Kinds 3 to 5: the exact pass from z with index i, one test per iterate up to iterMax;
/// count = i + 5 at the escape.
template <KernelKind K>
PixelEscape exactPassB(long double zr, long double zi, long double cr, long double ci,
                       std::int32_t i, const EscapeLimits& lim)
{
    if constexpr (K == KernelKind::MixedOrbit) {
        // The fast pass ran the plain map; from here on the orbit follows
        // zr <- zr^2 - zr zi^2 + cr, which is what draws this mode.
        long double p = zr * zi;
        for (; i <= lim.iterMax; ++i) {
            p = zr * zi;
            const long double m = zr * (zi * zi);
            if (m + p > lim.bailout) {
                return {i + 5, static_cast<float>(p), static_cast<float>(m)};
            }
            zr = (zr * zr - m) + cr;
            zi = 2.0L * p + ci;
        }
        return {0, static_cast<float>(p), static_cast<float>(zi)};
    } else {
        for (; i <= lim.iterMax; ++i) {
            const long double sr = zr * zr;
            const long double si = zi * zi;
            const long double p = zr * zi;
            const bool out = K == KernelKind::Lagged ? sr + p > lim.bailout : sr + si > lim.bailout;
            if (out) {
                return {i + 5, static_cast<float>(sr), static_cast<float>(si)};
            }
            zr = (sr - si) + cr;
            zi = 2.0L * p + ci;
        }
        return {0, static_cast<float>(zr), static_cast<float>(zi)};
    }
}

/// Whether the fast pass of orbit l has ended.
template <KernelKind K> bool laneEnded(const FastLanes& f, int l)
{
    if constexpr (isLayoutA(K)) {
        return f.q[l] >= kFourBits || f.count[l] < 0;
    } else {
        return f.count[l] > f.kLimit || f.t[l] > 4.0;
    }
}

/// The start of the block in which orbit l's fast pass ended: the saved start advanced by the
/// blocks that ran after it, with the fast pass's own iteration.
void lastBlockStart(const FastLanes& f, int l, long double& zr, long double& zi)
{
    zr = f.zsr[l];
    zi = f.zsi[l];
    for (std::int32_t n = 0; n < 4 * f.blocksAfterSave; ++n) {
        const long double sr = zr * zr;
        const long double si = zi * zi;
        const long double p = zr * zi;
        zr = (sr - si) + f.cr[l];
        zi = 2.0L * p + f.ci;
    }
}

/// The exact pass of orbit l after its fast pass ended.
template <KernelKind K> PixelEscape finishLane(const FastLanes& f, int l, const EscapeLimits& lim)
{
    const std::int32_t n = f.count[l];
    long double zsr = 0.0L;
    long double zsi = 0.0L;
    lastBlockStart(f, l, zsr, zsi);
    if constexpr (isLayoutA(K)) {
        if (f.q[l] < kFourBits) {
            return exactPassA<K>(zsr, zsi, f.cr[l], f.ci, 0, lim); // ran out
        }
        // Kind 2 counts only the blocks that did not leave the fast pass.
        return exactPassA<K>(zsr, zsi, f.cr[l], f.ci, K == KernelKind::RealSquare ? n + 4 : n, lim);
    } else {
        if (n > f.kLimit) {
            // Run out without an exit: the exact pass starts from the last block's start (index
            // k - 7 after its k <- k + 4), so that an escape inside that block is found.
            return exactPassB<K>(zsr, zsi, f.cr[l], f.ci, n - 7, lim);
        }
        // t, kept as a double and tested with t > 4.0 (so a NaN never ends the pass), was
        // above 4: the next block would leave at once and back up to its start, which is z.
        return exactPassB<K>(f.zr[l], f.zi[l], f.cr[l], f.ci, n - 3, lim);
    }
}

/// Puts a new orbit into slot l (the pair cr = crHi + crLo is set by the caller).
template <KernelKind K>
void startLane(FastLanes& f, int l, const EscapeLimits& lim, long double zr, long double zi,
               long double cr)
{
    f.zr[l] = zr;
    f.zi[l] = zi;
    f.cr[l] = cr;
    f.count[l] = isLayoutA(K) ? lim.iterMax - 3 : 3;
}

/// Whether kinds 3 to 5 have no fast block at all: the loop needs k = 3 <= iterMax - 3.
bool noFastBlockB(const EscapeLimits& lim)
{
    return lim.iterMax < 6;
}

/// One pixel through the one-orbit fast pass, c loaded as 80-bit numbers.
template <KernelKind K>
PixelEscape iterateAlone(const EscapeLimits& lim, long double zr, long double zi, long double cr,
                         long double ci)
{
    if constexpr (!isLayoutA(K)) {
        if (noFastBlockB(lim)) {
            return exactPassB<K>(zr, zi, cr, ci, 0, lim);
        }
    }
    FastLanes f;
    f.ci = ci;
    f.kLimit = lim.iterMax - 3;
    startLane<K>(f, 0, lim, zr, zi, cr);
    if constexpr (isLayoutA(K)) {
        fastPassA1(f);
    } else {
        fastPassB1(f);
    }
    return finishLane<K>(f, 0, lim);
}

/// What the row walk needs from a job.
struct RowContext
{
    const StripJob& job;
    const EscapeLimits& lim;
    bool pollStop;
};

bool stopRequested(const RowContext& ctx)
{
    return ctx.pollStop && ctx.job.stopFlag != nullptr &&
           ctx.job.stopFlag->load(std::memory_order_relaxed) != 0;
}

enum class LaneStart { Started, RowDone, Stopped };

/// Computes one row at height y into the row's outputs. Returns false when the stop flag was
/// seen after a pixel; pixels not written by then keep their previous values.
template <KernelKind K>
bool computeRow(const RowContext& ctx, long double y, std::int32_t* counts, float* a, float* b)
{
    const StripJob& job = ctx.job;
    const EscapeLimits& lim = ctx.lim;
    const bool mandelbrot = job.mandelbrot != 0;
    const long double ci = mandelbrot ? y : job.juliaCi;

    auto store = [&](std::int32_t i, const PixelEscape& e) {
        const auto at = static_cast<std::size_t>(i);
        counts[at] = e.count;
        a[at] = e.a;
        b[at] = e.b;
        return !stopRequested(ctx);
    };

    FastLanes f;
    f.ci = ci;
    f.kLimit = lim.iterMax - 3;
    bool lanesUsable = splitIntoDoubles(ci, f.ciHi, f.ciLo);
    if constexpr (!isLayoutA(K)) {
        lanesUsable = lanesUsable && !noFastBlockB(lim);
    }
    std::int32_t pixelOf[kLanes] = {};
    long double x = job.xmin;
    std::int32_t next = 0;

    // Takes the row's next pixel into slot l; x steps by repeated addition. A pixel whose c
    // cannot be carried as two doubles is computed alone at once.
    auto start = [&](int l) {
        while (next < job.width) {
            const std::int32_t i = next++;
            const long double px = x;
            x += job.dx;
            const long double cr = mandelbrot ? px : job.juliaCr;
            if (lanesUsable && splitIntoDoubles(cr, f.crHi[l], f.crLo[l])) {
                startLane<K>(f, l, lim, px, y, cr);
                pixelOf[l] = i;
                return LaneStart::Started;
            }
            if (!store(i, iterateAlone<K>(lim, px, y, cr, ci))) {
                return LaneStart::Stopped;
            }
        }
        return LaneStart::RowDone;
    };

    unsigned active = 0;
    for (int l = 0; l < kLanes; ++l) {
        const LaneStart s = start(l);
        if (s == LaneStart::Stopped) {
            return false;
        }
        if (s == LaneStart::Started) {
            active |= 1u << l;
        }
    }
    while (active != 0) {
        // A slot without a pixel repeats one that has: it ends when that one ends.
        const int source = std::countr_zero(active);
        for (int l = 0; l < kLanes; ++l) {
            if ((active & (1u << l)) == 0) {
                f.zr[l] = f.zr[source];
                f.zi[l] = f.zi[source];
                f.crHi[l] = f.crHi[source];
                f.crLo[l] = f.crLo[source];
                f.count[l] = f.count[source];
            }
        }
        if constexpr (isLayoutA(K)) {
            fastPassA3(f);
        } else {
            fastPassB3(f);
        }
        for (int l = 0; l < kLanes; ++l) {
            if ((active & (1u << l)) == 0 || !laneEnded<K>(f, l)) {
                continue;
            }
            if (!store(pixelOf[l], finishLane<K>(f, l, lim))) {
                return false;
            }
            const LaneStart s = start(l);
            if (s == LaneStart::Stopped) {
                return false;
            }
            if (s == LaneStart::RowDone) {
                active &= ~(1u << l);
            }
        }
    }
    return true;
}

template <KernelKind K> void computeStrip(const StripJob& job)
{
    const EscapeLimits lim = makeEscapeLimits(job.iterMax, job.bailout);
    // Kinds 3 to 5 neither poll nor yield: a stop request waits until their strip is done.
    constexpr bool kInteractive = isLayoutA(K);
    const RowContext ctx{job, lim, kInteractive};
    const auto width = static_cast<std::size_t>(std::max(job.width, 0));
    long double y = job.y0;
    std::size_t offset = 0;
    for (std::int32_t row = job.firstRow; row <= job.lastRow; ++row) {
        if (!computeRow<K>(ctx, y, job.counts + offset, job.a + offset, job.b + offset)) {
            return;
        }
        if (kInteractive && row % 8 == 0) {
            std::this_thread::yield();
        }
        y += job.dy;
        offset += width;
    }
}

} // namespace

EscapeLimits makeEscapeLimits(std::int32_t iterMax, double bailout)
{
    EscapeLimits lim;
    lim.iterMax = std::clamp(iterMax, kLowestIterMax, kHighestIterMax);
    const float rounded = static_cast<float>(bailout);
    lim.bailoutBits = std::bit_cast<std::uint32_t>(rounded);
    lim.bailout = static_cast<long double>(rounded);
    return lim;
}

PixelEscape iteratePixelExtended(KernelKind kind, const EscapeLimits& lim, long double zr,
                                 long double zi, long double cr, long double ci)
{
    const ExtendedPrecisionScope precision;
    if (kind == KernelKind::RealSquare) {
        return iterateAlone<KernelKind::RealSquare>(lim, zr, zi, cr, ci);
    }
    return iterateAlone<KernelKind::Plain>(lim, zr, zi, cr, ci);
}

std::int32_t runStripJob(const StripJob& jobIn, KernelKind kind)
{
    // The worker's own copy: the renderer may reuse its record once the worker runs.
    const StripJob job = jobIn;
    const ExtendedPrecisionScope precision;
    switch (kind) {
    case KernelKind::RealSquare:
        computeStrip<KernelKind::RealSquare>(job);
        break;
    case KernelKind::Lagged:
        computeStrip<KernelKind::Lagged>(job);
        break;
    case KernelKind::LaggedPlain:
        computeStrip<KernelKind::LaggedPlain>(job);
        break;
    case KernelKind::MixedOrbit:
        computeStrip<KernelKind::MixedOrbit>(job);
        break;
    case KernelKind::Plain:
    default:
        computeStrip<KernelKind::Plain>(job);
        break;
    }
    return 0;
}

} // namespace qv
