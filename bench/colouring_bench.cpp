// Speed of the colour pass and of building the picture for a 640 x 480 Mandelbrot view.
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

void runPass(benchmark::State& state, std::uint32_t colourFlags)
{
    qv::ColourSettings settings;
    settings.drawingMode = 1;
    settings.colourFlags = colourFlags;
    const qv::IterationBuffer results = mandelbrotResults(settings.iterMax, settings.bailout);
    qv::Palette palette;
    for (std::size_t i = 0; i < palette.entries.size(); ++i) {
        palette.entries[i] = static_cast<std::uint32_t>(i * 2654435761u) & 0x00FFFFFFu;
    }
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

} // namespace

BENCHMARK(BM_ColourPassAndPicture_Mode1ByPotential)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColourPassAndPicture_Mode1ByPotentialSmooth)->Unit(benchmark::kMillisecond);
