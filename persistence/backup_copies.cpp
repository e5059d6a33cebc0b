// Backup copies of finished pictures, and the folder the program keeps its files in.
#include "persistence/backup_copies.h"

#include "persistence/parameter_files.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace qv {
namespace {

/// Pictures narrower than this are kept whole beside a backup; wider ones keep the thumbnail.
constexpr std::int32_t kWholePictureBelow = 650;

std::string withSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '/') {
        folder.push_back('/');
    }
    return folder;
}

PictureSaveResult saveFullPicture(PictureWriter& pictures, BackupForm form, const std::string& path)
{
    return form == BackupForm::Deep ? pictures.savePicture(path)
                                    : pictures.saveDisplayedPicture(path);
}

} // namespace

LocalTime localTimeNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    ::localtime_r(&now, &parts);
    return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                     parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

std::string backupFileName(const LocalTime& time, BackupForm form)
{
    std::array<char, 64> digits{};
    std::snprintf(digits.data(), digits.size(), "%02d%02d%04d%02d%02d%02d", time.month, time.day,
                  time.year, time.hour, time.minute, time.second);
    return std::string(digits.data()) + (form == BackupForm::Deep ? ".fdz" : ".fra");
}

std::string programFolderFor(std::string_view executablePath, std::string_view xdgDataHome,
                             std::string_view home)
{
    const std::string_view::size_type slash = executablePath.rfind('/');
    if (slash != std::string_view::npos) {
        std::string folder(executablePath.substr(0, slash + 1));
        // An installed program (its shared data beside its bin folder) keeps the user's files
        // out of the system's folders even when it may write there, as root may.
        std::error_code error;
        const bool installed = std::filesystem::is_directory(folder + "../share/quorvalis", error);
        if (!installed && ::access(folder.c_str(), W_OK) == 0) {
            return folder;
        }
    }
    // Relative values of XDG_DATA_HOME are to be ignored.
    if (!xdgDataHome.empty() && xdgDataHome.front() == '/') {
        return withSlash(std::string(xdgDataHome)) + "quorvalis/";
    }
    if (!home.empty()) {
        return withSlash(std::string(home)) + ".local/share/quorvalis/";
    }
    return slash == std::string_view::npos ? std::string()
                                           : std::string(executablePath.substr(0, slash + 1));
}

std::string programFolder()
{
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    return programFolderFor(error ? std::string() : executable.string(), xdg ? xdg : "",
                            home ? home : "");
}

void makeBackup(AppState& app, PictureWriter& pictures, BackupForm form, const std::string& folder,
                const LocalTime& now)
{
    const std::string& lastFilePath = app.shell.lastFilePath;
    std::error_code error;
    if (!lastFilePath.empty()) {
        // The picture belongs to a parameter file: only its missing companion picture is made.
        const std::string companion = lastFilePath + ".jpg";
        if (!std::filesystem::exists(companion, error) && !error) {
            saveFullPicture(pictures, form, companion);
        }
        return;
    }
    const std::string backupFolder = folder + "backup";
    std::filesystem::create_directories(backupFolder, error);
    const std::string path = backupFolder + "/" + backupFileName(now, form);
    const bool saved = form == BackupForm::Deep ? saveDeepFile(app, pictures, path)
                                                : saveStandardFile(app, pictures, path);
    if (saved && app.settings.pictureWidth < kWholePictureBelow) {
        saveFullPicture(pictures, form, path + ".jpg");
    }
}

void makeBackup(AppState& app, PictureWriter& pictures, BackupForm form)
{
    makeBackup(app, pictures, form, programFolder(), localTimeNow());
}

} // namespace qv
