// Writes the fuzz targets' seed corpus with the program's own savers: parameter files of every
// kind it writes (Mandelbrot and Julia, with and without a picture), files of each older
// layout's length, and palette files. Usage: fuzz_seeds FOLDER (makes FOLDER/parameter_file
// and FOLDER/palette_file).
#include "base/file_io.h"
#include "engine/view_state.h"
#include "palette/palette_file.h"
#include "persistence/parameter_files.h"
#include "persistence/parameter_format.h"
#include "tools/fuzz/fuzz_session.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

/// The savers ask for thumbnails; the corpus has no use for them.
class NoPictures final : public qv::PictureWriter
{
public:
    qv::PictureSaveResult savePicture(const std::string&) override { return nothing(); }

    qv::PictureSaveResult saveDisplayedPicture(const std::string&) override { return nothing(); }

    qv::PictureSaveResult saveThumbnail(const std::string&) override { return nothing(); }

private:
    static qv::PictureSaveResult nothing() { return qv::PictureSaveResult::NothingWritten; }
};

/// A small stored picture, so that the with-image files stay a few hundred bytes.
void smallPicture(qv::AppState& app)
{
    app.settings.pictureWidth = 8;
    app.settings.pictureHeight = 6;
    app.iterations.allocate(8, 6);
    for (std::size_t i = 0; i < app.iterations.counts.size(); ++i) {
        app.iterations.counts[i] = static_cast<std::int32_t>(i % 37);
    }
}

bool writeParameterFiles(const fs::path& folder)
{
    bool ok = true;
    for (const bool julia : {false, true}) {
        qv::fuzz::Session session;
        qv::AppState& app = session.app;
        NoPictures pictures;
        if (julia) {
            app.view.modeWord = (app.view.modeWord & ~3u) | 2u;
            qv::refreshFromDeep(app.view, qv::viewContext(app), session.observer);
        }
        smallPicture(app);
        const std::string stem = (folder / (julia ? "julia" : "mandelbrot")).string();
        ok = qv::saveStandardFile(app, pictures, stem + ".fra") && ok;
        ok = qv::saveDeepFile(app, pictures, stem + ".fdz") && ok;
        ok = qv::saveStandardFileWithImage(app, session.observer, pictures, stem + ".fpi") && ok;
        ok = qv::saveDeepFileWithImage(app, pictures, stem + ".fpz") && ok;
    }
    // The older layouts are told apart by their length alone: one file of each, the bytes of
    // a standard file cut or padded to it.
    const auto standard = qv::readFilePrefix((folder / "mandelbrot.fra").string(), 1 << 16);
    if (!standard) {
        return false;
    }
    for (std::uint64_t length = 1; length <= 8192; ++length) {
        if (!qv::oldRowFor(length)) {
            continue;
        }
        std::vector<std::byte> bytes(*standard);
        bytes.resize(length);
        ok = qv::replaceFile((folder / ("old-" + std::to_string(length))).string(), bytes) && ok;
    }
    return ok;
}

bool writePaletteFiles(const fs::path& folder)
{
    qv::fuzz::Session session;
    qv::PaletteContext palette = qv::paletteContext(session.app, session.services);
    bool ok = qv::savePaletteFile(palette, (folder / "startup.pal").string());
    qv::generatePalette(palette, qv::PaletteMode::Random);
    ok = qv::savePaletteFile(palette, (folder / "random.pal").string()) && ok;
    qv::PaletteFileContents contents;
    contents.parameters = session.app.paletteState.parameters;
    const auto full = qv::encodePaletteFile(contents);
    const std::span<const std::byte> shortForm(full.data(), qv::kPaletteFileShort);
    return qv::replaceFile((folder / "short.pal").string(), shortForm) && ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds FOLDER\n");
        return 64;
    }
    const fs::path root(argv[1]);
    std::error_code error;
    fs::create_directories(root / "parameter_file", error);
    fs::create_directories(root / "palette_file", error);
    if (!writeParameterFiles(root / "parameter_file") ||
        !writePaletteFiles(root / "palette_file")) {
        std::fprintf(stderr, "fuzz_seeds: cannot write the corpus in %s\n", argv[1]);
        return 2;
    }
    return 0;
}
