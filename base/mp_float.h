// MpFloat: an owning handle of one GMP mpf_t, created at a given precision and cleared once.
#pragma once

#include <utility>

#include <gmp.h>

namespace qv {

/// Owns one mpf_t. Move-only; the moved-from handle owns nothing and clears nothing.
class MpFloat
{
public:
    /// A zero at `bits` of precision.
    explicit MpFloat(unsigned long bits) : m_live(true) { mpf_init2(m_value, bits); }

    /// A copy of `value` at `bits` of precision.
    MpFloat(mpf_srcptr value, unsigned long bits) : MpFloat(bits) { mpf_set(m_value, value); }

    MpFloat(const MpFloat&) = delete;
    MpFloat& operator=(const MpFloat&) = delete;

    MpFloat(MpFloat&& other) noexcept;
    MpFloat& operator=(MpFloat&& other) noexcept;
    ~MpFloat();

    mpf_ptr get() { return m_value; }

    mpf_srcptr get() const { return m_value; }

    /// The precision GMP gives this number (at least the bits asked for).
    unsigned long precision() const { return mpf_get_prec(m_value); }

private:
    void release();

    mpf_t m_value;
    bool m_live;
};

} // namespace qv
