// The menu commands of parameter files: their dialogs, the names and titles they set, and what
// a cancel, a refusal or a failed write leaves.
#include "persistence/parameter_commands.h"
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

TEST(ParameterDialogs, TitlesFiltersAndExtensionsFollowDeepZoomAndImage)
{
    const struct
    {
        bool deep;
        bool image;
        const char* title;
        const char* filter;
        const char* extension;
    } saves[] = {
        {true, false, "SAVE PARAMETERS", "Fractal Files (*.fdz)|*.FDZ|", "FDZ"},
        {false, false, "SAVE PARAMETERS", "Fractal Files (*.fra)|*.FRA|", "FRA"},
        {true, true, "SAVE PARAMETERS & IMAGE", "Fractal Files (*.fpz)|*.FPZ|", "FPZ"},
        {false, true, "SAVE PARAMETERS & IMAGE", "Fractal Files (*.fpi)|*.FPI|", "FPI"},
    };

    for (const auto& s : saves) {
        const FileDialogRequest r = saveParametersRequest(s.deep, s.image);
        EXPECT_EQ(r.title, s.title);
        EXPECT_EQ(r.filter, s.filter);
        EXPECT_EQ(r.defaultExtension, s.extension);
    }
    const FileDialogRequest load = loadParametersRequest(false);
    EXPECT_EQ(load.title, "LOAD PARAMETERS");
    EXPECT_EQ(load.filter, "Fractal Files (*.fdz;*.fra)|*.FDZ;*.FRA|");
    EXPECT_EQ(load.defaultExtension, "FDZ");
    const FileDialogRequest image = loadParametersRequest(true);
    EXPECT_EQ(image.title, "LOAD PARAMETER & IMAGE");
    EXPECT_EQ(image.filter, "Fractal Image-Parameter Files (*.fpz;*.fpi)|*.FPZ;*.FPI|");
    EXPECT_EQ(image.defaultExtension, "FPZ");
}

TEST(SaveFractal, WritesFileAndThumbnailAndShowsThePath)
{
    TempFolder folder;
    Program p;
    const std::string path = folder.file("x.fra");
    p.shell.prompts.answer(path);
    ASSERT_TRUE(saveFractalCommand(p.app, p.shell.services, p.pictures));
    EXPECT_EQ(p.shell.prompts.texts(), std::vector<std::string>{"SAVE PARAMETERS"});
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_TRUE(std::filesystem::exists(path + ".jpg"));
    EXPECT_EQ(std::filesystem::file_size(path), 133u);
    EXPECT_EQ(p.shell.observer.last("menuTitle"), "QUORVALIS - " + path);
    EXPECT_EQ(p.app.shell.lastFilePath, path);
    EXPECT_EQ(p.app.shell.currentFileName, path);
}

TEST(SaveFractal, WithImageInDeepZoomWritesTheDeepKind)
{
    TempFolder folder;
    Program p;
    test::smallPicture(p.app, 3, 2);
    p.app.view.deepZoom = 1;
    const std::string path = folder.file("x.fpz");
    p.shell.prompts.answer(path);
    ASSERT_TRUE(saveFractalWithImageCommand(p.app, p.shell.services, p.pictures));
    EXPECT_EQ(p.shell.prompts.texts(), std::vector<std::string>{"SAVE PARAMETERS & IMAGE"});
    const std::vector<std::uint8_t> bytes = test::readBytes(path);
    ASSERT_GT(bytes.size(), 85u);
    EXPECT_EQ(bytes[0], 55);
    EXPECT_EQ(test::i32At(bytes, 77), 3);
    EXPECT_EQ(p.app.shell.currentFileName, path);
}

TEST(SaveFractal, ACancelOrAFailedWriteChangesNoName)
{
    Program p;
    p.app.shell.currentFileName = "old.fra";
    p.shell.prompts.answer("");
    EXPECT_FALSE(saveFractalCommand(p.app, p.shell.services, p.pictures));
    const std::string path = "/nonexistent-folder-of-quorvalis/x.fra";
    p.shell.prompts.answer(path);
    EXPECT_FALSE(saveFractalCommand(p.app, p.shell.services, p.pictures));
    EXPECT_EQ(p.shell.prompts.texts(),
              (std::vector<std::string>{"SAVE PARAMETERS", "SAVE PARAMETERS",
                                        std::string(kParameterFileNotWritten) + path}));
    EXPECT_EQ(p.app.shell.currentFileName, "old.fra");
    EXPECT_EQ(p.app.shell.lastFilePath, "");
    EXPECT_EQ(p.shell.observer.last("menuTitle"), "(none)");
}

TEST(LoadFractal, MakesTheFileCurrentAndACancelClearsIt)
{
    TempFolder folder;
    Program saver;
    const std::string path = folder.file("a.fra");
    ASSERT_TRUE(saveStandardFile(saver.app, saver.pictures, path));

    Program p;
    p.shell.prompts.answer(path);
    ASSERT_TRUE(loadFractalCommand(p.app, p.shell.services));
    EXPECT_EQ(p.shell.prompts.texts(), std::vector<std::string>{"LOAD PARAMETERS"});
    EXPECT_EQ(p.app.shell.currentFileName, path);

    // A refused file leaves the current name; a cancel clears it.
    test::writeBytes(folder.file("bad.fra"), std::vector<std::uint8_t>(7, 1));
    p.shell.prompts.answer(folder.file("bad.fra"));
    EXPECT_FALSE(loadFractalCommand(p.app, p.shell.services));
    EXPECT_EQ(p.app.shell.currentFileName, path);
    p.shell.prompts.answer("");
    EXPECT_FALSE(loadFractalCommand(p.app, p.shell.services));
    EXPECT_EQ(p.app.shell.currentFileName, "");
}

TEST(LoadFractal, WithImageShowsTheStoredPictureWithoutRendering)
{
    TempFolder folder;
    Program saver;
    test::smallPicture(saver.app, 4, 3);
    const std::string path = folder.file("a.fpi");
    ASSERT_TRUE(saveStandardFileWithImage(saver.app, saver.shell.observer, saver.pictures, path));

    Program p;
    p.app.render.elapsedSeconds = 12.5f; // the time of the picture before
    p.shell.prompts.answer(path);
    ASSERT_TRUE(loadFractalWithImageCommand(p.app, p.shell.services));
    EXPECT_EQ(p.shell.prompts.texts(), std::vector<std::string>{"LOAD PARAMETER & IMAGE"});
    EXPECT_EQ(p.app.render.elapsedSeconds, 0.0f);
    EXPECT_EQ(p.app.shell.currentFileName, path);
    EXPECT_EQ(p.app.shell.pictureValid, 1);
    EXPECT_EQ(p.app.shell.pictureFromImage, 1);
    ASSERT_EQ(p.app.picture.width, 4);
    ASSERT_EQ(p.app.picture.height, 3);
    // A finished colour stored negated is shown as that colour.
    EXPECT_EQ(p.app.picture.pixels[1], static_cast<std::uint32_t>(0x010203));
}

} // namespace
} // namespace qv
