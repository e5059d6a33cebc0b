// Speed of the deep kernel in orbit iterations per second, one thread, beside a bare loop of the
// same GMP calls, which bounds what any deep kernel can reach.
#include "base/mp_float.h"
#include "engine/kernel_kind.h"
#include "engine/kernels_deep.h"
#include "engine/strip_job.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <string>
#include <vector>

#include <gmp.h>

namespace {

// A point in the seahorse valley whose surroundings need thousands of iterations.
constexpr const char* kCentreX = "-0.743643887037158704752191506114774";
constexpr const char* kCentreY = "0.131825904205311970493132056385139";
constexpr std::int32_t kWidth = 64;
constexpr std::int32_t kHeight = 48;

void setDecimal(mpf_ptr v, const std::string& text)
{
    mpf_set_str(v, text.c_str(), 10);
}

/// Renders a 64 x 48 Mandelbrot picture around the centre with kind 1 and reports iterations
/// per second: escape counts, and iterMax for pixels that do not escape.
void deepKernel(benchmark::State& state, std::int32_t bits, const char* step, std::int32_t iterMax)
{
    const auto ub = static_cast<unsigned long>(bits);
    qv::DeepStripJob job(bits);
    job.iterMax = iterMax;
    job.bailout = 128.0;
    job.mandelbrot = 1;
    job.width = kWidth;
    job.rowsPerStrip = kHeight;
    job.firstRow = 0;
    job.lastRow = kHeight - 1;
    setDecimal(job.dx.get(), step);
    setDecimal(job.dy.get(), step);
    qv::MpFloat centre(ub);
    qv::MpFloat half(ub);
    setDecimal(centre.get(), kCentreX);
    mpf_mul_ui(half.get(), job.dx.get(), kWidth / 2);
    mpf_sub(job.x0.get(), centre.get(), half.get());
    setDecimal(centre.get(), kCentreY);
    mpf_mul_ui(half.get(), job.dy.get(), kHeight / 2);
    mpf_sub(job.y0.get(), centre.get(), half.get());

    const auto n = static_cast<std::size_t>(kWidth * kHeight);
    std::vector<std::int32_t> counts(n);
    std::vector<float> a(n);
    std::vector<float> b(n);
    job.counts = counts.data();
    job.a = a.data();
    job.b = b.data();

    std::int64_t iterations = 0;
    for (auto _ : state) {
        qv::runDeepStripJob(job, qv::KernelKind::Plain, kHeight);
        benchmark::DoNotOptimize(counts.data());
        for (const std::int32_t count : counts) {
            iterations += count != 0 ? count : iterMax;
        }
    }
    state.counters["iter/s"] =
        benchmark::Counter(static_cast<double>(iterations), benchmark::Counter::kIsRate);
    state.counters["iter/pixel"] =
        static_cast<double>(iterations) / static_cast<double>(state.iterations() * n);
}

/// z <- z^2 + c with the kernel's seven GMP calls per iteration and its test every fourth
/// iteration, for a c whose orbit stays bounded; nothing else in the loop.
void bareLoop(benchmark::State& state, std::int32_t bits)
{
    const auto ub = static_cast<unsigned long>(bits);
    qv::MpFloat zr(ub), zi(ub), cr(ub), ci(ub), t(ub), zr2(ub), zi2(ub), u(ub);
    constexpr std::int64_t kBlocks = 250000;
    std::int64_t iterations = 0;
    std::int64_t escapes = 0;
    for (auto _ : state) {
        // Decimal fractions fill every limb, as the view's numbers do.
        setDecimal(cr.get(), "-0.1");
        setDecimal(ci.get(), "0.1");
        mpf_set(zr.get(), cr.get());
        mpf_set(zi.get(), ci.get());
        for (std::int64_t block = 0; block < kBlocks; ++block) {
            for (int k = 0; k < 4; ++k) {
                mpf_mul(t.get(), zr.get(), zi.get());
                mpf_mul(zr2.get(), zr.get(), zr.get());
                mpf_mul(zi2.get(), zi.get(), zi.get());
                if (k == 3) {
                    mpf_add(u.get(), zr2.get(), zi2.get());
                    escapes += mpf_cmp_ui(u.get(), 4) > 0 ? 1 : 0;
                }
                mpf_add(zi.get(), t.get(), t.get());
                mpf_add(zi.get(), zi.get(), ci.get());
                mpf_sub(zr.get(), zr2.get(), zi2.get());
                mpf_add(zr.get(), zr.get(), cr.get());
            }
        }
        iterations += 4 * kBlocks;
    }
    benchmark::DoNotOptimize(escapes);
    state.counters["iter/s"] =
        benchmark::Counter(static_cast<double>(iterations), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK_CAPTURE(deepKernel, kind1_step1e30_112bits, 112, "1e-30", 3000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(deepKernel, kind1_step1e100_368bits, 368, "1e-100", 1600)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(bareLoop, gmp_calls_112bits, 112)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bareLoop, gmp_calls_368bits, 368)->Unit(benchmark::kMillisecond);
