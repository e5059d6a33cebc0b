// What the fuzz targets share: a fresh program state per input, started as the headless
// renderer starts, and the input as a file the loaders can open.
#pragma once

#include "app/app_state.h"
#include "app/render_observer.h"
#include "app/shell_services.h"
#include "app/startup.h"
#include "cli/headless_host.h"
#include "palette/palette_random.h"

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>

namespace qv::fuzz {

/// A random source with a fixed seed: the same input must take the same path every time.
class FixedRandom final : public PaletteRandom
{
public:
    void reseed() override { m_engine.seed(1); }

    double nextUnit() override
    {
        return std::uniform_real_distribution<double>(0.0, 1.0)(m_engine);
    }

private:
    std::mt19937_64 m_engine{1};
};

/// The program's records after a start-up without windows, with services that answer nothing.
/// One session serves every input: restart() starts it up again in place, reusing its
/// buffers, which a fresh session per input would spend most of the time allocating.
struct Session
{
    AppState app;
    cli::SilentPrompts prompts;
    QuietObserver observer;
    cli::HeadlessPaletteHost paletteHost{app};
    FixedRandom random;
    ShellServices services{prompts, observer, paletteHost, random};

    Session() { restart(); }

    void restart()
    {
        prompts.lastMessage.clear();
        StartupEnvironment environment;
        environment.screenWidth = 1280;
        environment.screenHeight = 1024;
        environment.reportedProcessors = 1;
        startUpWithoutWindows(app, environment, services);
    }
};

/// An in-memory file holding the latest input, under a path that open() takes.
class InputInMemory
{
public:
    InputInMemory();
    /// Replaces the file's bytes; the path to open.
    const std::string& hold(const std::uint8_t* data, std::size_t size);

private:
    int m_fd = -1;
    std::string m_path;
};

} // namespace qv::fuzz
