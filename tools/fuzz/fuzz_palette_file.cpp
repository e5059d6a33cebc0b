// libFuzzer target: any bytes as a palette file, decoded and loaded into the program's state,
// which generates the palette from whatever parameters the file holds.
#include "palette/palette_file.h"
#include "tools/fuzz/fuzz_session.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static qv::fuzz::InputInMemory input;
    (void)qv::decodePaletteFile(std::span(reinterpret_cast<const std::byte*>(data), size));
    // Only what a palette file sets is reset: a full start-up would generate the table twice.
    static qv::fuzz::Session session;
    session.app.paletteState = qv::PaletteState{};
    session.app.settings.colourFlags = 0;
    qv::PaletteContext palette = qv::paletteContext(session.app, session.services);
    qv::loadPaletteFile(palette, input.hold(data, size));
    return 0;
}
