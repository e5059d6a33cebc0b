// Backup copies: the fourteen-digit names, the picture kept beside them by width, the companion
// picture of a loaded file, and the folder the program keeps its files in.
#include "persistence/backup_copies.h"
#include "tests/persistence/persistence_test_support.h"
#include "tests/support/temp_folder.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::Program;
using test::readBytes;
using test::TempFolder;

const LocalTime kSixDecember{2026, 12, 6, 20, 15, 30};

std::string contents(const std::string& path)
{
    std::ifstream in(path);
    std::string s;
    std::getline(in, s);
    return s;
}

TEST(BackupName, IsMonthDayYearAndTimeInFourteenDigits)
{
    EXPECT_EQ(backupFileName(kSixDecember, BackupForm::Standard), "12062026201530.fra");
    EXPECT_EQ(backupFileName(kSixDecember, BackupForm::Deep), "12062026201530.fdz");
    EXPECT_EQ(backupFileName({2027, 1, 2, 3, 4, 5}, BackupForm::Standard), "01022027030405.fra");
    EXPECT_EQ(backupFileName({987, 10, 31, 23, 59, 59}, BackupForm::Deep), "10310987235959.fdz");
}

TEST(MakeBackup, ANarrowPictureIsKeptWholeBesideTheStandardFile)
{
    TempFolder folder;
    Program p;
    ASSERT_EQ(p.app.settings.pictureWidth, 640);
    makeBackup(p.app, p.pictures, BackupForm::Standard, folder.path(), kSixDecember);
    const std::string file = folder.path() + "backup/12062026201530.fra";
    const std::vector<std::uint8_t> bytes = readBytes(file);
    ASSERT_EQ(bytes.size(), 133u);
    EXPECT_EQ(bytes[0], 43);
    // The thumbnail the save writes is replaced by the displayed picture at full size.
    EXPECT_EQ(p.pictures.calls, (std::vector<std::string>{"thumbnail " + file + ".jpg",
                                                          "displayed " + file + ".jpg"}));
    EXPECT_EQ(contents(file + ".jpg"), "displayed");
    // A backup does not make the picture belong to it.
    EXPECT_EQ(p.app.shell.lastFilePath, "");
    EXPECT_EQ(p.app.shell.currentFileName, "");
    EXPECT_TRUE(p.shell.observer.shown.empty());
}

TEST(MakeBackup, AWidePictureKeepsTheThumbnail)
{
    TempFolder folder;
    Program p;
    test::smallPicture(p.app, 800, 2);
    makeBackup(p.app, p.pictures, BackupForm::Standard, folder.path(), kSixDecember);
    const std::string file = folder.path() + "backup/12062026201530.fra";
    EXPECT_EQ(p.pictures.calls, std::vector<std::string>{"thumbnail " + file + ".jpg"});
    test::smallPicture(p.app, 649, 2);
    p.pictures.calls.clear();
    makeBackup(p.app, p.pictures, BackupForm::Standard, folder.path(), kSixDecember);
    EXPECT_EQ(p.pictures.calls.size(), 2u); // 649 is still narrow
}

TEST(MakeBackup, TheDeepFormWritesFormat55AndTheWholePictureFromTheBuffer)
{
    TempFolder folder;
    Program p;
    p.app.view.deepZoom = 1;
    makeBackup(p.app, p.pictures, BackupForm::Deep, folder.path(), kSixDecember);
    const std::string file = folder.path() + "backup/12062026201530.fdz";
    const std::vector<std::uint8_t> bytes = readBytes(file);
    ASSERT_GT(bytes.size(), 173u);
    EXPECT_EQ(bytes[0], 55);
    EXPECT_EQ(p.pictures.calls,
              (std::vector<std::string>{"thumbnail " + file + ".jpg", "picture " + file + ".jpg"}));
}

TEST(MakeBackup, APictureOfALoadedFileGetsOnlyItsMissingCompanion)
{
    TempFolder folder;
    for (const BackupForm form : {BackupForm::Standard, BackupForm::Deep}) {
        Program p;
        p.app.shell.lastFilePath = folder.file(form == BackupForm::Deep ? "a.fdz" : "a.fra");
        makeBackup(p.app, p.pictures, form, folder.path(), kSixDecember);
        const std::string companion = p.app.shell.lastFilePath + ".jpg";
        EXPECT_EQ(p.pictures.calls,
                  std::vector<std::string>{(form == BackupForm::Deep ? "picture " : "displayed ") +
                                           companion});
        EXPECT_FALSE(std::filesystem::exists(folder.path() + "backup"));
        // Once it exists it is left alone.
        p.pictures.calls.clear();
        makeBackup(p.app, p.pictures, form, folder.path(), kSixDecember);
        EXPECT_TRUE(p.pictures.calls.empty());
    }
}

TEST(ProgramFolder, IsTheExecutablesFolderWhenItCanBeWritten)
{
    TempFolder folder;
    EXPECT_EQ(programFolderFor(folder.path() + "quorvalis", "/xdg", "/home/ann"), folder.path());
    // Not writable (here: not there at all): the per-user data folder.
    const std::string gone = folder.path() + "gone/quorvalis";
    EXPECT_EQ(programFolderFor(gone, "/xdg", "/home/ann"), "/xdg/quorvalis/");
    EXPECT_EQ(programFolderFor(gone, "/xdg/", "/home/ann"), "/xdg/quorvalis/");
    EXPECT_EQ(programFolderFor(gone, "", "/home/ann"), "/home/ann/.local/share/quorvalis/");
    EXPECT_EQ(programFolderFor(gone, "relative/xdg", "/home/ann"),
              "/home/ann/.local/share/quorvalis/");
    EXPECT_EQ(programFolderFor("", "", "/home/ann"), "/home/ann/.local/share/quorvalis/");
    // Installed: its shared data stands beside its bin folder, writable or not.
    std::filesystem::create_directories(folder.path() + "usr/bin");
    std::filesystem::create_directories(folder.path() + "usr/share/quorvalis");
    EXPECT_EQ(programFolderFor(folder.path() + "usr/bin/quorvalis", "/xdg", "/home/ann"),
              "/xdg/quorvalis/");

    const std::string own = programFolder();
    ASSERT_FALSE(own.empty());
    EXPECT_EQ(own.back(), '/');
    EXPECT_TRUE(std::filesystem::is_directory(own));
}

} // namespace
} // namespace qv
