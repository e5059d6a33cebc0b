// ScriptedProgress: a render's progress for tests. It counts what the renderer asks while it
// runs and presses Esc when its script says so.
#pragma once

#include "engine/render_progress.h"

#include <cstdint>
#include <span>
#include <vector>

namespace qv::test {

/// Esc goes down at pump number `escAtPump` (1-based; 0 = never), at the first progress report
/// of at least `escAtRowsDone` rows (negative = never), or at the first strip progress report
/// once `escAfterStripProgress` is set, and stays down until the renderer reads it.
class ScriptedProgress : public RenderProgress
{
public:
    std::int32_t escAtPump = 0;
    std::int32_t escAtRowsDone = -1;
    /// Holds the rows-done trigger back until a deep render has reported its strip progress.
    bool escAfterStripProgress = false;

    std::vector<std::vector<std::uint32_t>> drawnRows;
    std::vector<std::int32_t> stripProgress; ///< every percentage a deep render reported
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
        const bool armed = !escAfterStripProgress || !stripProgress.empty();
        if (armed && escAtRowsDone >= 0 && rowsDone >= escAtRowsDone && !m_escWentDown) {
            pressEsc();
        }
    }

    void drawRow(std::int32_t row, std::span<const std::uint32_t> colours) override
    {
        if (drawnRows.size() <= static_cast<std::size_t>(row)) {
            drawnRows.resize(static_cast<std::size_t>(row) + 1);
        }
        drawnRows[static_cast<std::size_t>(row)].assign(colours.begin(), colours.end());
    }

    void showStripProgress(std::int32_t percentDone) override
    {
        stripProgress.push_back(percentDone);
    }

private:
    void pressEsc()
    {
        m_escDown = true;
        m_escWentDown = true;
    }

    bool m_escDown = false;
    bool m_escWentDown = false;
};

} // namespace qv::test
