// Speed of the extended-precision strip worker on a deep view near the boundary of the set.
#include "engine/iteration_buffer.h"
#include "engine/kernel_kind.h"
#include "engine/kernels_extended.h"
#include "engine/strip_job.h"

#include <benchmark/benchmark.h>
#include <cstdint>

namespace {

constexpr std::int32_t kWidth = 640;
constexpr std::int32_t kHeight = 480;
constexpr std::int32_t kIterMax = 5000;

/// One job for the whole picture: the view centred at (-0.743643887037151, 0.131825904205330),
/// 1e-10 wide, height = width * 3 / 4.
qv::StripJob wholePictureJob(qv::IterationBuffer& buffer)
{
    const long double cx = -0.743643887037151L;
    const long double cy = 0.131825904205330L;
    const long double w = 1e-10L;
    const long double h = w * 3.0L / 4.0L;
    qv::StripJob job;
    job.iterMax = kIterMax;
    job.counts = buffer.counts.data();
    job.a = buffer.a.data();
    job.b = buffer.b.data();
    job.mandelbrot = 1;
    job.width = kWidth;
    job.rowsPerStrip = kHeight;
    job.firstRow = 0;
    job.lastRow = kHeight - 1;
    job.bailout = 128.0;
    job.xmin = cx - w / 2.0L;
    job.xmax = cx + w / 2.0L;
    job.dx = w / kWidth;
    job.y0 = cy - h / 2.0L;
    job.ymax = cy + h / 2.0L;
    job.dy = h / kHeight;
    return job;
}

/// The iterations a picture took: its escape counts, iterMax for pixels that did not escape.
double iterationsOf(const qv::IterationBuffer& buffer)
{
    double sum = 0.0;
    for (std::int32_t j = 0; j < kHeight; ++j) {
        for (std::int32_t i = 0; i < kWidth; ++i) {
            const std::int32_t n = buffer.counts[buffer.at(i, j)];
            sum += n == 0 ? kIterMax : n;
        }
    }
    return sum;
}

void stripWorker(benchmark::State& state, qv::KernelKind kind)
{
    qv::IterationBuffer buffer;
    buffer.allocate(kWidth, kHeight);
    const qv::StripJob job = wholePictureJob(buffer);
    for (auto _ : state) {
        benchmark::DoNotOptimize(qv::runStripJob(job, kind));
        benchmark::ClobberMemory();
    }
    // Every run computes the same picture.
    const double iterations = iterationsOf(buffer) * static_cast<double>(state.iterations());
    state.counters["iterations/s"] = benchmark::Counter(iterations, benchmark::Counter::kIsRate);
}

void extendedKind1(benchmark::State& state)
{
    stripWorker(state, qv::KernelKind::Plain);
}

void extendedKind4(benchmark::State& state)
{
    stripWorker(state, qv::KernelKind::LaggedPlain);
}

// One picture takes a few seconds, so one run of each is enough.
BENCHMARK(extendedKind1)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(extendedKind4)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
