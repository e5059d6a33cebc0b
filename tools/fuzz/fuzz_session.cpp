// The fuzz targets' in-memory input file.
#include "tools/fuzz/fuzz_session.h"

#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace qv::fuzz {

InputInMemory::InputInMemory()
{
    m_fd = ::memfd_create("fuzz-input", MFD_CLOEXEC);
    if (m_fd < 0) {
        std::abort();
    }
    m_path = "/proc/self/fd/" + std::to_string(m_fd);
}

const std::string& InputInMemory::hold(const std::uint8_t* data, std::size_t size)
{
    if (::ftruncate(m_fd, 0) != 0 || ::pwrite(m_fd, data, size, 0) != static_cast<ssize_t>(size)) {
        std::abort();
    }
    return m_path;
}

} // namespace qv::fuzz
