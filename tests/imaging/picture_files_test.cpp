// Picture files: the encoder chosen by extension, names that write nothing, the JPEG quality
// in the written file, thumbnails, and the saved picture's colours and orientation.
#include "imaging/picture_files.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_folder.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include <QImage>
#include <QImageReader>
#include <gtest/gtest.h>

namespace qv {
namespace {

using test::readBytes;
using test::TempFolder;

namespace fs = std::filesystem;

/// A state with a small picture in both forms and a palette whose entries are easy to tell.
void fillSmallState(AppState& app, std::int32_t width, std::int32_t height)
{
    for (std::size_t k = 0; k < app.palette.entries.size(); ++k) {
        app.palette.entries[k] = static_cast<std::uint32_t>(0x00400000u + k);
    }
    app.paletteState.paletteOffset = 7;
    app.settings.pictureWidth = width;
    app.settings.pictureHeight = height;
    app.iterations.allocate(width, height);
    app.picture.width = width;
    app.picture.height = height;
    app.picture.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::int32_t j = 0; j < height; ++j) {
        for (std::int32_t i = 0; i < width; ++i) {
            const std::int32_t k = j * width + i;
            app.iterations.counts[app.iterations.at(i, j)] =
                k % 3 == 0 ? 0 : (k % 3 == 1 ? 10 * k : -(0x000102 * k));
            app.picture.pixels[static_cast<std::size_t>(k)] =
                static_cast<std::uint32_t>(0x123456 + k);
        }
    }
}

std::string kindOf(const std::string& path)
{
    const std::vector<std::uint8_t> b = readBytes(path);
    if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) {
        return "jpeg";
    }
    if (b.size() >= 4 && ((b[0] == 'I' && b[1] == 'I' && b[2] == 42 && b[3] == 0) ||
                          (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && b[3] == 42))) {
        return "tiff";
    }
    if (b.size() >= 8 && b[0] == 0x89 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G') {
        return "png";
    }
    if (b.size() >= 2 && b[0] == 'B' && b[1] == 'M') {
        return "bmp";
    }
    return b.empty() ? "none" : "other";
}

TEST(EncodeByExtension, TheExtensionChoosesTheEncoderWhateverItsCase)
{
    TempFolder folder;
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(0xFF336699u);

    const struct
    {
        const char* name;
        const char* kind;
    } cases[] = {{"a.jpeg", "jpeg"}, {"b.JPG", "jpeg"}, {"c.Jpg", "jpeg"}, {"d.tiff", "tiff"},
                 {"e.TIF", "tiff"},  {"f.png", "png"},  {"g.bmp", "bmp"}};

    for (const auto& c : cases) {
        EXPECT_EQ(encodeImageByExtension(image, folder.file(c.name), 100),
                  PictureSaveResult::Written)
            << c.name;
        EXPECT_EQ(kindOf(folder.file(c.name)), c.kind) << c.name;
    }
}

TEST(EncodeByExtension, SomeNamesWriteNothingAndReportNoFailure)
{
    TempFolder folder;
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(0xFF000000u);
    fs::create_directories(folder.file("my.pics"));
    for (const std::string name : {"a.dib", "picture", "my.pics/picture", "a.jpgx"}) {
        EXPECT_EQ(encodeImageByExtension(image, folder.file(name), 100),
                  PictureSaveResult::NothingWritten)
            << name;
        EXPECT_FALSE(fs::exists(folder.file(name))) << name;
    }
    EXPECT_EQ(encodeImageByExtension(image, "", 100), PictureSaveResult::NothingWritten);
    // Only the files named remain: nothing else was left behind either.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

TEST(EncodeByExtension, AFailedWriteLeavesTheOldFile)
{
    TempFolder folder;
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(0xFFFFFFFFu);
    test::writeBytes(folder.file("old.emf"), {1, 2, 3});
    // No encoder writes EMF here: the write fails and the file stays as it was.
    EXPECT_EQ(encodeImageByExtension(image, folder.file("old.emf"), 100),
              PictureSaveResult::Failed);
    EXPECT_EQ(readBytes(folder.file("old.emf")), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(encodeImageByExtension(image, folder.file("no/such/folder/x.png"), 100),
              PictureSaveResult::Failed);
}

// The first quantisation table of a JPEG file (zigzag order, as stored).
std::vector<int> firstQuantisationTable(const std::vector<std::uint8_t>& b)
{
    for (std::size_t at = 2; at + 4 < b.size();) {
        if (b[at] != 0xFF) {
            return {};
        }
        const int marker = b[at + 1];
        const std::size_t length = static_cast<std::size_t>(b[at + 2] << 8 | b[at + 3]);
        if (marker == 0xDB) {
            const bool sixteenBit = (b[at + 4] >> 4) != 0;
            std::vector<int> table;
            for (std::size_t k = 0; k < 64; ++k) {
                table.push_back(sixteenBit ? (b[at + 5 + 2 * k] << 8 | b[at + 6 + 2 * k])
                                           : b[at + 5 + k]);
            }
            return table;
        }
        at += 2 + length;
    }
    return {};
}

// The luminance table of the JPEG standard scaled for a quality, in zigzag order: scale =
// 5000 / q below 50, else 200 - 2 q; entry = (base * scale + 50) / 100, kept in 1..255.
std::vector<int> scaledLuminanceTable(int quality)
{
    static constexpr std::array<int, 64> kBase{
        16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
        14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
        18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
        49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
    static constexpr std::array<int, 64> kZigzag{
        0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
        41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
        30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
    const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
    std::vector<int> table;
    for (const int natural : kZigzag) {
        table.push_back(
            std::clamp((kBase[static_cast<std::size_t>(natural)] * scale + 50) / 100, 1, 255));
    }
    return table;
}

TEST(PictureWriter, JpegQualityIs100Or75ByAutosave)
{
    TempFolder folder;
    AppState app;
    fillSmallState(app, 16, 16);
    QtPictureWriter writer(app);
    for (const std::int32_t autosave : {0, 1}) {
        app.settings.autosaveParameter = autosave;
        const std::string name = std::to_string(autosave) + "q";
        EXPECT_EQ(writer.savePicture(folder.file(name + "p.jpg")), PictureSaveResult::Written);
        EXPECT_EQ(writer.saveDisplayedPicture(folder.file(name + "d.jpg")),
                  PictureSaveResult::Written);
        EXPECT_EQ(writer.saveThumbnail(folder.file(name + "t.jpg")), PictureSaveResult::Written);
        const std::vector<int> expected = scaledLuminanceTable(autosave != 0 ? 75 : 100);
        for (const char* kind : {"p.jpg", "d.jpg", "t.jpg"}) {
            EXPECT_EQ(firstQuantisationTable(readBytes(folder.file(name + kind))), expected)
                << name << kind;
        }
    }
}

TEST(PictureWriter, ThumbnailsAre176By144WhateverTheAspect)
{
    TempFolder folder;
    for (const auto& [w, h] : {std::pair{640, 480}, std::pair{1920, 1080}, std::pair{100, 30}}) {
        AppState app;
        fillSmallState(app, w, h);
        std::fill(app.picture.pixels.begin(), app.picture.pixels.end(), 0x00A0B0C0u);
        QtPictureWriter writer(app);
        const std::string path = folder.file(std::to_string(w) + "t.png");
        ASSERT_EQ(writer.saveThumbnail(path), PictureSaveResult::Written);
        const QImage thumbnail(QString::fromStdString(path));
        EXPECT_EQ(thumbnail.width(), 176);
        EXPECT_EQ(thumbnail.height(), 144);
        // A picture of one colour stays that colour.
        EXPECT_EQ(thumbnail.pixel(0, 0) & 0xFFFFFFu, 0xA0B0C0u);
        EXPECT_EQ(thumbnail.pixel(175, 143) & 0xFFFFFFu, 0xA0B0C0u);
    }
}

TEST(PictureWriter, TheSavedPictureIsUprightWithPixelZeroBlack)
{
    TempFolder folder;
    const std::int32_t w = 7;
    const std::int32_t h = 5;
    AppState app;
    fillSmallState(app, w, h);
    app.palette.entries[7] = 0x00FFFFFFu; // entry offset + 0 is white on screen
    QtPictureWriter writer(app);
    QImage shown;
    writer.setPictureShown([&](const QImage& image) { shown = image; });
    const std::string path = folder.file("p.png");
    ASSERT_EQ(writer.savePicture(path), PictureSaveResult::Written);
    const QImage saved(QString::fromStdString(path));
    ASSERT_EQ(saved.width(), w);
    ASSERT_EQ(saved.height(), h);
    EXPECT_EQ(shown.convertToFormat(QImage::Format_RGB32),
              saved.convertToFormat(QImage::Format_RGB32));
    for (std::int32_t j = 0; j < h; ++j) {
        for (std::int32_t i = 0; i < w; ++i) {
            const std::int32_t v = app.iterations.counts[static_cast<std::size_t>(j * w + i)];
            std::uint32_t expected = 0;
            if (v > 0) {
                expected = app.palette.entries[static_cast<std::size_t>(7 + v)];
            } else {
                expected = static_cast<std::uint32_t>(-v);
            }
            // Top row of the file = buffer row 0 (the row at ymin).
            ASSERT_EQ(saved.pixel(i, j) & 0xFFFFFFu, expected) << i << ", " << j;
        }
    }
    EXPECT_EQ(saved.pixel(0, 0) & 0xFFFFFFu, 0u); // value 0: black, not palette entry 7
}

TEST(PictureWriter, TheDisplayedPictureIsWrittenAsItIs)
{
    TempFolder folder;
    AppState app;
    fillSmallState(app, 6, 4);
    QtPictureWriter writer(app);
    const std::string path = folder.file("d.bmp");
    ASSERT_EQ(writer.saveDisplayedPicture(path), PictureSaveResult::Written);
    const QImage saved(QString::fromStdString(path));
    ASSERT_EQ(saved.size(), QSize(6, 4));
    for (std::int32_t j = 0; j < 4; ++j) {
        for (std::int32_t i = 0; i < 6; ++i) {
            EXPECT_EQ(saved.pixel(i, j) & 0xFFFFFFu,
                      static_cast<std::uint32_t>(0x123456 + j * 6 + i));
        }
    }
}

TEST(PictureWriter, BeforeTheFirstPictureNothingIsWritten)
{
    TempFolder folder;
    AppState app;
    QtPictureWriter writer(app);
    EXPECT_EQ(writer.saveDisplayedPicture(folder.file("d.png")), PictureSaveResult::NothingWritten);
    EXPECT_EQ(writer.saveThumbnail(folder.file("t.jpg")), PictureSaveResult::NothingWritten);
    EXPECT_EQ(writer.savePicture(folder.file("p.jpg")), PictureSaveResult::NothingWritten);
    EXPECT_FALSE(fs::exists(folder.file("d.png")));
    EXPECT_FALSE(fs::exists(folder.file("t.jpg")));
}

TEST(SavePicture, FailuresSaySoAndLeaveThePreviousFile)
{
    TempFolder folder;
    const std::string locked = folder.file("locked/");
    fs::create_directories(locked);
    AppState app;
    fillSmallState(app, 16, 16);
    QtPictureWriter writer(app);
    const std::string previous = "the previous file";
    for (const char* name : {"locked/picture.png", "picture.xyz", "picture"}) {
        std::ofstream(folder.file(name)) << previous;
    }
    // A full disk: the picture's name leads to the device that is always full.
    fs::create_symlink("/dev/full", folder.file("full.png"));
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    // Root writes into any folder: /proc stands for one that cannot be written.
    const bool lockedHolds = ::access(locked.c_str(), W_OK) != 0;
    const std::string unwritable = lockedHolds ? locked + "picture.png" : "/proc/picture.png";

    const struct
    {
        std::string path;
        std::string message;
        std::size_t filesBeside; ///< 0: not a file of the test's folder
    } cases[] = {
        {unwritable, std::string(kPictureNotWritten) + unwritable, lockedHolds ? 1u : 0u},
        {folder.file("full.png"), std::string(kPictureNotWritten) + folder.file("full.png"), 0},
        {folder.file("picture.xyz"),
         std::string(kPictureNameWithoutFormat) + folder.file("picture.xyz"), 4},
        {folder.file("picture"), std::string(kPictureNameWithoutFormat) + folder.file("picture"),
         4},
    };

    for (const auto& c : cases) {
        test::ScriptedPrompts prompts;
        EXPECT_FALSE(savePictureReporting(writer, prompts, c.path)) << c.path;
        EXPECT_EQ(prompts.texts(), std::vector<std::string>{c.message});
        if (c.filesBeside > 0) {
            EXPECT_EQ(readBytes(c.path),
                      std::vector<std::uint8_t>(previous.begin(), previous.end()))
                << c.path;
            const fs::path beside = fs::path(c.path).parent_path();
            EXPECT_EQ(static_cast<std::size_t>(
                          std::distance(fs::directory_iterator(beside), fs::directory_iterator{})),
                      c.filesBeside)
                << "a temporary file was left beside " << c.path;
        }
    }
    EXPECT_TRUE(fs::is_symlink(folder.file("full.png")));
    fs::permissions(locked, fs::perms::owner_all);

    test::ScriptedPrompts prompts;
    EXPECT_TRUE(savePictureReporting(writer, prompts, folder.file("picture.png")));
    EXPECT_TRUE(prompts.asked().empty());
    AppState empty;
    QtPictureWriter nothing(empty);
    EXPECT_FALSE(savePictureReporting(nothing, prompts, folder.file("none.png")));
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{std::string(kNoPictureYet)});
}

} // namespace
} // namespace qv
