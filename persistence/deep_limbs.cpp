// Conversion between GMP's numbers and their 32-bit-limb form in the deep parameter files.
#include "persistence/deep_limbs.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace qv {
namespace {

static_assert(GMP_NAIL_BITS == 0, "limbs must use all their bits");
static_assert(GMP_NUMB_BITS == 32 || GMP_NUMB_BITS == 64, "limbs of 32 or 64 bits");

/// 32-bit halves per installed limb.
constexpr int kHalves = GMP_NUMB_BITS / 32;

/// Floor division by kHalves for exponents of either sign.
std::int64_t floorDivide(std::int64_t a)
{
    std::int64_t q = a / kHalves;
    if (a % kHalves != 0 && a < 0) {
        --q;
    }
    return q;
}

} // namespace

std::int32_t limbs32ForPrecision(std::int32_t bits)
{
    const std::int64_t b = std::max<std::int64_t>(bits, 53);
    return static_cast<std::int32_t>((b + 63) / 32);
}

std::int64_t maxLimbs32(std::int32_t bits)
{
    return static_cast<std::int64_t>(limbs32ForPrecision(bits)) + 1;
}

std::optional<DeepNumberImage> imageOfNumber(mpf_srcptr x, std::int32_t bits)
{
    DeepNumberImage image;
    image.precisionLimbs = limbs32ForPrecision(bits);
    const int size = x->_mp_size;
    const std::size_t count = static_cast<std::size_t>(std::abs(size));
    std::vector<std::uint32_t> halves;
    halves.reserve(count * kHalves);
    for (std::size_t i = 0; i < count; ++i) {
        const mp_limb_t limb = x->_mp_d[i];
        for (int h = 0; h < kHalves; ++h) {
            halves.push_back(static_cast<std::uint32_t>((limb >> (32 * h)) & 0xFFFFFFFFu));
        }
    }
    std::int64_t exponent = static_cast<std::int64_t>(x->_mp_exp) * kHalves;
    while (!halves.empty() && halves.back() == 0) {
        halves.pop_back();
        --exponent;
    }
    if (halves.empty()) {
        return image; // zero: size 0, exponent 0
    }
    const auto keep = static_cast<std::size_t>(maxLimbs32(bits));
    if (halves.size() > keep) {
        halves.erase(halves.begin(), halves.end() - static_cast<std::ptrdiff_t>(keep));
    }
    const auto firstNonZero =
        std::find_if(halves.begin(), halves.end(), [](std::uint32_t h) { return h != 0; });
    halves.erase(halves.begin(), firstNonZero);
    if (exponent < std::numeric_limits<std::int32_t>::min() ||
        exponent > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    image.exponent = static_cast<std::int32_t>(exponent);
    image.size = static_cast<std::int32_t>(halves.size()) * (size < 0 ? -1 : 1);
    image.limbs = std::move(halves);
    return image;
}

bool fitsPrecision(std::int32_t size, std::int32_t precisionLimbs, std::int32_t bits)
{
    const std::int64_t count = std::llabs(static_cast<std::int64_t>(size));
    if (count == 0) {
        return true;
    }
    return count <= static_cast<std::int64_t>(precisionLimbs) + 1 && count <= maxLimbs32(bits);
}

void restoreNumber(const DeepNumberImage& image, mpf_ptr x)
{
    // The significant limbs only: GMP expects the top limb not to be zero.
    std::size_t low = 0;
    std::size_t high =
        std::min<std::size_t>(image.limbs.size(), static_cast<std::size_t>(std::llabs(image.size)));
    std::int64_t exponent32 = image.exponent;
    while (high > low && image.limbs[high - 1] == 0) {
        --high;
        --exponent32;
    }
    while (low < high && image.limbs[low] == 0) {
        ++low;
    }
    if (low == high) {
        x->_mp_size = 0;
        x->_mp_exp = 0;
        return;
    }
    // Installed limbs at exponent e hold the halves from exponent kHalves * e down; the top
    // limb gets `shift` zero halves above the file's top limb.
    const std::int64_t exponent = floorDivide(exponent32 + kHalves - 1);
    const std::int64_t shift = exponent * kHalves - exponent32;
    const std::int64_t halves = static_cast<std::int64_t>(high - low) + shift;
    std::int64_t count = (halves + kHalves - 1) / kHalves;
    const std::int64_t pad = count * kHalves - halves; // zero halves below the lowest limb
    const std::int64_t room = static_cast<std::int64_t>(x->_mp_prec) + 1;
    std::int64_t dropped = 0;
    if (count > room) {
        dropped = count - room;
        count = room;
    }
    for (std::int64_t i = 0; i < count; ++i) {
        mp_limb_t limb = 0;
        for (int h = 0; h < kHalves; ++h) {
            // Half h of installed limb i + dropped, counted in file limbs from `low`.
            const std::int64_t at = (i + dropped) * kHalves + h - pad;
            if (at >= 0 && at < static_cast<std::int64_t>(high - low)) {
                limb |= static_cast<mp_limb_t>(image.limbs[low + static_cast<std::size_t>(at)])
                        << (32 * h);
            }
        }
        x->_mp_d[i] = limb;
    }
    // Dropped limbs may leave zero limbs at the low end; GMP accepts those.
    x->_mp_size = static_cast<int>(image.size < 0 ? -count : count);
    x->_mp_exp = static_cast<mp_exp_t>(exponent);
}

} // namespace qv
