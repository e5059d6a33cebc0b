// Ownership transfer and release of GMP numbers.
#include "base/mp_float.h"

namespace qv {

// An mpf_t is a small header pointing at its limbs; copying the header moves the limbs.
MpFloat::MpFloat(MpFloat&& other) noexcept : m_live(other.m_live)
{
    if (m_live) {
        m_value[0] = other.m_value[0];
        other.m_live = false;
    }
}

MpFloat& MpFloat::operator=(MpFloat&& other) noexcept
{
    if (this != &other) {
        release();
        m_live = other.m_live;
        if (m_live) {
            m_value[0] = other.m_value[0];
            other.m_live = false;
        }
    }
    return *this;
}

MpFloat::~MpFloat()
{
    release();
}

void MpFloat::release()
{
    if (m_live) {
        mpf_clear(m_value);
        m_live = false;
    }
}

} // namespace qv
