// Reading and replacing files with plain POSIX calls, so that every failure is seen.
#include "base/file_io.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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

/// Writes every byte; 0, or the errno value of the write that failed.
int writeAll(int fd, std::span<const std::byte> bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return errno;
        }
        if (n == 0) {
            return EIO;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return 0;
}

constexpr std::string_view kTemporaryLead = ".qv-";
constexpr std::string_view kTemporaryTail = ".tmp";

/// FNV-1a: a stable short tag of a file name for its temporary files.
std::uint32_t nameHash(std::string_view name)
{
    std::uint32_t h = 2166136261u;
    for (const char c : name) {
        h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    return h;
}

/// The file a path names, through a symbolic link; the path itself when it does not exist.
std::string resolvedTarget(const std::string& path)
{
    std::string target = path;
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }
    return target;
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

std::string errorText(int code)
{
    return std::strerror(code);
}

std::string temporaryNameFor(const std::string& target, long pid, int attempt)
{
    const std::string::size_type slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    std::array<char, 64> name{};
    std::snprintf(name.data(), name.size(), "%s%08x-%ld-%d%s", kTemporaryLead.data(),
                  nameHash(target.substr(folder.size())), pid, attempt, kTemporaryTail.data());
    return folder + name.data();
}

int removeStaleTemporaries(std::span<const std::string> targets)
{
    // Per folder, the names' leads up to the process id: ".qv-HHHHHHHH-".
    std::map<std::string, std::set<std::string>> leads;
    for (const std::string& target : targets) {
        const std::string sample = temporaryNameFor(resolvedTarget(target), 0, 0);
        const std::string::size_type slash = sample.rfind('/');
        const std::string folder = slash == std::string::npos ? "" : sample.substr(0, slash + 1);
        leads[folder].insert(sample.substr(folder.size(), kTemporaryLead.size() + 9));
    }
    int removed = 0;
    for (const auto& [folder, names] : leads) {
        DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
        if (dir == nullptr) {
            continue;
        }
        while (const dirent* entry = ::readdir(dir)) {
            const std::string_view name(entry->d_name);
            if (name.size() <= kTemporaryLead.size() + 9 || !name.ends_with(kTemporaryTail) ||
                !names.contains(std::string(name.substr(0, kTemporaryLead.size() + 9)))) {
                continue;
            }
            const std::string_view rest = name.substr(kTemporaryLead.size() + 9);
            long pid = 0;
            const auto parsed = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
            if (parsed.ec != std::errc() || *parsed.ptr != '-' || pid <= 0 || pid == ::getpid()) {
                continue;
            }
            const std::string path = folder + std::string(name);

            struct stat info
            {
            };

            // Only a file of this user whose process is gone: a running program's file, or
            // another user's, is not ours to remove.
            if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
                info.st_uid != ::geteuid()) {
                continue;
            }
            if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) {
                continue;
            }
            if (::unlink(path.c_str()) == 0) {
                ++removed;
            }
        }
        ::closedir(dir);
    }
    return removed;
}

StagedFile::StagedFile(const std::string& path)
{
    if (path.empty()) {
        fail(ENOENT);
        return;
    }
    m_target = resolvedTarget(path);

    struct stat old
    {
    };

    if (::stat(m_target.c_str(), &old) == 0) {
        if (S_ISDIR(old.st_mode)) {
            fail(EISDIR);
            return;
        }
        if (!S_ISREG(old.st_mode)) {
            openInPlace(S_ISCHR(old.st_mode));
            return;
        }
        if (::access(m_target.c_str(), W_OK) != 0) {
            fail(errno);
            return;
        }
        m_hadFile = true;
        m_oldMode = old.st_mode & 07777;
    } else if (errno != ENOENT) {
        // A name too long, a folder that is a file, a folder that may not be searched.
        fail(errno);
        return;
    }
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        m_temporary = temporaryNameFor(m_target, ::getpid(), attempt);
        m_fd = ::open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (m_fd < 0) {
        const int code = errno;
        m_temporary.clear();
        fail(code);
    }
}

void StagedFile::openInPlace(bool device)
{
    m_inPlace = true;
    m_fd = ::open(m_target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (m_fd < 0) {
        fail(errno);
        return;
    }
    // A write of nothing reaches the device's driver: one that takes no bytes at all (a full
    // device) says so now rather than after the render.
    if (device && ::write(m_fd, "", 0) < 0) {
        fail(errno);
    }
}

StagedFile::~StagedFile()
{
    discard();
}

bool StagedFile::fail(int code)
{
    if (m_code == 0) {
        m_code = code != 0 ? code : EIO;
        m_failure = errorText(m_code);
    }
    return false;
}

bool StagedFile::write(std::span<const std::byte> bytes)
{
    if (m_code != 0 || m_fd < 0 || m_committed) {
        return false;
    }
    if (const int code = writeAll(m_fd, bytes); code != 0) {
        return fail(code);
    }
    return true;
}

bool StagedFile::commit()
{
    if (m_committed) {
        return true;
    }
    if (m_code != 0 || m_fd < 0) {
        return false;
    }
    if (m_inPlace) {
        m_committed = true;
        FileDescriptor file(std::exchange(m_fd, -1));
        return file.close() || fail(errno);
    }
    FileDescriptor file(std::exchange(m_fd, -1));
    bool ok = !m_hadFile || ::fchmod(file.get(), m_oldMode) == 0;
    ok = ok && ::fsync(file.get()) == 0;
    ok = file.close() && ok;
    ok = ok && ::rename(m_temporary.c_str(), m_target.c_str()) == 0;
    if (!ok) {
        const int code = errno;
        discard();
        return fail(code);
    }
    m_committed = true;
    m_temporary.clear();
    return true;
}

void StagedFile::discard()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_committed && !m_temporary.empty()) {
        const int saved = errno;
        ::unlink(m_temporary.c_str());
        errno = saved;
        m_temporary.clear();
    }
}

void StagedFile::unlinkTemporary() const
{
    if (!m_committed && !m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
    }
}

bool replaceFile(const std::string& path, std::span<const std::byte> bytes)
{
    if (path.empty()) {
        errno = ENOENT;
        return false;
    }

    struct stat old
    {
    };

    // A device or a FIFO is left alone here: only files are replaced.
    const std::string target = resolvedTarget(path);
    if (::stat(target.c_str(), &old) == 0 && !S_ISREG(old.st_mode)) {
        errno = S_ISDIR(old.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    StagedFile file(path);
    if (file.inPlace()) {
        errno = EINVAL;
        return false;
    }
    if (!file.write(bytes) || !file.commit()) {
        errno = file.failureCode();
        return false;
    }
    return true;
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
