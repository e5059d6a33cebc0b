// TestShell: the shell's services for a test, every one scripted or recording.
#pragma once

#include "app/shell_services.h"
#include "tests/support/recording_observer.h"
#include "tests/support/recording_palette_host.h"
#include "tests/support/scripted_prompts.h"

namespace qv::test {

struct TestShell
{
    ScriptedPrompts prompts;
    RecordingObserver observer;
    RecordingPaletteHost paletteHost;
    ScriptedRandom random;
    ShellServices services{prompts, observer, paletteHost, random};
};

} // namespace qv::test
