// Reading and writing palette files.
#include "palette/palette_file.h"

#include "base/byte_codec.h"
#include "base/file_io.h"

#include <bit>
#include <string_view>

namespace qv {
namespace {

constexpr std::string_view kNotOurFile = "Not a Quorvalis-file!";
constexpr std::string_view kNotWritten = "The palette file could not be written:\n";
constexpr std::uint32_t kSmoothColourFlag = 1u << 1;

} // namespace

std::array<std::byte, kPaletteFileLong> encodePaletteFile(const PaletteFileContents& contents)
{
    std::array<std::byte, kPaletteFileLong> bytes{};
    const PaletteParameters& p = contents.parameters;
    for (std::size_t i = 0; i < 3; ++i) {
        storeU32(&bytes[4 * i], std::bit_cast<std::uint32_t>(p.start[i]));
        storeU32(&bytes[12 + 4 * i], std::bit_cast<std::uint32_t>(p.step[i]));
        storeU32(&bytes[24 + 4 * i], std::bit_cast<std::uint32_t>(p.stop[i]));
    }
    storeU32(&bytes[36], contents.colourFlags);
    storeU32(&bytes[40], std::bit_cast<std::uint32_t>(contents.paletteOffset));
    return bytes;
}

std::optional<PaletteFileContents> decodePaletteFile(std::span<const std::byte> bytes)
{
    if (bytes.size() != kPaletteFileShort && bytes.size() != kPaletteFileLong) {
        return std::nullopt;
    }
    PaletteFileContents contents;
    PaletteParameters& p = contents.parameters;
    for (std::size_t i = 0; i < 3; ++i) {
        p.start[i] = std::bit_cast<float>(loadU32(&bytes[4 * i]));
        p.step[i] = std::bit_cast<float>(loadU32(&bytes[12 + 4 * i]));
        p.stop[i] = std::bit_cast<float>(loadU32(&bytes[24 + 4 * i]));
    }
    contents.colourFlags = loadU32(&bytes[36]);
    if (bytes.size() == kPaletteFileLong) {
        contents.paletteOffset = std::bit_cast<std::int32_t>(loadU32(&bytes[40]));
    }
    return contents;
}

bool savePaletteFile(PaletteContext& context, const std::string& path)
{
    if (path.empty()) {
        return false;
    }
    syncColourFlags(context.state.options, context.colourFlags);
    const auto bytes = encodePaletteFile(
        {context.state.parameters, context.colourFlags, context.state.paletteOffset});
    if (!replaceFile(path, bytes)) {
        context.prompts.message(std::string(kNotWritten) + path);
        return false;
    }
    return true;
}

bool loadPaletteFile(PaletteContext& context, const std::string& path)
{
    PaletteState& state = context.state;
    state.paletteOffset = 0;
    if (path.empty()) {
        return false;
    }
    context.colourFlags = 0;
    state.options = PaletteOptions{};

    // One byte more than the long form is enough to tell every other length apart.
    const auto bytes = readFilePrefix(path, kPaletteFileLong + 1);
    const auto contents = bytes ? decodePaletteFile(*bytes) : std::nullopt;
    if (!contents) {
        context.prompts.message(kNotOurFile);
        return false;
    }
    state.parameters = contents->parameters;
    context.colourFlags = contents->colourFlags;
    state.paletteOffset = contents->paletteOffset;
    state.options = optionsFromColourFlags(context.colourFlags);

    generatePalette(context, PaletteMode::FromParameters);
    context.host.clearPictureFromImage();
    context.host.redisplayPicture();
    // Smoothed pixels hold finished colours, not indices: only a new render shows the palette.
    if ((context.colourFlags & kSmoothColourFlag) != 0) {
        context.host.requestRender();
    }
    return true;
}

} // namespace qv
