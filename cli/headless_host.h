// The window system of quorvalis-render: no windows, a progress bar on stderr when it is a
// terminal, the interrupt flag in place of Esc, and no questions to a person.
#pragma once

#include "app/app_state.h"
#include "base/prompts.h"
#include "engine/render_progress.h"
#include "palette/palette_host.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace qv::cli {

/// The progress of a headless render: a bar on a terminal, the interrupt flag read as Esc. The
/// windows' side of a render (controls, titles, dialogs, thumbnails, backups) does not exist
/// here: the program renders with a QuietObserver, so that nothing is written beside its
/// input.
class HeadlessProgress : public RenderProgress
{
public:
    /// `interrupted` is set from outside (the SIGINT handler) and read as Esc. The progress bar
    /// goes to `progressOut` when it is given; nullptr shows none.
    HeadlessProgress(const std::atomic<int>& interrupted, std::FILE* progressOut);

    /// Ends the progress bar's line, so that what follows starts on a line of its own.
    void finishProgress();

    void pumpEvents() override {}

    /// True once per interrupt: the renderer stops its workers at the first true.
    bool escapePressed() override;
    void showProgress(std::int32_t rowsDone, std::int32_t rows) override;

    void drawRow(std::int32_t, std::span<const std::uint32_t>) override {}

private:
    using Clock = std::chrono::steady_clock;

    const std::atomic<int>& m_interrupted;
    bool m_interruptReported = false;
    std::FILE* m_progressOut;
    bool m_barShown = false;
    std::int32_t m_lastPercent = -1;
    Clock::time_point m_lastDrawn;
};

/// The text of a progress bar at `percent` (0..100): "[#####.....]  50%" with 40 cells.
std::string progressBar(std::int32_t percent);

/// The questions the loaders may ask: nobody answers. A message is kept as the reason of the
/// failure it announces; every question is answered "no", every input box is cancelled.
class SilentPrompts : public Prompts
{
public:
    void message(std::string_view text, std::string_view) override { lastMessage = text; }

    bool askOkCancel(std::string_view, DefaultButton = DefaultButton::Ok,
                     std::string_view = "QUORVALIS") override
    {
        return false;
    }

    bool askYesNo(std::string_view) override { return false; }

    std::optional<std::string> inputText(std::string_view, std::string_view) override
    {
        return std::nullopt;
    }

    std::string openFile(const FileDialogRequest&) override { return {}; }

    std::string saveFile(const FileDialogRequest&) override { return {}; }

    std::string chooseFolder(std::string_view, std::string_view) override { return {}; }

    std::string lastMessage;
};

/// The palette's requests touch only the program's flags: there is no dialog and no window.
class HeadlessPaletteHost : public PaletteHost
{
public:
    explicit HeadlessPaletteHost(AppState& app) : m_app(app) {}

    void clearPictureFromImage() override { m_app.shell.pictureFromImage = 0; }

    void reopenPaletteDialog() override {}

    void redisplayPicture() override {}

    void requestRender() override { m_app.shell.pictureValid = 0; }

private:
    AppState& m_app;
};

} // namespace qv::cli
