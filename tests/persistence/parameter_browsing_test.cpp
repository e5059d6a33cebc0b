// The fractal browser's core: which files it lists and in which order, what each kind does,
// the information text, the picture size kept aside for thumbnails, loads that change nothing
// when refused, and the gallery folder.
#include "persistence/parameter_browsing.h"
#include "persistence/parameter_files.h"
#include "tests/persistence/persistence_test_support.h"
#include "tests/support/temp_folder.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::Program;
using test::TempFolder;
namespace fs = std::filesystem;

void touch(const std::string& path)
{
    test::writeBytes(path, {1});
}

TEST(ParameterBrowsing, NamesMatchWithoutRegardToCaseAndTheirEndChoosesTheKind)
{
    const std::tuple<const char*, bool, BrowsedKind> names[] = {
        {"a.fra", true, BrowsedKind::Standard},
        {"A.FRA", true, BrowsedKind::Standard},
        {"b.Fdz", true, BrowsedKind::Deep},
        {"c.fpi", true, BrowsedKind::StandardWithImage},
        {"d.FPZ", true, BrowsedKind::DeepWithImage},
        {"x.fxx", true, BrowsedKind::Other},
        {"a.fr", false, BrowsedKind::Other},
        {"a.fraa", false, BrowsedKind::Other},
        {"a_fra", false, BrowsedKind::Other},
        {"a.fra.jpg", false, BrowsedKind::Other},
        {"", false, BrowsedKind::Other},
    };
    for (const auto& [name, matches, kind] : names) {
        EXPECT_EQ(matchesParameterPattern(name), matches) << name;
        EXPECT_EQ(browsedKindOf(std::string("/g/") + name), kind) << name;
    }
    EXPECT_EQ(informationText(true, 80), "FRACTAL TYPE: Mandelbrot\n\nPrecision: 80 bits");
    EXPECT_EQ(informationText(false, 224), "FRACTAL TYPE: Julia\n\nPrecision: 224 bits");
}

TEST(ParameterBrowsing, ListsRegularMatchingFilesInCaseInsensitiveOrderBeforeTheCap)
{
    TempFolder folder;
    for (const char* name : {"c.FPI", "b.fdz", "A.fra", "x.fxx", "notes.txt", "a.fra.jpg"}) {
        touch(folder.file(name));
    }
    fs::create_directory(folder.file("folder.fra"));
    fs::create_symlink(folder.file("gone"), folder.file("dangling.fra"));
    const std::string f = folder.path();
    EXPECT_EQ(listParameterFiles(f.substr(0, f.size() - 1)),
              (std::vector<std::string>{f + "A.fra", f + "b.fdz", f + "c.FPI", f + "x.fxx"}));
    EXPECT_TRUE(listParameterFiles(folder.file("missing")).empty());

    // Made from the end, so that the folder's own order is not the name order.
    for (int i = 1004; i >= 0; --i) {
        char name[16];
        std::snprintf(name, sizeof name, "v%04d.fra", i);
        touch(folder.file(name));
    }
    const std::vector<std::string> files = listParameterFiles(f);
    ASSERT_EQ(files.size(), kMaxBrowsedFiles);
    EXPECT_EQ(files.front(), f + "A.fra");
    EXPECT_EQ(files.back(), f + "v0996.fra"); // x.fxx is beyond the cap
}

TEST(ParameterBrowsing, RedrawRestoresTheSizeBeforeTheFirstThumbnailRender)
{
    // The size in force before the thumbnail renders, and how many of them run.
    const std::tuple<std::int32_t, std::int32_t, int> cases[] = {
        {640, 480, 1},  {640, 480, 2}, {352, 288, 2},
        {1024, 768, 3}, {176, 144, 2}, // nothing to keep aside
    };
    for (const auto& [width, height, renders] : cases) {
        RenderSettings settings;
        settings.pictureWidth = width;
        settings.pictureHeight = height;
        SavedPictureSize saved;
        for (int i = 0; i < renders; ++i) {
            enterThumbnailSize(settings, saved);
        }
        EXPECT_EQ(settings.pictureWidth * 1000 + settings.pictureHeight, 176144);
        restoreSavedSize(settings, saved);
        EXPECT_EQ(settings.pictureWidth * 1000 + settings.pictureHeight, width * 1000 + height)
            << width << " " << renders;
        EXPECT_FALSE(restoreSavedSize(settings, saved)); // forgotten
    }
    // A saved thumbnail size means the usual size.
    RenderSettings settings;
    settings.pictureWidth = 176;
    SavedPictureSize saved{176, 144};
    ASSERT_TRUE(restoreSavedSize(settings, saved));
    EXPECT_EQ(settings.pictureWidth * 1000 + settings.pictureHeight, 640480);
}

TEST(ParameterBrowsing, ARefusedFileChangesNothingAndHeadersLeaveTheProgramAlone)
{
    TempFolder folder;
    Program p;
    const std::string good = folder.file("good.fra");
    ASSERT_TRUE(saveStandardFile(p.app, p.pictures, good));
    const std::string damaged = folder.file("damaged.fra");
    test::writeBytes(damaged, std::vector<std::uint8_t>(140, 7));
    p.app.settings.colourFlags = 3;
    p.app.paletteState.paletteOffset = 17;
    p.app.shell.lastFilePath = "/elsewhere.fra";

    SavedPictureSize saved;
    EXPECT_FALSE(loadAtThumbnailSize(p.app, p.shell.services, damaged, saved));
    EXPECT_FALSE(loadBrowsedFile(p.app, p.shell.services, damaged, true));
    EXPECT_EQ(p.shell.prompts.texts().size(), 2u);
    EXPECT_EQ(p.app.settings.pictureWidth, 640);
    EXPECT_EQ(saved.width, 0);
    EXPECT_EQ(p.app.settings.colourFlags, 3u);
    EXPECT_EQ(p.app.paletteState.paletteOffset, 17);

    ASSERT_TRUE(browsedHeader(good));
    EXPECT_EQ(browsedHeader(good)->precisionShown, 80);
    EXPECT_FALSE(browsedHeader(damaged));
    EXPECT_EQ(p.app.shell.lastFilePath, "/elsewhere.fra");

    EXPECT_TRUE(loadAtThumbnailSize(p.app, p.shell.services, good, saved));
    EXPECT_EQ(p.app.settings.pictureWidth, 176);
    EXPECT_EQ(saved.width * 1000 + saved.height, 640480);
}

TEST(ParameterBrowsing, AMissingGalleryIsFilledOnceFromTheInstalledOne)
{
    TempFolder folder;
    const std::string installed = folder.file("share/gallery");
    fs::create_directories(installed + "/sub");
    touch(installed + "/a.fra");
    touch(installed + "/a.fra.jpg");
    const std::string user = folder.file("user/");
    const std::string gallery = galleryFolder(user, {folder.file("none"), installed});
    EXPECT_EQ(gallery, user + "gallery");
    EXPECT_TRUE(fs::exists(gallery + "/a.fra") && fs::exists(gallery + "/a.fra.jpg"));
    EXPECT_FALSE(fs::exists(gallery + "/sub"));
    // Once there, the folder is the user's: what was removed stays removed.
    fs::remove(gallery + "/a.fra");
    galleryFolder(user, {installed});
    EXPECT_FALSE(fs::exists(gallery + "/a.fra"));
    // Without an installed gallery nothing is made.
    EXPECT_FALSE(fs::exists(galleryFolder(folder.file("other"), {folder.file("none")})));
}

} // namespace
} // namespace qv
