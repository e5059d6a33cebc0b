// The core rules of picture files: which extensions choose which encoder, the JPEG quality and
// the picture save dialog.
#include "persistence/picture_writer.h"
#include "tests/support/scripted_prompts.h"

#include <string>

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(PictureExtensions, ChooseTheEncoderWhateverTheirCase)
{
    const struct
    {
        const char* path;
        const char* type;
    } cases[] = {
        {"a.jpeg", "image/jpeg"},     {"a.JPG", "image/jpeg"},
        {"/x/y/a.Jpg", "image/jpeg"}, {"a.tiff", "image/tiff"},
        {"a.TIF", "image/tiff"},      {"a.png", "image/png"},
        {"a.bmp", "image/bmp"},       {"a.gif", "image/gif"},
        {"a.ico", "image/x-icon"},    {"a.emf", "image/x-emf"},
        {"a.wmf", "image/x-wmf"},     {"a.tar.PnG", "image/png"}, // the last dot counts
    };

    for (const auto& c : cases) {
        EXPECT_EQ(pictureMimeType(c.path), c.type) << c.path;
    }
}

TEST(PictureExtensions, SomeNamesWriteNothing)
{
    for (const char* path : {"", "picture", "a.dib", "a.DIB", "my.pics/picture", "a.", "a.jpgx",
                             "a.jp", "a.png.bak", ".JPEG.x"}) {
        EXPECT_EQ(pictureMimeType(path), "") << path;
    }
}

TEST(PictureFiles, JpegQualityFollowsAutosave)
{
    RenderSettings settings;
    settings.autosaveParameter = 0;
    EXPECT_EQ(jpegQuality(settings), 100);
    settings.autosaveParameter = 1;
    EXPECT_EQ(jpegQuality(settings), 75);
}

TEST(PictureFiles, TheSaveDialogOffersTheChosenFormat)
{
    const char* filters[] = {"Picture Files (*.jpg)|*.JPG|", "Picture Files (*.bmp)|*.BMP|",
                             "Picture Files (*.tif)|*.TIF|", "Picture Files (*.png)|*.PNG|"};
    const char* extensions[] = {"JPG", "BMP", "TIF", "PNG"};
    RenderSettings settings;
    for (int i = 0; i < 4; ++i) {
        settings.pictureFormatIndex = i;
        const FileDialogRequest request = pictureFileRequest(settings);
        EXPECT_EQ(request.filter, filters[i]);
        EXPECT_EQ(request.defaultExtension, extensions[i]);
        EXPECT_EQ(request.proposedName, "");
        EXPECT_EQ(request.initialFolder, "");
    }
    test::ScriptedPrompts prompts;
    prompts.answer("/tmp/p.png");
    settings.pictureFormatIndex = 3;
    EXPECT_EQ(askPictureFileName(prompts, settings), "/tmp/p.png");
    prompts.answer("");
    EXPECT_EQ(askPictureFileName(prompts, settings), "");
}

} // namespace
} // namespace qv
