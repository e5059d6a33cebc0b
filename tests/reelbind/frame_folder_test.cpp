// The converter's paths: the ".avi" rule, what a frame-folder argument names, which files are
// frames and the order they play in.
#include "reelbind/frame_folder.h"
#include "tests/reelbind/test_frames.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace qv::reelbind {
namespace {

TEST(FrameFolder, AviIsAddedUnlessTheExtensionIsExactlyAvi)
{
    const std::pair<const char*, const char*> cases[] = {
        {"film", "film.avi"},
        {"film.avi", "film.avi"},
        {"film.AVI", "film.AVI.avi"},
        {"film.mp4", "film.mp4.avi"},
        {"out.avi/film", "out.avi/film.avi"},
        {"/tmp/x.y/film.avi", "/tmp/x.y/film.avi"},
        {"film.avi.", "film.avi..avi"},
    };
    for (const auto& [given, expected] : cases) {
        EXPECT_EQ(videoPathFor(given), expected) << given;
    }
}

TEST(FrameFolder, AnExistingFolderIsMeantAsItStandsElseTheFolderPart)
{
    test::ScratchFolder scratch;
    const std::string root = scratch.path().string();
    std::filesystem::create_directory(scratch.path() / "temp");
    const std::pair<std::string, std::string> cases[] = {
        {root + "/temp/", root + "/temp/"},
        {root + "/temp", root + "/temp"}, // not its parent folder
        {root + "/temp/00001.jpg", root + "/temp/"},
        {root + "/gone", root + "/"},
        {"frames.jpg", "./"},
        {"", "./"},
    };
    for (const auto& [given, expected] : cases) {
        EXPECT_EQ(framesFolderFor(given).string(), expected) << given;
    }
}

TEST(FrameFolder, FramesAreBmpJpgAndJpegInAnyCase)
{
    for (const char* name : {"a.bmp", "a.BMP", "a.Jpg", "a.JPEG", "x.y.jpeg", ".jpg"}) {
        EXPECT_TRUE(isFrameFileName(name)) << name;
    }
    for (const char* name : {"a.png", "a.jpe", "a.bmp.part", "bmp", "a.avi", "a.jpg~"}) {
        EXPECT_FALSE(isFrameFileName(name)) << name;
    }
}

TEST(FrameFolder, NamesPlayInOrderWithoutRegardToCase)
{
    std::vector<std::string> names = {"b.jpg", "_.jpg",  "A.jpg", "a.jpg",
                                      "C.jpg", "10.jpg", "9.jpg"};
    std::sort(names.begin(), names.end(), framePlaysBefore);
    // Upper-cased, "_" (0x5F) sorts after the letters; "A" and "a" tie and then go by byte.
    EXPECT_EQ(names, (std::vector<std::string>{"10.jpg", "9.jpg", "A.jpg", "a.jpg", "b.jpg",
                                               "C.jpg", "_.jpg"}));
}

TEST(FrameFolder, ListsOnlyFrameFilesInPlayingOrder)
{
    test::ScratchFolder scratch;
    for (const char* name : {"b.JPG", "a.bmp", "C.jpeg", "d.png", "v.avi"}) {
        test::writeFile(scratch.file(name), {1});
    }
    std::filesystem::create_directory(scratch.path() / "e.jpg");
    std::filesystem::create_symlink(scratch.file("a.bmp"), scratch.file("f.bmp"));
    std::string error;
    const auto files = listFrameFiles(scratch.path(), error);
    ASSERT_TRUE(files) << error;
    std::vector<std::string> names;
    for (const auto& f : *files) {
        names.push_back(f.filename().string());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a.bmp", "b.JPG", "C.jpeg", "f.bmp"}));
    EXPECT_FALSE(listFrameFiles(scratch.path() / "missing", error));
    EXPECT_NE(error.find("missing"), std::string::npos) << error;
}

TEST(FrameFolder, ReadsFramesByTheirExtension)
{
    test::ScratchFolder scratch;
    const Picture p = test::banded(6, 4, 9);
    test::writeFile(scratch.file("x.Bmp"), test::encodeBmp(p));
    test::writeFile(scratch.file("x.jpeg"), test::encodeJpeg(p));
    test::writeFile(scratch.file("bmp.jpg"), test::encodeBmp(p));
    std::string error;
    EXPECT_EQ(readFrame(scratch.file("x.Bmp"), error).value_or(Picture{}).rgb, p.rgb) << error;
    EXPECT_TRUE(readFrame(scratch.file("x.jpeg"), error)) << error;
    EXPECT_FALSE(readFrame(scratch.file("bmp.jpg"), error));
    EXPECT_FALSE(readFrame(scratch.file("missing.jpg"), error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
}

} // namespace
} // namespace qv::reelbind
