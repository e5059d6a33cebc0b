// Palette generation: one full table, as GENERATE and every file load produce it.
#include "bench/thread_clock.h"
#include "palette/palette.h"
#include "palette/palette_generator.h"
#include "palette/palette_state.h"

#include <benchmark/benchmark.h>

namespace {

qv::PaletteParameters defaultParameters()
{
    qv::PaletteParameters p;
    p.start = {218.0f, 64.0f, 74.0f};
    p.step = {5.0f, 3.0f, 4.0f};
    p.stop = {255.0f, 169.0f, 194.0f};
    return p;
}

void generate(benchmark::State& state, const qv::PaletteOptions& options)
{
    qv::Palette palette;
    const qv::PaletteParameters parameters = defaultParameters();
    for (auto _ : state) {
        qv::fillPalette(palette, parameters, options, 0);
        benchmark::DoNotOptimize(palette.entries.data());
        benchmark::ClobberMemory();
    }
}

void BM_GeneratePaletteRgb(benchmark::State& state)
{
    generate(state, {});
}

qv::PaletteOptions allOptions()
{
    qv::PaletteOptions options;
    options.hsl = true;
    options.inverse = true;
    options.reverse = true;
    options.exp2 = true;
    options.exp3 = true;
    return options;
}

// The slowest kind: an HLS conversion per entry, and every other option on.
void BM_GeneratePaletteHslAllOptions(benchmark::State& state)
{
    generate(state, allOptions());
}

/// One generation; returns the processor seconds it took.
double timedGeneration(qv::Palette& palette, const qv::PaletteParameters& parameters,
                       const qv::PaletteOptions& options)
{
    const double start = qv::bench::threadSeconds();
    qv::fillPalette(palette, parameters, options, 0);
    benchmark::DoNotOptimize(palette.entries.data());
    benchmark::ClobberMemory();
    return qv::bench::threadSeconds() - start;
}

// The RGB and the HSL-with-every-option generation in turns, so that a busy machine slows
// both alike. The time shown is the HSL generation's; the counter hslOverRgb is the ratio of
// the two totals.
void BM_GeneratePaletteHslAllOptionsOverRgb(benchmark::State& state)
{
    qv::Palette palette;
    const qv::PaletteParameters parameters = defaultParameters();
    double rgbSeconds = 0.0;
    double hslSeconds = 0.0;
    for (auto _ : state) {
        rgbSeconds += timedGeneration(palette, parameters, {});
        const double seconds = timedGeneration(palette, parameters, allOptions());
        hslSeconds += seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["hslOverRgb"] = rgbSeconds > 0.0 ? hslSeconds / rgbSeconds : 0.0;
}

} // namespace

BENCHMARK(BM_GeneratePaletteRgb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GeneratePaletteHslAllOptions)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GeneratePaletteHslAllOptionsOverRgb)->Unit(benchmark::kMillisecond)->UseManualTime();
