// Test doubles and a plain reference of the palette generator, shared by the palette tests.
#pragma once

#include "palette/palette.h"
#include "palette/palette_generator.h"
#include "palette/palette_host.h"
#include "palette/palette_random.h"
#include "palette/palette_state.h"
#include "tests/support/recording_palette_host.h"
#include "tests/support/scripted_prompts.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qv::test {

/// A palette with its collaborators, bound into a context.
struct PaletteFixture
{
    Palette palette;
    PaletteState state;
    std::uint32_t colourFlags = 0;
    ScriptedRandom random;
    RecordingPaletteHost host;
    ScriptedPrompts prompts;
    PaletteContext context{palette, state, colourFlags, random, host, prompts};
};

inline PaletteParameters makeParameters(std::array<float, 3> start, std::array<float, 3> step,
                                        std::array<float, 3> stop)
{
    PaletteParameters p;
    p.start = start;
    p.step = step;
    p.stop = stop;
    return p;
}

/// The 262,144 colours of one generation without HSL and without the mirrors, straight from
/// the definition: each channel value moves by its step (down until it first turns), turns
/// down above its stop and up below one step, is rounded (halves to even), complemented in
/// 8 bits by Inverse, clamped to 0..255; Reverse swaps red and blue and complements all three.
/// `count` gives the first entries only.
inline std::vector<std::uint32_t> referenceEntries(const PaletteParameters& p, bool inverse,
                                                   bool reverse, int count = 262144)
{
    std::array<float, 3> value = p.start;
    std::array<int, 3> direction{0, 0, 0};
    std::vector<std::uint32_t> out;
    out.reserve(static_cast<std::size_t>(count));
    for (int n = 0; n < count; ++n) {
        std::array<int, 3> c{};
        for (std::size_t k = 0; k < 3; ++k) {
            value[k] = direction[k] == 1 ? value[k] + p.step[k] : value[k] - p.step[k];
            if (value[k] > p.stop[k]) {
                direction[k] = -1;
            }
            if (value[k] < p.step[k]) {
                direction[k] = 1;
            }
            c[k] = static_cast<int>(std::nearbyint(value[k]));
            if (inverse) {
                c[k] = 255 - (c[k] & 255);
            }
            c[k] = std::clamp(c[k], 0, 255);
        }
        if (reverse) {
            c = {255 - c[2], 255 - c[1], 255 - c[0]};
        }
        out.push_back(static_cast<std::uint32_t>(c[0] * 65536 + c[1] * 256 + c[2]));
    }
    return out;
}

} // namespace qv::test
