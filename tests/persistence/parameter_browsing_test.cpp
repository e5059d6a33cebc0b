// The fractal browser's core: which files it lists and in which order, what each kind does,
// the information text, the picture size kept aside for thumbnails, loads that change nothing
// when refused, and the gallery folder.
#include "persistence/parameter_browsing.h"
#include "persistence/parameter_files.h"
#include "tests/persistence/persistence_test_support.h"
#include "tests/support/temp_folder.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::Program;
using test::TempFolder;

void touch(const std::string& path)
{
    test::writeBytes(path, {1});
}

TEST(ParameterBrowsing, NamesMatchThePatternWithoutRegardToCase)
{
    const struct
    {
        const char* name;
        bool matches;
    } names[] = {
        {"a.fra", true}, {"A.FRA", true},  {"b.Fdz", true},      {"x.fxx", true},
        {"x.f12", true}, {"a.fr", false},  {"a.fraa", false},    {"a.gra", false},
        {"fra", false},  {"a_fra", false}, {"a.fra.jpg", false}, {"", false},
    };

    for (const auto& n : names) {
        EXPECT_EQ(matchesParameterPattern(n.name), n.matches) << n.name;
    }
}

TEST(ParameterBrowsing, ListsRegularMatchingFilesInCaseInsensitiveOrder)
{
    TempFolder folder;
    for (const char* name : {"c.FPI", "b.fdz", "A.fra", "x.fxx", "notes.txt", "a.fra.jpg"}) {
        touch(folder.file(name));
    }
    std::filesystem::create_directory(folder.file("folder.fra"));
    std::filesystem::create_symlink(folder.file("gone"), folder.file("dangling.fra"));

    const std::string f = folder.path();
    EXPECT_EQ(listParameterFiles(folder.path()),
              (std::vector<std::string>{f + "A.fra", f + "b.fdz", f + "c.FPI", f + "x.fxx"}));
    // The folder as the folder dialog gives it, without its last slash.
    EXPECT_EQ(listParameterFiles(f.substr(0, f.size() - 1)).front(), f + "A.fra");
    EXPECT_TRUE(listParameterFiles(folder.file("missing")).empty());
}

TEST(ParameterBrowsing, SortsBeforeKeepingTheFirstThousand)
{
    TempFolder folder;
    // Made from the end, so that the listing order of the folder is not the name order.
    for (int i = 1004; i >= 0; --i) {
        std::string name = i < 1000 ? "v0" : "v";
        name += std::to_string(i);
        name += ".fra";
        touch(folder.file(name));
    }
    const std::vector<std::string> files = listParameterFiles(folder.path());
    ASSERT_EQ(files.size(), kMaxBrowsedFiles);
    EXPECT_EQ(files.front(), folder.file("v00.fra"));
    EXPECT_EQ(files.back(), folder.file("v0999.fra"));
}

TEST(ParameterBrowsing, KindsFollowTheLastFourCharacters)
{
    const struct
    {
        const char* path;
        BrowsedKind kind;
    } paths[] = {
        {"/g/a.fra", BrowsedKind::Standard},
        {"/g/A.FRA", BrowsedKind::Standard},
        {"/g/b.Fdz", BrowsedKind::Deep},
        {"/g/c.fpi", BrowsedKind::StandardWithImage},
        {"/g/d.FPZ", BrowsedKind::DeepWithImage},
        {"/g/x.fxx", BrowsedKind::Other},
        {"fra", BrowsedKind::Other},
    };

    for (const auto& p : paths) {
        EXPECT_EQ(browsedKindOf(p.path), p.kind) << p.path;
    }
}

TEST(ParameterBrowsing, InformationTextNamesTypeAndPrecision)
{
    EXPECT_EQ(informationText(true, 80), "FRACTAL TYPE: Mandelbrot\n\nPrecision: 80 bits");
    EXPECT_EQ(informationText(false, 224), "FRACTAL TYPE: Julia\n\nPrecision: 224 bits");
    EXPECT_EQ(kInitialInformation, "FRACTAL: \n\nPrecision:");
    EXPECT_EQ(thumbnailPathOf("/g/a.fra"), "/g/a.fra.jpg");
}

TEST(ParameterBrowsing, RedrawRestoresTheSizeBeforeTheFirstThumbnailRender)
{
    const struct
    {
        std::int32_t width, height; // in force before the thumbnail renders
        int renders;                // thumbnail renders before REDRAW
        std::int32_t afterWidth, afterHeight;
    } cases[] = {
        {640, 480, 1, 640, 480},   {640, 480, 2, 640, 480}, {352, 288, 2, 352, 288},
        {1024, 768, 3, 1024, 768}, {176, 144, 2, 176, 144}, // at the thumbnail size: none kept
    };

    for (const auto& c : cases) {
        RenderSettings settings;
        settings.pictureWidth = c.width;
        settings.pictureHeight = c.height;
        SavedPictureSize saved;
        for (int i = 0; i < c.renders; ++i) {
            enterThumbnailSize(settings, saved);
            EXPECT_EQ(settings.pictureWidth, 176);
            EXPECT_EQ(settings.pictureHeight, 144);
        }
        restoreSavedSize(settings, saved);
        EXPECT_EQ(settings.pictureWidth, c.afterWidth) << c.width << " " << c.renders;
        EXPECT_EQ(settings.pictureHeight, c.afterHeight) << c.width << " " << c.renders;
        EXPECT_EQ(saved.width, 0); // forgotten
        EXPECT_FALSE(restoreSavedSize(settings, saved));
    }
    // A saved thumbnail size means the usual size.
    RenderSettings settings;
    settings.pictureWidth = 176;
    settings.pictureHeight = 144;
    SavedPictureSize saved{176, 144};
    ASSERT_TRUE(restoreSavedSize(settings, saved));
    EXPECT_EQ(settings.pictureWidth, 640);
    EXPECT_EQ(settings.pictureHeight, 480);
}

TEST(ParameterBrowsing, ARefusedFileChangesNothingAndAGoodOneLoadsAtThumbnailSize)
{
    TempFolder folder;
    Program p;
    const std::string good = folder.file("good.fra");
    ASSERT_TRUE(saveStandardFile(p.app, p.pictures, good));
    const std::string damaged = folder.file("damaged.fra");
    test::writeBytes(damaged, std::vector<std::uint8_t>(140, 7));

    p.app.settings.colourFlags = 3;
    p.app.paletteState.paletteOffset = 17;
    p.app.view.potValue = 2.5;
    SavedPictureSize saved;
    EXPECT_FALSE(loadAtThumbnailSize(p.app, p.shell.services, damaged, saved));
    EXPECT_EQ(p.shell.prompts.texts(), std::vector<std::string>{"Not a quorvalis-file!"});
    EXPECT_EQ(p.app.settings.pictureWidth, 640);
    EXPECT_EQ(p.app.settings.pictureHeight, 480);
    EXPECT_EQ(saved.width, 0);
    EXPECT_EQ(p.app.settings.colourFlags, 3u);
    EXPECT_EQ(p.app.paletteState.paletteOffset, 17);
    EXPECT_EQ(p.app.view.potValue, 2.5);
    EXPECT_FALSE(loadBrowsedFile(p.app, p.shell.services, damaged, true));
    EXPECT_EQ(p.app.settings.colourFlags, 3u);

    EXPECT_TRUE(loadAtThumbnailSize(p.app, p.shell.services, good, saved));
    EXPECT_EQ(p.app.settings.pictureWidth, 176);
    EXPECT_EQ(saved.width, 640);
    EXPECT_EQ(saved.height, 480);
}

TEST(ParameterBrowsing, HeadersAreReadWithoutTouchingTheProgram)
{
    TempFolder folder;
    Program p;
    const std::string file = folder.file("a.fra");
    ASSERT_TRUE(saveStandardFile(p.app, p.pictures, file));
    p.app.shell.lastFilePath = "/elsewhere.fra";
    const std::optional<ParameterHeader> header = browsedHeader(file);
    ASSERT_TRUE(header);
    EXPECT_TRUE(header->mandelbrot);
    EXPECT_EQ(header->precisionShown, 80);
    test::writeBytes(folder.file("x.fdz"), {55, 1, 2});
    EXPECT_FALSE(browsedHeader(folder.file("x.fdz")));
    EXPECT_FALSE(browsedHeader(folder.file("missing.fra")));
    EXPECT_EQ(p.app.shell.lastFilePath, "/elsewhere.fra");
}

TEST(ParameterBrowsing, AMissingGalleryIsFilledOnceFromTheInstalledOne)
{
    TempFolder folder;
    const std::string installed = folder.file("share/gallery");
    std::filesystem::create_directories(installed + "/sub");
    touch(installed + "/a.fra");
    touch(installed + "/a.fra.jpg");
    const std::string user = folder.file("user/");

    const std::string gallery = galleryFolder(user, {folder.file("none"), installed});
    EXPECT_EQ(gallery, user + "gallery");
    EXPECT_TRUE(std::filesystem::exists(gallery + "/a.fra"));
    EXPECT_TRUE(std::filesystem::exists(gallery + "/a.fra.jpg"));
    EXPECT_FALSE(std::filesystem::exists(gallery + "/sub"));

    // Once there, the folder is the user's: what was removed stays removed.
    std::filesystem::remove(gallery + "/a.fra");
    galleryFolder(user, {installed});
    EXPECT_FALSE(std::filesystem::exists(gallery + "/a.fra"));

    // Without an installed gallery nothing is made.
    const std::string other = folder.file("other/");
    EXPECT_EQ(galleryFolder(other, {folder.file("none")}), other + "gallery");
    EXPECT_FALSE(std::filesystem::exists(other + "gallery"));
}

} // namespace
} // namespace qv
