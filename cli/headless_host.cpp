// The headless render progress and its bar.
#include "cli/headless_host.h"

#include <algorithm>

namespace qv::cli {
namespace {

constexpr std::int32_t kBarCells = 40;
/// The bar is redrawn at most this often, and whenever the render ends.
constexpr std::chrono::milliseconds kRedrawInterval{250};

} // namespace

HeadlessProgress::HeadlessProgress(const std::atomic<int>& interrupted, std::FILE* progressOut)
    : m_interrupted(interrupted), m_progressOut(progressOut)
{
}

bool HeadlessProgress::escapePressed()
{
    if (m_interruptReported || m_interrupted.load(std::memory_order_relaxed) == 0) {
        return false;
    }
    m_interruptReported = true;
    return true;
}

std::string progressBar(std::int32_t percent)
{
    const std::int32_t p = std::clamp(percent, 0, 100);
    const std::int32_t filled = p * kBarCells / 100;
    std::string bar = "[";
    bar.append(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kBarCells - filled), '.');
    bar += "] ";
    const std::string number = std::to_string(p);
    bar.append(3 - number.size(), ' ');
    bar += number;
    bar += '%';
    return bar;
}

void HeadlessProgress::showProgress(std::int32_t rowsDone, std::int32_t rows)
{
    if (m_progressOut == nullptr || rows <= 0) {
        return;
    }
    const std::int32_t percent = static_cast<std::int32_t>(
        std::int64_t{std::clamp(rowsDone, 0, rows)} * 100 / std::int64_t{rows});
    const Clock::time_point now = Clock::now();
    const bool finished = rowsDone >= rows;
    if (percent == m_lastPercent ||
        (m_barShown && !finished && now - m_lastDrawn < kRedrawInterval)) {
        return;
    }
    m_lastPercent = percent;
    m_lastDrawn = now;
    m_barShown = true;
    std::fprintf(m_progressOut, "\r%s", progressBar(percent).c_str());
    std::fflush(m_progressOut);
}

void HeadlessProgress::finishProgress()
{
    if (m_barShown) {
        std::fputc('\n', m_progressOut);
        std::fflush(m_progressOut);
        m_barShown = false;
    }
}

} // namespace qv::cli
