// Staged whole-file writes: temporary names that fit beside any name, the target old or new
// and nothing between, failures with their reasons, and the clean-up after killed programs.
#include "base/file_io.h"
#include "tests/support/folder_files.h"
#include "tests/support/temp_folder.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

namespace fs = std::filesystem;
using test::endedProcess;
using test::namesIn;
using test::readBytes;
using test::TempFolder;

std::vector<std::byte> bytesOf(std::string_view text)
{
    const auto* first = reinterpret_cast<const std::byte*>(text.data());
    return {first, first + text.size()};
}

std::string contents(const std::string& path)
{
    const std::vector<std::uint8_t> b = readBytes(path);
    return {b.begin(), b.end()};
}

TEST(FileIo, TemporaryNamesFitBesideTheLongestNames)
{
    for (const std::size_t length : {1u, 100u, 255u}) {
        const std::string name =
            temporaryNameFor("/some/folder/" + std::string(length, 'n'), 4194304, 99);
        ASSERT_TRUE(name.starts_with("/some/folder/.qv-")) << name;
        EXPECT_LE(name.size() - 13, 32u) << name;
    }
    // Stable per name, distinct between names.
    EXPECT_EQ(temporaryNameFor("a.png", 7, 0), temporaryNameFor("a.png", 7, 0));
    EXPECT_NE(temporaryNameFor("a.png", 7, 0), temporaryNameFor("b.png", 7, 0));
}

TEST(FileIo, AStagedFileReplacesItsTargetOnlyWhenCommitted)
{
    TempFolder folder;
    for (const bool existed : {false, true}) {
        SCOPED_TRACE(existed);
        const std::string target = folder.file(std::string(255, existed ? 'o' : 'n'));
        if (existed) {
            ASSERT_TRUE(replaceFile(target, bytesOf("old")));
            ::chmod(target.c_str(), 0640);
        }
        {
            StagedFile kept(target);
            ASSERT_EQ(kept.failure(), "");
            ASSERT_TRUE(kept.write(bytesOf("new")));
        }
        EXPECT_EQ(fs::exists(target), existed);
        StagedFile file(target);
        ASSERT_TRUE(file.write(bytesOf("new")));
        EXPECT_EQ(namesIn(folder.path()).size(), existed ? 2u : 1u);
        ASSERT_TRUE(file.commit());
        EXPECT_EQ(contents(target), "new");
        EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{fs::path(target).filename()});
        if (existed) {
            EXPECT_EQ(fs::status(target).permissions(),
                      fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        }
        fs::remove(target);
    }
}

TEST(FileIo, FailuresGiveTheirReasonsBeforeAnythingIsWritten)
{
    TempFolder folder;
    fs::create_directory(folder.file("folder"));

    struct Case
    {
        std::string path;
        std::string reason;
    };

    const Case cases[] = {
        {folder.file("folder"), "Is a directory"},
        {folder.file("missing/file"), "No such file or directory"},
        {folder.file(std::string(256, 'n')), "File name too long"},
        {"/dev/full", "No space left on device"},
        {"", "No such file or directory"},
    };
    for (const Case& c : cases) {
        const StagedFile file(c.path);
        EXPECT_EQ(file.failure(), c.reason) << c.path;
    }
    EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"folder"});
    // replaceFile leaves a device alone, its reason in errno.
    EXPECT_FALSE(replaceFile("/dev/null", bytesOf("x")));
    EXPECT_EQ(errno, EINVAL);
}

TEST(FileIo, OnlyStaleTemporariesOfTheGivenTargetsAreRemoved)
{
    TempFolder folder;
    const std::string target = folder.file("out.png");
    const long ended = endedProcess();
    const std::string stale = temporaryNameFor(target, ended, 0);
    const std::string running = temporaryNameFor(target, ::getppid(), 0);
    const std::string otherTarget = temporaryNameFor(folder.file("other.png"), ended, 0);
    const std::string notOurs = folder.file(".qv-unrelated.tmp");
    for (const std::string* path : {&stale, &running, &otherTarget, &notOurs}) {
        test::writeBytes(*path, {1});
    }
    EXPECT_EQ(removeStaleTemporaries(std::vector<std::string>{target}), 1);
    EXPECT_FALSE(fs::exists(stale));
    for (const std::string* path : {&running, &otherTarget, &notOurs}) {
        EXPECT_TRUE(fs::exists(*path)) << *path;
    }
}

} // namespace
} // namespace qv
