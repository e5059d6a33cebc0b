// Test doubles of the palette's collaborators: a host that records and a scripted random source.
#pragma once

#include "palette/palette_host.h"
#include "palette/palette_random.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace qv::test {

/// Records what the palette code asked of the shell, in order.
class RecordingPaletteHost : public PaletteHost
{
public:
    std::vector<std::string> calls;

    void clearPictureFromImage() override { calls.emplace_back("clearPictureFromImage"); }

    void reopenPaletteDialog() override { calls.emplace_back("reopenPaletteDialog"); }

    void redisplayPicture() override { calls.emplace_back("redisplayPicture"); }

    void requestRender() override { calls.emplace_back("requestRender"); }

    int count(const std::string& name) const
    {
        return static_cast<int>(std::count(calls.begin(), calls.end(), name));
    }
};

/// Hands out scripted numbers in turn and counts reseeds.
class ScriptedRandom : public PaletteRandom
{
public:
    std::vector<double> values;
    std::size_t next = 0;
    int reseeds = 0;

    void reseed() override { ++reseeds; }

    double nextUnit() override { return values.at(next++); }
};

} // namespace qv::test
