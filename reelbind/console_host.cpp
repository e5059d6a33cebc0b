// ConsoleHost: the fixed codec, the progress bar on stderr and the notes.
#include "reelbind/console_host.h"

#include <algorithm>

namespace qv::reelbind {
namespace {

/// The bar is redrawn at most this often, and at its last frame.
constexpr std::chrono::milliseconds kRedrawInterval{200};

} // namespace

std::string progressBar(std::int64_t done, std::int64_t total, std::int32_t cells)
{
    const std::int64_t shown = std::clamp<std::int64_t>(done, 0, std::max<std::int64_t>(total, 0));
    const std::int64_t filled = total > 0 ? shown * cells / total : 0;
    std::string bar = "[";
    bar.append(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(cells - filled), '.');
    bar += "] ";
    const std::string count = std::to_string(shown);
    const std::string of = std::to_string(total);
    bar.append(of.size() > count.size() ? of.size() - count.size() : 0, ' ');
    return bar + count + "/" + of + " frames";
}

ConsoleHost::ConsoleHost(Codec codec, std::FILE* bar, std::FILE* notes,
                         const std::atomic<int>& interrupted)
    : m_codec(codec), m_bar(bar), m_notes(notes), m_interrupted(interrupted)
{
}

std::optional<Codec> ConsoleHost::chooseCodec()
{
    return m_codec;
}

bool ConsoleHost::progress(std::int64_t written, std::int64_t candidates)
{
    const Clock::time_point now = Clock::now();
    if (m_bar != nullptr &&
        (!m_barShown || written >= candidates || now - m_lastDrawn >= kRedrawInterval)) {
        std::fprintf(m_bar, "\r%s", progressBar(written, candidates).c_str());
        std::fflush(m_bar);
        m_barShown = true;
        m_lastDrawn = now;
    }
    return m_interrupted.load() == 0;
}

void ConsoleHost::note(std::string_view line)
{
    finishBar();
    std::fprintf(m_notes, "reelbind: %.*s\n", static_cast<int>(line.size()), line.data());
    std::fflush(m_notes);
}

void ConsoleHost::finishBar()
{
    if (m_barShown) {
        std::fputc('\n', m_bar);
        std::fflush(m_bar);
        m_barShown = false;
    }
}

} // namespace qv::reelbind
