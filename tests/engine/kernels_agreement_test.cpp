// The two precisions agree where both resolve the orbit: a view at a pixel step of 1e-14 is
// well inside extended precision, so the deep kernels must give the extended counts.
#include "engine/iteration_buffer.h"
#include "engine/kernel_kind.h"
#include "engine/kernels_deep.h"
#include "engine/kernels_extended.h"
#include "engine/strip_job.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include <gtest/gtest.h>

namespace qv {
namespace {

constexpr std::int32_t kWidth = 40;
constexpr std::int32_t kHeight = 30;
constexpr std::int32_t kIterMax = 1000;
// Beside a Misiurewicz point, where counts vary from pixel to pixel at this depth while the
// orbits are not so chaotic that 64 and 96 bits part before they escape.
const std::string kXmin = "-0.10109636384562";
const std::string kYmin = "0.95628651080914";
const std::string kStep = "1e-14";

long double parse(const std::string& text)
{
    return std::stold(text);
}

/// Points a job of either precision at the whole picture in `out`, as one strip.
template <typename Job> void coverPicture(Job& job, IterationBuffer& out)
{
    out.allocate(kWidth, kHeight);
    job.iterMax = kIterMax;
    job.counts = out.counts.data();
    job.a = out.a.data();
    job.b = out.b.data();
    job.width = kWidth;
    job.rowsPerStrip = kHeight;
    job.lastRow = kHeight - 1;
}

IterationBuffer extendedPicture(KernelKind kind)
{
    IterationBuffer out;
    StripJob job;
    coverPicture(job, out);
    job.xmin = parse(kXmin);
    job.dx = parse(kStep);
    job.y0 = parse(kYmin);
    job.dy = parse(kStep);
    job.xmax = job.xmin + job.dx * kWidth;
    job.ymax = job.y0 + job.dy * kHeight;
    runStripJob(job, kind);
    return out;
}

IterationBuffer deepPicture(KernelKind kind)
{
    IterationBuffer out;
    DeepStripJob job(96);
    coverPicture(job, out);
    mpf_set_str(job.x0.get(), kXmin.c_str(), 10);
    mpf_set_str(job.dx.get(), kStep.c_str(), 10);
    mpf_set_str(job.y0.get(), kYmin.c_str(), 10);
    mpf_set_str(job.dy.get(), kStep.c_str(), 10);
    runDeepStripJob(job, kind, kHeight);
    return out;
}

TEST(KernelAgreement, DeepCountsMatchExtendedCountsAtAPixelStepOf1e14)
{
    for (KernelKind kind : {KernelKind::Plain, KernelKind::Lagged, KernelKind::LaggedPlain}) {
        const IterationBuffer ext = extendedPicture(kind);
        const IterationBuffer deep = deepPicture(kind);
        std::size_t same = 0;
        std::size_t escaped = 0;
        std::set<std::int32_t> distinct;
        const std::size_t pixels = static_cast<std::size_t>(kWidth * kHeight);
        for (std::size_t p = 0; p < pixels; ++p) {
            same += ext.counts[p] == deep.counts[p] ? 1u : 0u;
            escaped += ext.counts[p] != 0 ? 1u : 0u;
            distinct.insert(ext.counts[p]);
        }
        // A view where nothing escapes, or all alike, would agree trivially.
        EXPECT_GT(escaped, pixels / 4) << "kind " << static_cast<int>(kind);
        EXPECT_GE(distinct.size(), 20u) << "kind " << static_cast<int>(kind);
        EXPECT_GE(same * 100, pixels * 99) << "kind " << static_cast<int>(kind) << ": " << same
                                           << " of " << pixels << " counts agree";
    }
}

} // namespace
} // namespace qv
