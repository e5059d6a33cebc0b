// RecordingPictureWriter: a picture writer for core tests that records each call and leaves a
// small marker file, so that tests see which picture went where.
#pragma once

#include "persistence/picture_writer.h"

#include <fstream>
#include <string>
#include <vector>

namespace qv::test {

/// Each call becomes "thumbnail <path>", "picture <path>" or "displayed <path>" in `calls`; the
/// file gets that kind's name as its contents.
class RecordingPictureWriter : public PictureWriter
{
public:
    PictureSaveResult savePicture(const std::string& path) override
    {
        return record("picture", path);
    }

    PictureSaveResult saveDisplayedPicture(const std::string& path) override
    {
        return record("displayed", path);
    }

    PictureSaveResult saveThumbnail(const std::string& path) override
    {
        return record("thumbnail", path);
    }

    std::vector<std::string> calls;

private:
    PictureSaveResult record(const std::string& kind, const std::string& path)
    {
        calls.push_back(kind + " " + path);
        std::ofstream out(path, std::ios::trunc);
        out << kind;
        return out ? PictureSaveResult::Written : PictureSaveResult::Failed;
    }
};

} // namespace qv::test
