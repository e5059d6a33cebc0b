// libFuzzer target: any bytes as a parameter file, through every reading mode of the format
// layer and through the loaders that apply a file to the program's state.
#include "app/plausibility.h"
#include "persistence/parameter_files.h"
#include "persistence/parameter_format.h"
#include "persistence/parameter_warnings.h"
#include "tools/fuzz/fuzz_session.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static qv::fuzz::InputInMemory input;
    const std::string& path = input.hold(data, size);
    for (const qv::ReadMode mode :
         {qv::ReadMode::View, qv::ReadMode::WithPicture, qv::ReadMode::WithPictureSize,
          qv::ReadMode::Deep, qv::ReadMode::Header}) {
        qv::FileFields fields;
        if (qv::readParameterFields(path, mode, fields) == qv::Refusal::None) {
            (void)qv::headerOf(fields);
            (void)qv::unusableStoredNumbers(fields);
        }
    }
    // One loader per input, chosen by the last byte, which the layouts rarely read: each
    // load generates the whole palette table, the slowest step by far.
    static qv::fuzz::Session session;
    session.restart();
    bool loaded = false;
    switch (size > 0 ? data[size - 1] % 4 : 0) {
    case 0:
        loaded = qv::loadParameterFile(session.app, session.services, path);
        break;
    case 1:
        loaded = qv::loadParameterFileWithImage(session.app, session.services, path);
        break;
    case 2:
        loaded = qv::loadParameterFileWithPictureSize(session.app, session.services, path);
        break;
    default:
        loaded = qv::loadDeepFile(session.app, session.services, path);
        break;
    }
    // What the headless renderer says about a loaded file, short of the timed sample.
    if (loaded) {
        (void)qv::implausibleValues(session.app);
    }
    return 0;
}
