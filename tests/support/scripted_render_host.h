// ScriptedRenderHost: the render driver's window system for tests. It records what the driver
// shows and presses Esc when its script says so.
#pragma once

#include "engine/render_host.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qv::test {

/// Each call becomes one line "what: value" in `shown` (drawn rows, progress and pumps are
/// counted instead). Esc goes down at pump number `escAtPump` (1-based; 0 = never) or at the
/// first progress report of at least `escAtRowsDone` rows (negative = never), and stays down
/// until the driver reads it.
class ScriptedRenderHost : public RenderHost
{
public:
    std::int32_t escAtPump = 0;
    std::int32_t escAtRowsDone = -1;

    std::vector<std::string> shown;
    std::vector<std::vector<std::uint32_t>> drawnRows;
    std::int32_t pumps = 0;
    std::int32_t polls = 0;
    std::int32_t pollsSinceEscDown = 0; ///< polls from the moment Esc went down
    std::int32_t pumpsAfterEscRead = 0;
    std::int32_t lastRowsDone = -1;
    bool escRead = false;

    void pumpEvents() override
    {
        ++pumps;
        if (escRead) {
            ++pumpsAfterEscRead;
        }
        if (pumps == escAtPump) {
            pressEsc();
        }
    }

    bool escapePressed() override
    {
        ++polls;
        if (m_escWentDown) {
            ++pollsSinceEscDown;
        }
        const bool down = m_escDown;
        m_escDown = false;
        escRead = escRead || down;
        return down;
    }

    void showProgress(std::int32_t rowsDone, std::int32_t) override
    {
        lastRowsDone = rowsDone;
        if (escAtRowsDone >= 0 && rowsDone >= escAtRowsDone && !m_escWentDown) {
            pressEsc();
        }
    }

    void setMainTitle(std::string_view title) override { record("title", title); }

    void setMenuTitle(std::string_view title) override { record("menuTitle", title); }

    void showPotValue(std::string_view text) override { record("potValue", text); }

    void showDeepZoom(bool on) override { record("deepZoom", on ? "on" : "off"); }

    void showIterMax(std::string_view text) override { record("iterMax", text); }

    void refreshLocationFields() override { record("locationFields", ""); }

    void showBoxedZoom(bool on) override { record("boxedZoom", on ? "on" : "off"); }

    void showAutoPotValue(bool on) override { record("autoPotValue", on ? "on" : "off"); }

    void requestRepaint() override { record("repaint", ""); }

    void setControlsEnabled(bool enabled) override { record("controls", enabled ? "on" : "off"); }

    void bringToFront() override { record("front", ""); }

    void invalidatePicture() override { record("invalidate", ""); }

    void drawRow(std::int32_t row, std::span<const std::uint32_t> colours) override
    {
        if (drawnRows.size() <= static_cast<std::size_t>(row)) {
            drawnRows.resize(static_cast<std::size_t>(row) + 1);
        }
        drawnRows[static_cast<std::size_t>(row)].assign(colours.begin(), colours.end());
    }

    void refreshOpenDialogs() override { record("dialogs", ""); }

    void writeThumbnail(const std::string& path) override { record("thumbnail", path); }

    void makeBackup(BackupForm form) override
    {
        record("backup", form == BackupForm::Deep ? "deep" : "standard");
    }

    void sizePictureWindow(std::int32_t width, std::int32_t height) override
    {
        record("resize", std::to_string(width) + "x" + std::to_string(height));
    }

    void showFractalType(bool mandelbrot, bool julia) override
    {
        record("fractalType",
               std::string(mandelbrot ? "mandelbrot" : "-") + " " + (julia ? "julia" : "-"));
    }

    void showMultiThreaded(bool on) override { record("multiThreaded", on ? "on" : "off"); }

    void setArrowCursor() override { record("cursor", "arrow"); }

    /// The lines of kind `what`, values only, in order.
    std::vector<std::string> all(std::string_view what) const
    {
        const std::string prefix = std::string(what) + ": ";
        std::vector<std::string> values;
        for (const std::string& s : shown) {
            if (s.compare(0, prefix.size(), prefix) == 0) {
                values.push_back(s.substr(prefix.size()));
            }
        }
        return values;
    }

    bool has(std::string_view line) const
    {
        return std::find(shown.begin(), shown.end(), line) != shown.end();
    }

private:
    void pressEsc()
    {
        m_escDown = true;
        m_escWentDown = true;
    }

    void record(std::string_view what, std::string_view value)
    {
        shown.push_back(std::string(what) + ": " + std::string(value));
    }

    bool m_escDown = false;
    bool m_escWentDown = false;
};

} // namespace qv::test
