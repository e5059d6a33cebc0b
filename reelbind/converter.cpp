// The conversion: listing, decoding, the codec question, writing aside and the final rename.
#include "reelbind/converter.h"

#include "reelbind/frame_folder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::reelbind {
namespace {

/// Longest part of the video's name that goes into the temporary name; the rest of a longer
/// name would push the temporary one past the file system's limit.
constexpr std::size_t kNameInTemporary = 200;

std::string systemError()
{
    return std::strerror(errno);
}

/// Where no file stands at `path`, an empty one: what a cancelled codec choice leaves.
void createEmptyIfMissing(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
        ::close(fd);
    }
}

/// Flushes the finished temporary file to the disk, so that the rename cannot leave an empty
/// or partial video in place of the old one after a crash.
bool syncFile(const std::string& path, std::string& error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        error = "cannot write the video: " + systemError();
        if (fd >= 0) {
            ::close(fd);
        }
        return false;
    }
    ::close(fd);
    return true;
}

} // namespace

std::optional<std::string> createTemporaryBeside(const std::string& videoPath, std::string& error)
{
    const std::filesystem::path video(videoPath);
    const std::string name = video.filename().string().substr(0, kNameInTemporary);
    std::string pattern = (video.parent_path() / (name + ".XXXXXX.part")).string();
    const int fd = ::mkstemps(pattern.data(), 5);
    if (fd < 0) {
        error = "cannot create a file beside " + videoPath + ": " + systemError();
        return std::nullopt;
    }
    // mkstemps leaves the file to its owner alone; the video gets what any new file would.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);
    return pattern;
}

ConversionResult convertFrames(const std::string& videoPath, const std::filesystem::path& folder,
                               ConversionHost& host)
{
    ConversionResult result;
    std::string error;
    const std::optional<std::vector<std::filesystem::path>> files = listFrameFiles(folder, error);
    if (!files) {
        result.outcome = Outcome::Failed;
        result.message = error;
        return result;
    }
    const auto candidates = static_cast<std::int64_t>(files->size());
    std::optional<VideoWriter> writer;
    std::string temporary;
    const auto abandon = [&](Outcome outcome, std::string message) {
        writer.reset();
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        result.outcome = outcome;
        result.message = std::move(message);
        return result;
    };

    for (const std::filesystem::path& file : *files) {
        std::string why;
        const std::optional<Picture> picture = readFrame(file, why);
        if (!picture) {
            host.note("skipped " + file.string() + ": " + why);
            continue;
        }
        if (!writer) {
            result.width = picture->width;
            result.height = picture->height;
            const std::optional<Codec> codec = host.chooseCodec();
            if (!codec) {
                createEmptyIfMissing(videoPath);
                result.outcome = Outcome::Cancelled;
                result.message = "no codec chosen: no video written";
                return result;
            }
            result.codec = *codec;
            const std::optional<std::string> made = createTemporaryBeside(videoPath, error);
            if (!made) {
                result.outcome = Outcome::Failed;
                result.message = error;
                return result;
            }
            temporary = *made;
            writer.emplace();
            if (!writer->open(temporary, *codec, picture->width, picture->height, error)) {
                return abandon(Outcome::Failed, error);
            }
        }
        if (!writer->append(*picture, error)) {
            return abandon(Outcome::Failed, error);
        }
        result.frames = writer->frames();
        if (!host.progress(result.frames, candidates)) {
            return abandon(Outcome::Cancelled, "stopped: no video written");
        }
    }
    if (!writer) {
        result.message = "no picture to write in " + folder.string();
        return result;
    }
    if (!writer->finish(error) || !syncFile(temporary, error)) {
        return abandon(Outcome::Failed, error);
    }
    writer.reset();
    std::error_code renamed;
    std::filesystem::rename(temporary, videoPath, renamed);
    if (renamed) {
        return abandon(Outcome::Failed, "cannot replace " + videoPath + ": " + renamed.message());
    }
    result.outcome = Outcome::Written;
    return result;
}

} // namespace qv::reelbind
