// The GMP numbers of the deep parameter files: every number is stored as a build of GMP with
// 32-bit limbs holds it, whatever limb size the installed GMP uses.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <gmp.h>

namespace qv {

/// One number of a deep number block: the header's precision, signed limb count and exponent,
/// and the limbs. value = sign(size) * (limbs[|size|-1] * B^-1 + ... + limbs[0] * B^-|size|)
/// * B^exponent with B = 2^32.
struct DeepNumberImage
{
    std::int32_t precisionLimbs = 0;
    std::int32_t size = 0;
    std::int32_t exponent = 0;
    std::vector<std::uint32_t> limbs; ///< |size| limbs, least significant first

    bool operator==(const DeepNumberImage&) const = default;
};

/// The precision in 32-bit limbs of a number of `bits` bits, as GMP counts it: (bits + 63) / 32
/// (at least 53 bits are always kept).
std::int32_t limbs32ForPrecision(std::int32_t bits);

/// The largest limb count a number of `bits` bits can hold: one more than its precision.
std::int64_t maxLimbs32(std::int32_t bits);

/// x as a 32-bit-limb build holds it at `bits`: the most significant limb not zero, at most
/// maxLimbs32(bits) limbs (the lower ones dropped), no zero limbs at the low end; zero is size
/// 0 with exponent 0. Nothing when the exponent does not fit the file's 32-bit field.
std::optional<DeepNumberImage> imageOfNumber(mpf_srcptr x, std::int32_t bits);

/// Whether a number image can be restored into a number of `bits` bits: its limb count is at
/// most one more than its own stated precision and than the precision `bits` gives.
bool fitsPrecision(std::int32_t size, std::int32_t precisionLimbs, std::int32_t bits);

/// Sets x to exactly the value of the image (zero limbs at either end are dropped). The image
/// must fit x's precision (fitsPrecision); if it still does not, the lowest limbs are dropped
/// rather than written past x's digits.
void restoreNumber(const DeepNumberImage& image, mpf_ptr x);

} // namespace qv
