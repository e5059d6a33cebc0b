// The converter's paths: the ".avi" rule, what a frame-folder argument names, which files are
// frames and the order they play in.
#include "reelbind/frame_folder.h"
#include "tests/reelbind/test_frames.h"

namespace qv::reelbind {
namespace {

TEST(FrameFolder, AviIsAddedUnlessTheExtensionIsExactlyAvi)
{
    const std::pair<const char*, const char*> cases[] = {
        {"film", "film.avi"},
        {"film.avi", "film.avi"},
        {"film.AVI", "film.AVI.avi"},
        {"film.mp4", "film.mp4.avi"},
        {"a.avi/film", "a.avi/film.avi"},
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
        {root + "/temp", root + "/temp"}, // not its parent
        {root + "/temp/00001.jpg", root + "/temp/"},
        {root + "/gone", root + "/"},
        {"frames.jpg", "./"},
    };
    for (const auto& [given, expected] : cases) {
        EXPECT_EQ(framesFolderFor(given).string(), expected) << given;
    }
}

TEST(FrameFolder, ListsBmpJpgAndJpegFilesOfAnyCaseByNameWithoutRegardToCase)
{
    test::ScratchFolder scratch;
    for (const char* name : {"b.JPG", "_.bmp", "A.jpeg", "a.Bmp", "10.jpg", "9.jpg", "d.png",
                             "v.avi", "x.bmp.part", "jpg"}) {
        test::writeBytes(scratch.file(name), {1});
    }
    std::filesystem::create_directory(scratch.path() / "e.jpg");
    std::filesystem::create_symlink(scratch.file("b.JPG"), scratch.file("c.jpg"));
    std::string error;
    const auto files = listFrameFiles(scratch.path(), error);
    ASSERT_TRUE(files) << error;
    std::vector<std::string> names;
    for (const auto& f : *files) {
        names.push_back(f.filename().string());
    }
    // Compared upper-cased: "_" (0x5F) sorts after the letters.
    EXPECT_EQ(names, (std::vector<std::string>{"10.jpg", "9.jpg", "a.Bmp", "A.jpeg", "b.JPG",
                                               "c.jpg", "_.bmp"}));
    EXPECT_FALSE(listFrameFiles(scratch.path() / "gone", error));
    EXPECT_NE(error.find("gone"), std::string::npos) << error;
}

} // namespace
} // namespace qv::reelbind
