// Files as the program reads and writes them: whole replacement through a temporary file, and
// a reader that knows the file's length before it reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qv {

/// Writes the bytes to a new file beside the target and renames it over the target, so that
/// the target is either the old file or the complete new one, never a torn mixture. A symbolic
/// link is followed (its target is replaced, the link stays). A folder, a device or a file the
/// user may not write is left alone. False when nothing was replaced.
bool replaceFile(const std::string& path, std::span<const std::byte> bytes);

/// At most `limit` bytes from the start of a file; nothing when it cannot be opened or read.
std::optional<std::vector<std::byte>> readFilePrefix(const std::string& path, std::size_t limit);

/// A file opened for reading from the start, its length known before anything is read.
class InputFile
{
public:
    /// Opens `path`; isOpen() tells whether that worked. Only regular files are opened.
    explicit InputFile(const std::string& path);

    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    bool isOpen() const { return m_fd >= 0; }

    /// The length the file had when it was opened.
    std::uint64_t length() const { return m_length; }

    /// Bytes read so far.
    std::uint64_t position() const { return m_position; }

    /// Fills `out` from the current position; false (and the position undefined) when the file
    /// ends first or cannot be read.
    bool read(std::span<std::byte> out);

    /// Moves forward by `count` bytes; false when that passes the end.
    bool skip(std::uint64_t count);

    /// Moves to `offset` from the start; false when that lies past the end.
    bool seek(std::uint64_t offset);

private:
    /// Reads more of the file into the buffer; false at the end or on an error.
    bool refill();

    int m_fd = -1;
    std::uint64_t m_length = 0;
    std::uint64_t m_position = 0;
    std::unique_ptr<std::byte[]> m_buffer; ///< kept unset until the first small read
    std::size_t m_next = 0;                ///< first unread byte of the buffer
    std::size_t m_end = 0;                 ///< end of the bytes held in the buffer
};

} // namespace qv
