// Feeds the bytes to every reader of palettes from elsewhere: GIMP, JASC or RIFF, hex,
// and a PNG's first colours. A reader that fails leaves the colours as they were; one
// that succeeds gives 16 RGBX words, their low byte zero.
#include "formats/palettefile.hpp"
#include "formats/pngimage.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using reader = std::string (*)(std::span<const std::uint8_t>, colour_set&);
    constexpr std::array<reader, 4> readers = {read_gimp_palette, read_jasc_palette, read_hex_palette,
                                               read_png_colours};
    for (const reader read : readers) {
        colour_set colours;
        colours.fill(0x12345678u);
        const colour_set before = colours;
        if (!read({data, size}, colours).empty()) {
            if (colours != before)
                std::abort();
            continue;
        }
        for (const std::uint32_t word : colours)
            if ((word & 0xFF) != 0)
                std::abort();
    }
    return 0;
}
