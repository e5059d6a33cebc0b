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
/// user may not write is left alone. False when nothing was replaced; errno then tells why.
bool replaceFile(const std::string& path, std::span<const std::byte> bytes);

/// The system's text for an errno value ("No space left on device").
std::string errorText(int code);

/// The name of a temporary file for `target` in the target's folder: ".qv-", a hash of the
/// target's name, the process id and `attempt`, short enough beside any legal final name.
std::string temporaryNameFor(const std::string& target, long pid, int attempt);

/// Removes the temporary files that processes now ended left for the targets (a program
/// killed before it could clean up): only names of temporaryNameFor's pattern for one of these
/// targets, only regular files owned by this user, only when their process no longer exists.
/// Each folder is read once. The count removed.
int removeStaleTemporaries(std::span<const std::string> targets);

/// One file written whole under a temporary name beside its target, which takes the target's
/// name only at commit(): the target is the old file or the complete new one. A target that is
/// not a regular file (a device, a FIFO) is written in place instead, never replaced.
class StagedFile
{
public:
    /// Creates the temporary file (or opens the device) at once, so that a target that cannot
    /// be created or replaced is known before there is anything to write. A symbolic link is
    /// followed. A folder or a regular file the user may not write is refused.
    explicit StagedFile(const std::string& path);

    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    /// Removes the temporary file unless it was committed.
    ~StagedFile();

    /// Why the file cannot be written ("No space left on device"); empty while all is well.
    const std::string& failure() const { return m_failure; }

    /// The errno value behind failure(); 0 while all is well.
    int failureCode() const { return m_code; }

    /// Whether the target is written in place (not a regular file).
    bool inPlace() const { return m_inPlace; }

    /// The temporary file's path; empty for a target written in place.
    const std::string& temporaryPath() const { return m_temporary; }

    /// Appends the bytes; false, with failure() set, when they cannot all be written.
    bool write(std::span<const std::byte> bytes);

    /// Makes the written bytes durable and gives the temporary file the target's name (the
    /// old file's permissions kept). False, with failure() set and the temporary removed,
    /// when that fails. Committing twice does nothing more.
    bool commit();

    /// Removes the temporary file; the target stays as it was.
    void discard();

    /// Only unlinks the temporary file, for a program about to end while another thread may
    /// still be writing it.
    void unlinkTemporary() const;

private:
    /// Records the first failure; always false.
    bool fail(int code);
    void openInPlace(bool device);

    std::string m_target;
    std::string m_temporary;
    std::string m_failure;
    int m_fd = -1;
    int m_code = 0;
    bool m_inPlace = false;
    bool m_committed = false;
    bool m_hadFile = false;
    unsigned m_oldMode = 0;
};

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
