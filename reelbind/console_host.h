// ConsoleHost: the conversion without dialogs, for scripts and machines without a display.
#pragma once

#include "reelbind/converter.h"

#include <atomic>
#include <chrono>
#include <cstdio>

namespace qv::reelbind {

/// A progress bar of `cells` cells for `done` of `total`, with the count:
/// "[##########..........]  36/72 frames".
std::string progressBar(std::int64_t done, std::int64_t total, std::int32_t cells = 40);

class ConsoleHost final : public ConversionHost
{
public:
    /// `codec` answers the codec question; the bar is drawn on `bar` (nullptr: none) and the
    /// notes go to `notes`; a non-zero `interrupted` stops the conversion.
    ConsoleHost(Codec codec, std::FILE* bar, std::FILE* notes, const std::atomic<int>& interrupted);

    std::optional<Codec> chooseCodec() override;
    bool progress(std::int64_t written, std::int64_t candidates) override;
    void note(std::string_view line) override;

    /// Ends the bar's line, if a bar was drawn.
    void finishBar();

private:
    using Clock = std::chrono::steady_clock;

    Codec m_codec;
    std::FILE* m_bar;
    std::FILE* m_notes;
    const std::atomic<int>& m_interrupted;
    bool m_barShown = false;
    Clock::time_point m_lastDrawn;
};

} // namespace qv::reelbind
