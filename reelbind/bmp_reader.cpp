// The BMP frame reader: headers, palettes and bit-field masks into RGB triples.
#include "reelbind/bmp_reader.h"

#include <array>
#include <bit>

namespace qv::reelbind {
namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kCoreHeaderSize = 12;
constexpr std::size_t kInfoHeaderSize = 40;

std::uint32_t u16At(std::span<const std::uint8_t> b, std::size_t at)
{
    return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8;
}

std::uint32_t u32At(std::span<const std::uint8_t> b, std::size_t at)
{
    return u16At(b, at) | u16At(b, at + 2) << 16;
}

/// One colour channel of a bit-field pixel: the masked bits, widened or narrowed to 8 bits.
struct Channel
{
    std::uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    explicit Channel(std::uint32_t m)
        : mask(m), shift(std::countr_zero(m | 0x8000'0000u)), bits(std::popcount(m))
    {
    }

    std::uint8_t of(std::uint32_t pixel) const
    {
        if (bits == 0) {
            return 0;
        }
        const std::uint32_t v = (pixel & mask) >> shift;
        if (bits >= 8) {
            return static_cast<std::uint8_t>(v >> (bits - 8));
        }
        // Repeat the bits so that the largest value becomes 255, not 248.
        std::uint32_t wide = 0;
        for (int filled = 0; filled < 8; filled += bits) {
            wide = wide << bits | v;
        }
        return static_cast<std::uint8_t>(wide >> (((8 + bits - 1) / bits) * bits - 8));
    }
};

struct Header
{
    std::int64_t width = 0;
    std::int64_t height = 0; // negative: rows top first
    std::uint32_t bits = 0;
    std::uint32_t compression = kBiRgb;
    std::uint32_t coloursUsed = 0;
    std::size_t size = 0;
    std::size_t paletteEntry = 4;
};

std::optional<Header> readHeader(std::span<const std::uint8_t> b, std::string& error)
{
    if (b.size() < kFileHeaderSize + kCoreHeaderSize || b[0] != 'B' || b[1] != 'M') {
        error = "not a BMP file";
        return std::nullopt;
    }
    Header h;
    h.size = u32At(b, 14);
    if (h.size == kCoreHeaderSize) {
        h.width = u16At(b, 18);
        h.height = u16At(b, 20);
        h.bits = u16At(b, 24);
        h.paletteEntry = 3;
        return h;
    }
    if (h.size < kInfoHeaderSize || b.size() < kFileHeaderSize + kInfoHeaderSize) {
        error = "unknown BMP header";
        return std::nullopt;
    }
    h.width = static_cast<std::int32_t>(u32At(b, 18));
    h.height = static_cast<std::int32_t>(u32At(b, 22));
    h.bits = u16At(b, 28);
    h.compression = u32At(b, 30);
    h.coloursUsed = u32At(b, 46);
    return h;
}

} // namespace

std::optional<Picture> decodeBmp(std::span<const std::uint8_t> b, std::string& error)
{
    const std::optional<Header> h = readHeader(b, error);
    if (!h) {
        return std::nullopt;
    }
    const std::int64_t rows = h->height < 0 ? -h->height : h->height;
    if (h->width <= 0 || rows == 0 || h->width > kMaxSide || rows > kMaxSide) {
        error = "BMP size " + std::to_string(h->width) + "x" + std::to_string(rows) +
                " is out of range (1 to " + std::to_string(kMaxSide) + " each way)";
        return std::nullopt;
    }
    const std::uint32_t bits = h->bits;
    const bool masked = h->compression == kBiBitfields && (bits == 16 || bits == 32);
    if (!masked && h->compression != kBiRgb) {
        error = "compressed BMP files are not read";
        return std::nullopt;
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        error = "BMP with " + std::to_string(bits) + " bits per pixel";
        return std::nullopt;
    }
    std::array<std::uint32_t, 3> masks = {0xff0000u, 0xff00u, 0xffu};
    if (bits == 16) {
        masks = {0x7c00u, 0x3e0u, 0x1fu};
    }
    if (masked) {
        if (b.size() < kFileHeaderSize + kInfoHeaderSize + 12) {
            error = "BMP file ends in its colour masks";
            return std::nullopt;
        }
        masks = {u32At(b, 54), u32At(b, 58), u32At(b, 62)};
    }
    const std::array<Channel, 3> channels = {Channel(masks[0]), Channel(masks[1]),
                                             Channel(masks[2])};

    // The palette as RGB triples; indices past its end read as black.
    std::array<std::array<std::uint8_t, 3>, 256> palette{};
    if (bits <= 8) {
        const std::size_t maxEntries = std::size_t{1} << bits;
        const std::size_t entries =
            h->coloursUsed == 0 || h->coloursUsed > maxEntries ? maxEntries : h->coloursUsed;
        const std::size_t start = kFileHeaderSize + h->size + (masked ? 12 : 0);
        for (std::size_t i = 0; i < entries; ++i) {
            const std::size_t at = start + i * h->paletteEntry;
            if (at + 3 > b.size()) {
                break;
            }
            palette[i] = {b[at + 2], b[at + 1], b[at]};
        }
    }

    const std::int64_t stride = (h->width * bits + 31) / 32 * 4;
    const std::uint64_t offset = u32At(b, 10);
    if (offset + static_cast<std::uint64_t>(stride * rows) > b.size()) {
        error = "BMP file ends before its pixels";
        return std::nullopt;
    }
    Picture picture;
    picture.width = static_cast<std::int32_t>(h->width);
    picture.height = static_cast<std::int32_t>(rows);
    picture.rgb.resize(static_cast<std::size_t>(h->width * rows * 3));
    for (std::int64_t y = 0; y < rows; ++y) {
        const std::int64_t fileRow = h->height < 0 ? y : rows - 1 - y;
        const std::uint8_t* in = b.data() + offset + static_cast<std::uint64_t>(fileRow * stride);
        std::uint8_t* out = picture.rgb.data() + y * h->width * 3;
        for (std::int64_t x = 0; x < h->width; ++x, out += 3) {
            if (bits <= 8) {
                const std::int64_t bit = x * bits;
                const std::uint32_t index =
                    (in[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1u);
                out[0] = palette[index][0];
                out[1] = palette[index][1];
                out[2] = palette[index][2];
            } else if (bits == 24) {
                out[0] = in[x * 3 + 2];
                out[1] = in[x * 3 + 1];
                out[2] = in[x * 3];
            } else {
                const std::uint32_t pixel =
                    bits == 16 ? u16At({in, 2 * static_cast<std::size_t>(h->width)},
                                       static_cast<std::size_t>(x) * 2)
                               : u32At({in, 4 * static_cast<std::size_t>(h->width)},
                                       static_cast<std::size_t>(x) * 4);
                out[0] = channels[0].of(pixel);
                out[1] = channels[1].of(pixel);
                out[2] = channels[2].of(pixel);
            }
        }
    }
    return picture;
}

} // namespace qv::reelbind
