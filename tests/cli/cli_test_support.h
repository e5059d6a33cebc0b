// What the end-to-end tests of quorvalis-render compare against: the program's records put
// through the windowed program's own steps (start-up, view change, render, Save Picture), and
// a reader of the raw results file written here from its layout.
#pragma once

#include "app/app_state.h"
#include "app/render_entry.h"
#include "app/startup.h"
#include "engine/render_progress.h"
#include "engine/view_state.h"
#include "imaging/picture_files.h"
#include "tests/support/recording_picture_writer.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_shell.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace qv::test {

/// The records of the windowed program after its start-up on a two-processor machine, past
/// its first picture.
struct GuiSession
{
    TestShell shell;
    QuietProgress progress;
    AppState app;
    RecordingPictureWriter pictures; ///< for the savers of parameter files

    GuiSession()
    {
        startUpWithoutWindows(app, StartupEnvironment{1280, 1024, 2, ""}, shell.services);
        app.render.firstPicture = 0;
    }

    /// "Pic size:" and "Threads:" as the parameters dialog sets them.
    void setSizeAndThreads(std::int32_t width, std::int32_t height, std::int32_t threads)
    {
        app.settings.pictureWidth = width;
        app.settings.pictureHeight = height;
        app.settings.threads = threads;
        app.settings.multiThreaded = threads > 1 ? 1 : 0;
    }

    /// A finished picture of width x height, as the savers with image find it after a render.
    void setRenderedSize(std::int32_t width, std::int32_t height)
    {
        setSizeAndThreads(width, height, 2);
        app.iterations.allocate(width, height);
    }

    /// The view change that follows a changed setting in the windows.
    void applyView() { applyViewChange(app.view, viewContext(app), shell.observer); }

    /// The window typed into the location dialog, in the current view's type.
    void typeWindow(const std::string& xmin, const std::string& xmax, const std::string& ymin,
                    const std::string& ymax)
    {
        const WindowRef w = currentWindow(app.view);
        w.xmin.text = xmin;
        w.xmax.text = xmax;
        w.ymin.text = ymin;
        w.ymax.text = ymax;
        takeTypedView(app.view, viewContext(app), shell.observer, TypedView::Window);
    }

    /// A Julia view with its constant and window, typed.
    void typeJulia(const std::string& cr, const std::string& ci, const std::string& xmin,
                   const std::string& xmax, const std::string& ymin, const std::string& ymax)
    {
        app.view.modeWord = (app.view.modeWord & ~3u) | 2u;
        app.view.julia.cr.text = cr;
        app.view.julia.ci.text = ci;
        app.shell.juliaShown = 1;
        typeWindow(xmin, xmax, ymin, ymax);
    }

    /// A render as the picture window asks for it, keeping the kernel results.
    RawResults render()
    {
        RawResults raw;
        RenderOptions options;
        options.raw = &raw;
        app.shell.pictureValid = 0;
        app.render.renderSuppressed = 0;
        renderView(app, progress, shell.observer, options);
        return raw;
    }

    /// "Save Picture".
    bool savePicture(const std::string& path)
    {
        QtPictureWriter writer(app);
        return writer.savePicture(path) == PictureSaveResult::Written;
    }
};

/// A raw results file read by its layout: "QVRW", u32 version, i32 width, i32 height, then
/// the counts, A and B, each width x height little-endian 4-byte values.
struct RawFile
{
    std::uint32_t version = 0;
    RawResults results;
};

inline std::uint32_t littleEndian32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return std::uint32_t{b[at]} | (std::uint32_t{b[at + 1]} << 8) |
           (std::uint32_t{b[at + 2]} << 16) | (std::uint32_t{b[at + 3]} << 24);
}

inline std::optional<RawFile> readRawFile(const std::string& path)
{
    const std::vector<std::uint8_t> b = readBytes(path);
    if (b.size() < 16 || std::memcmp(b.data(), "QVRW", 4) != 0) {
        return std::nullopt;
    }
    RawFile file;
    file.version = littleEndian32(b, 4);
    const auto width = static_cast<std::int32_t>(littleEndian32(b, 8));
    const auto height = static_cast<std::int32_t>(littleEndian32(b, 12));
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (width < 0 || height < 0 || b.size() != 16 + 12 * n) {
        return std::nullopt;
    }
    file.results.width = width;
    file.results.height = height;
    for (std::size_t k = 0; k < n; ++k) {
        file.results.counts.push_back(static_cast<std::int32_t>(littleEndian32(b, 16 + 4 * k)));
        std::uint32_t a = littleEndian32(b, 16 + 4 * (n + k));
        std::uint32_t bb = littleEndian32(b, 16 + 4 * (2 * n + k));
        float fa = 0.0f;
        float fb = 0.0f;
        std::memcpy(&fa, &a, 4);
        std::memcpy(&fb, &bb, 4);
        file.results.a.push_back(fa);
        file.results.b.push_back(fb);
    }
    return file;
}

/// Bitwise equality of two result sets (NaN escape values included).
inline bool sameResults(const RawResults& x, const RawResults& y)
{
    if (x.width != y.width || x.height != y.height || x.counts != y.counts ||
        x.a.size() != y.a.size() || x.b.size() != y.b.size()) {
        return false;
    }
    return std::memcmp(x.a.data(), y.a.data(), x.a.size() * sizeof(float)) == 0 &&
           std::memcmp(x.b.data(), y.b.data(), x.b.size() * sizeof(float)) == 0;
}

/// Whether the raw results file at `path` reads back as exactly `expected`.
inline ::testing::AssertionResult rawFileHolds(const std::string& path, const RawResults& expected)
{
    const std::optional<RawFile> file = readRawFile(path);
    if (!file) {
        return ::testing::AssertionFailure() << path << " is no raw results file";
    }
    if (!sameResults(file->results, expected)) {
        return ::testing::AssertionFailure() << path << " holds other results";
    }
    return ::testing::AssertionSuccess();
}

/// The "key: value" lines of --info, in order.
inline std::vector<std::pair<std::string, std::string>> infoLines(const std::string& text)
{
    std::vector<std::pair<std::string, std::string>> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const std::string::size_type colon = line.find(": ");
        if (colon == std::string::npos) {
            lines.emplace_back(line, "");
        } else {
            lines.emplace_back(line.substr(0, colon), line.substr(colon + 2));
        }
    }
    return lines;
}

inline std::map<std::string, std::string> infoMap(const std::string& text)
{
    std::map<std::string, std::string> values;
    for (auto& [key, value] : infoLines(text)) {
        values[key] = value;
    }
    return values;
}

} // namespace qv::test
