// Reading and writing palette files.
#include "palette/palette_file.h"

#include <bit>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qv {
namespace {

constexpr std::string_view kNotOurFile = "Not a Quorvalis-file!";
constexpr std::string_view kNotWritten = "The palette file could not be written:\n";
constexpr std::uint32_t kSmoothColourFlag = 1u << 1;

void putU32(std::byte* at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::byte>((v >> (8 * i)) & 0xFFu);
    }
}

std::uint32_t getU32(const std::byte* at)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        v |= static_cast<std::uint32_t>(at[i]) << (8 * i);
    }
    return v;
}

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

/// Writes the bytes to a new file beside the target and renames it over the target, so that
/// the target is either the old file or the complete new one, never a torn mixture.
bool replaceFile(const std::string& path, std::span<const std::byte> bytes)
{
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

/// Reads at most `limit` bytes; nothing when the file cannot be opened or read.
std::optional<std::vector<std::byte>> readPrefix(const std::string& path, std::size_t limit)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    FileDescriptor file(fd);
    std::vector<std::byte> bytes(limit);
    std::size_t have = 0;
    while (have < limit) {
        const ssize_t n = ::read(file.get(), bytes.data() + have, limit - have);
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
    bytes.resize(have);
    return bytes;
}

} // namespace

std::array<std::byte, kPaletteFileLong> encodePaletteFile(const PaletteFileContents& contents)
{
    std::array<std::byte, kPaletteFileLong> bytes{};
    const PaletteParameters& p = contents.parameters;
    for (std::size_t i = 0; i < 3; ++i) {
        putU32(&bytes[4 * i], std::bit_cast<std::uint32_t>(p.start[i]));
        putU32(&bytes[12 + 4 * i], std::bit_cast<std::uint32_t>(p.step[i]));
        putU32(&bytes[24 + 4 * i], std::bit_cast<std::uint32_t>(p.stop[i]));
    }
    putU32(&bytes[36], contents.colourFlags);
    putU32(&bytes[40], std::bit_cast<std::uint32_t>(contents.paletteOffset));
    return bytes;
}

std::optional<PaletteFileContents> decodePaletteFile(std::span<const std::byte> bytes)
{
    if (bytes.size() != kPaletteFileShort && bytes.size() != kPaletteFileLong) {
        return std::nullopt;
    }
    PaletteFileContents contents;
    PaletteParameters& p = contents.parameters;
    for (std::size_t i = 0; i < 3; ++i) {
        p.start[i] = std::bit_cast<float>(getU32(&bytes[4 * i]));
        p.step[i] = std::bit_cast<float>(getU32(&bytes[12 + 4 * i]));
        p.stop[i] = std::bit_cast<float>(getU32(&bytes[24 + 4 * i]));
    }
    contents.colourFlags = getU32(&bytes[36]);
    if (bytes.size() == kPaletteFileLong) {
        contents.paletteOffset = std::bit_cast<std::int32_t>(getU32(&bytes[40]));
    }
    return contents;
}

bool savePaletteFile(PaletteContext& context, const std::string& path)
{
    if (path.empty()) {
        return false;
    }
    syncColourFlags(context.state.options, context.colourFlags);
    const auto bytes = encodePaletteFile(
        {context.state.parameters, context.colourFlags, context.state.paletteOffset});
    if (!replaceFile(path, bytes)) {
        context.prompts.message(std::string(kNotWritten) + path);
        return false;
    }
    return true;
}

bool loadPaletteFile(PaletteContext& context, const std::string& path)
{
    PaletteState& state = context.state;
    state.paletteOffset = 0;
    if (path.empty()) {
        return false;
    }
    context.colourFlags = 0;
    state.options = PaletteOptions{};

    // One byte more than the long form is enough to tell every other length apart.
    const auto bytes = readPrefix(path, kPaletteFileLong + 1);
    const auto contents = bytes ? decodePaletteFile(*bytes) : std::nullopt;
    if (!contents) {
        context.prompts.message(kNotOurFile);
        return false;
    }
    state.parameters = contents->parameters;
    context.colourFlags = contents->colourFlags;
    state.paletteOffset = contents->paletteOffset;
    state.options = optionsFromColourFlags(context.colourFlags);

    generatePalette(context, PaletteMode::fromParameters);
    context.host.clearPictureFromImage();
    context.host.redisplayPicture();
    // Smoothed pixels hold finished colours, not indices: only a new render shows the palette.
    if ((context.colourFlags & kSmoothColourFlag) != 0) {
        context.host.requestRender();
    }
    return true;
}

} // namespace qv
