// Speed of the colour pass and of building the picture for a 640 x 480 Mandelbrot view, plain
// and shaded ("Smooth color").
#include "bench/thread_clock.h"
#include "engine/colouring.h"
#include "engine/iteration_buffer.h"
#include "engine/picture_buffer.h"
#include "palette/palette.h"

#include <benchmark/benchmark.h>
#include <cstddef>
#include <cstdint>

namespace {

constexpr std::int32_t kWidth = 640;
constexpr std::int32_t kHeight = 480;

/// Counts and escape values of the default Mandelbrot window from a plain escape-time loop, so
/// that the pass meets the usual mix of escaped and inside pixels.
qv::IterationBuffer mandelbrotResults(std::int32_t iterMax, double bailout)
{
    qv::IterationBuffer buffer;
    buffer.allocate(kWidth, kHeight);
    for (std::int32_t j = 0; j < kHeight; ++j) {
        for (std::int32_t i = 0; i < kWidth; ++i) {
            const double cr = -2.5 + 4.0 * i / kWidth;
            const double ci = -1.5 + 3.0 * j / kHeight;
            double zr = cr;
            double zi = ci;
            std::int32_t n = 0;
            for (std::int32_t k = 1; k <= iterMax; ++k) {
                const double zr2 = zr * zr;
                const double zi2 = zi * zi;
                if (zr2 + zi2 > bailout) {
                    n = k + 4;
                    break;
                }
                zi = 2.0 * zr * zi + ci;
                zr = zr2 - zi2 + cr;
            }
            const std::size_t at = buffer.at(i, j);
            buffer.counts[at] = n;
            buffer.a[at] = static_cast<float>(n != 0 ? zr * zr : zi);
            buffer.b[at] = static_cast<float>(n != 0 ? zi * zi : zr);
        }
    }
    return buffer;
}

qv::Palette scatteredPalette()
{
    qv::Palette palette;
    for (std::size_t i = 0; i < palette.entries.size(); ++i) {
        palette.entries[i] = static_cast<std::uint32_t>(i * 2654435761u) & 0x00FFFFFFu;
    }
    return palette;
}

qv::ColourSettings mode1Settings(std::uint32_t colourFlags)
{
    qv::ColourSettings settings;
    settings.drawingMode = 1;
    settings.colourFlags = colourFlags;
    return settings;
}

void runPass(benchmark::State& state, std::uint32_t colourFlags)
{
    const qv::ColourSettings settings = mode1Settings(colourFlags);
    const qv::IterationBuffer results = mandelbrotResults(settings.iterMax, settings.bailout);
    qv::Palette palette = scatteredPalette();
    qv::IterationBuffer buffer = results;
    qv::PictureBuffer picture;
    for (auto _ : state) {
        state.PauseTiming();
        buffer.counts = results.counts;
        state.ResumeTiming();
        qv::colourPass(buffer, settings, palette);
        qv::buildPicture(picture, buffer, palette, settings.drawingMode, settings.paletteOffset);
        benchmark::DoNotOptimize(picture.pixels.data());
    }
}

void BM_ColourPassAndPicture_Mode1ByPotential(benchmark::State& state)
{
    runPass(state, qv::ColourSettings::kColourByPotential);
}

void BM_ColourPassAndPicture_Mode1ByPotentialSmooth(benchmark::State& state)
{
    runPass(state, qv::ColourSettings::kColourByPotential | qv::ColourSettings::kSmoothColour);
}

/// One colour pass and picture over a fresh copy of the kernel results; returns the processor
/// seconds it took.
double timedPass(const qv::IterationBuffer& results, qv::IterationBuffer& buffer,
                 const qv::ColourSettings& settings, qv::Palette& palette,
                 qv::PictureBuffer& picture)
{
    buffer.counts = results.counts;
    const double start = qv::bench::threadSeconds();
    qv::colourPass(buffer, settings, palette);
    qv::buildPicture(picture, buffer, palette, settings.drawingMode, settings.paletteOffset);
    benchmark::DoNotOptimize(picture.pixels.data());
    return qv::bench::threadSeconds() - start;
}

// The plain and the shaded pass in turns, so that a busy machine slows both alike. The time
// shown is the shaded pass's; the counter shadedOverPlain is the ratio of the two totals.
void BM_ColourPassAndPicture_Mode1ShadedOverPlain(benchmark::State& state)
{
    const qv::ColourSettings plain = mode1Settings(qv::ColourSettings::kColourByPotential);
    const qv::ColourSettings shaded =
        mode1Settings(qv::ColourSettings::kColourByPotential | qv::ColourSettings::kSmoothColour);
    const qv::IterationBuffer results = mandelbrotResults(plain.iterMax, plain.bailout);
    qv::Palette palette = scatteredPalette();
    qv::IterationBuffer buffer = results;
    qv::PictureBuffer picture;
    double plainSeconds = 0.0;
    double shadedSeconds = 0.0;
    for (auto _ : state) {
        plainSeconds += timedPass(results, buffer, plain, palette, picture);
        const double seconds = timedPass(results, buffer, shaded, palette, picture);
        shadedSeconds += seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["shadedOverPlain"] = plainSeconds > 0.0 ? shadedSeconds / plainSeconds : 0.0;
}

} // namespace

BENCHMARK(BM_ColourPassAndPicture_Mode1ByPotential)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColourPassAndPicture_Mode1ByPotentialSmooth)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColourPassAndPicture_Mode1ShadedOverPlain)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
