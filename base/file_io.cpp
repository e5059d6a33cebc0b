// Reading and replacing files with plain POSIX calls, so that every failure is seen.
#include "base/file_io.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {
namespace {

constexpr std::size_t kReadBuffer = 16 * 1024;

/// Closes a file descriptor when it goes out of scope.
class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}

    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    ~FileDescriptor() { close(); }

    int get() const { return m_fd; }

    /// Closes now; false when closing reported an error (a write that did not reach the disk).
    bool close()
    {
        if (m_fd < 0) {
            return true;
        }
        const bool ok = ::close(m_fd) == 0;
        m_fd = -1;
        return ok;
    }

private:
    int m_fd;
};

bool writeAll(int fd, std::span<const std::byte> bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return true;
}

/// Reads up to out.size() bytes; the count read (short only at the end), or nothing on error.
std::optional<std::size_t> readSome(int fd, std::span<std::byte> out)
{
    std::size_t have = 0;
    while (have < out.size()) {
        const ssize_t n = ::read(fd, out.data() + have, out.size() - have);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        have += static_cast<std::size_t>(n);
    }
    return have;
}

} // namespace

bool replaceFile(const std::string& path, std::span<const std::byte> bytes)
{
    if (path.empty()) {
        return false;
    }
    // Write through a symbolic link rather than replacing the link itself.
    std::string target = path;
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }

    struct stat old
    {
    };

    const bool hadFile = ::stat(target.c_str(), &old) == 0;
    // A folder, a device or a file the user may not write is not replaced.
    if (hadFile && (!S_ISREG(old.st_mode) || ::access(target.c_str(), W_OK) != 0)) {
        return false;
    }

    const std::string::size_type slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = folder + "." + name + "." + std::to_string(::getpid()) + "." +
                    std::to_string(attempt) + ".tmp";
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            return false;
        }
    }
    if (fd < 0) {
        return false;
    }
    FileDescriptor file(fd);
    bool ok = writeAll(file.get(), bytes);
    if (ok && hadFile) {
        ok = ::fchmod(file.get(), old.st_mode & 07777) == 0;
    }
    ok = ok && ::fsync(file.get()) == 0;
    ok = file.close() && ok;
    ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
    }
    return ok;
}

std::optional<std::vector<std::byte>> readFilePrefix(const std::string& path, std::size_t limit)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    FileDescriptor file(fd);
    std::vector<std::byte> bytes(limit);
    const auto have = readSome(file.get(), bytes);
    if (!have) {
        return std::nullopt;
    }
    bytes.resize(*have);
    return bytes;
}

InputFile::InputFile(const std::string& path)
{
    if (path.empty()) {
        return;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }

    struct stat info
    {
    };

    // A folder or a device has no length to recognise a layout by.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
        ::close(fd);
        return;
    }
    m_fd = fd;
    m_length = static_cast<std::uint64_t>(info.st_size);
}

InputFile::~InputFile()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool InputFile::refill()
{
    if (!m_buffer) {
        m_buffer = std::make_unique_for_overwrite<std::byte[]>(kReadBuffer);
    }
    const auto got = readSome(m_fd, std::span(m_buffer.get(), kReadBuffer));
    m_next = 0;
    m_end = got.value_or(0);
    return m_end > 0;
}

bool InputFile::read(std::span<std::byte> out)
{
    if (m_fd < 0) {
        return false;
    }
    while (!out.empty()) {
        if (m_next == m_end) {
            // Large reads go straight into the caller's memory.
            if (out.size() >= kReadBuffer) {
                const auto got = readSome(m_fd, out);
                if (!got || *got != out.size()) {
                    return false;
                }
                m_position += out.size();
                return true;
            }
            if (!refill()) {
                return false;
            }
        }
        const std::size_t n = std::min(out.size(), m_end - m_next);
        std::memcpy(out.data(), m_buffer.get() + m_next, n);
        m_next += n;
        m_position += n;
        out = out.subspan(n);
    }
    return true;
}

bool InputFile::skip(std::uint64_t count)
{
    if (m_fd < 0 || count > m_length - std::min(m_position, m_length)) {
        return false;
    }
    const std::uint64_t buffered = m_end - m_next;
    if (count <= buffered) {
        m_next += static_cast<std::size_t>(count);
        m_position += count;
        return true;
    }
    const std::uint64_t beyond = count - buffered;
    if (beyond > static_cast<std::uint64_t>(LLONG_MAX) ||
        ::lseek(m_fd, static_cast<off_t>(beyond), SEEK_CUR) < 0) {
        return false;
    }
    m_next = m_end = 0;
    m_position += count;
    return true;
}

bool InputFile::seek(std::uint64_t offset)
{
    if (m_fd < 0 || offset > m_length || offset > static_cast<std::uint64_t>(LLONG_MAX) ||
        ::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) < 0) {
        return false;
    }
    m_next = m_end = 0;
    m_position = offset;
    return true;
}

} // namespace qv
