// Palette generation: one full table, as GENERATE and every file load produce it.
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

// The slowest kind: an HLS conversion per entry, and every other option on.
void BM_GeneratePaletteHslAllOptions(benchmark::State& state)
{
    qv::PaletteOptions options;
    options.hsl = true;
    options.inverse = true;
    options.reverse = true;
    options.exp2 = true;
    options.exp3 = true;
    generate(state, options);
}

} // namespace

BENCHMARK(BM_GeneratePaletteRgb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GeneratePaletteHslAllOptions)->Unit(benchmark::kMillisecond);
