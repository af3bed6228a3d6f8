// Feeds the bytes to the PNG readers. The first byte chooses the scale (1-4) from
// its low bits, `nearest` from bit 2 and `invert` from bit 3; the rest is the PNG.
// Each chunk's checksum is made right before reading: without that nearly every
// mutation stops at the checksum and the code behind it is never reached.
#include "formats/pngimage.hpp"

#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

std::uint32_t load32(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

void fix_checksums(std::vector<std::uint8_t>& png)
{
    std::size_t at = 8; // after the signature
    while (at + 12 <= png.size()) {
        const std::uint32_t length = load32(&png[at]);
        if (length > png.size() - at - 12)
            return;
        const auto crc = static_cast<std::uint32_t>(crc32(0, &png[at + 4], length + 4));
        std::uint8_t* field = &png[at + 8 + length];
        for (int i = 0; i < 4; ++i)
            field[i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
        at += 12 + std::size_t{length};
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint32_t scale = 1 + (data[0] & 3);
    const bool nearest = data[0] & 4;
    const bool invert = data[0] & 8;
    std::vector<std::uint8_t> png(data + 1, data + size);
    fix_checksums(png);

    bitmap sprite{};
    if (read_png_sprite(png, scale, nearest, sprite).empty()) {
        // What was read must write again (the reader never hands back an empty sprite).
        std::vector<std::uint8_t> written;
        if (!write_png_sprite(sprite, 1, written).empty())
            std::abort();
    }
    std::free(sprite.bitmap);
    struct font sheet {};
    (void)read_png_sheet(png, scale, invert, sheet);
    // As a sprite sheet: two frames, the top-left corner and one that may reach past the edge.
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (read_png_size(png, width, height).empty()) {
        const image_area areas[] = {{0, 0, std::min(width, 4 * scale), std::min(height, 2 * scale)},
                                    {width / 2, height / 3, 3 * scale, scale}};
        std::vector<std::vector<std::uint8_t>> values;
        (void)read_png_areas(png, scale, nearest, areas, values);
    }
    return 0;
}
