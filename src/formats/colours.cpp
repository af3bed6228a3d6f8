#include "formats/colours.hpp"

#include "display/palette.hpp"

colour_set editor_colours()
{
    colour_set colours{};
    for (std::uint8_t v = 0; v < 16; ++v)
        colours[v] = rgbx_of(v);
    return colours;
}

colour_set picture_colours = editor_colours();

std::uint8_t picture_value_of(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint32_t& distance)
{
    std::uint8_t best = 0;
    distance = UINT32_MAX;
    for (std::uint8_t v = 0; v < 16; ++v) {
        const std::uint32_t word = picture_colours[v];
        const int dr = red - static_cast<int>(word >> 24);
        const int dg = green - static_cast<int>(word >> 16 & 0xFF);
        const int db = blue - static_cast<int>(word >> 8 & 0xFF);
        const auto d = static_cast<std::uint32_t>(dr * dr + dg * dg + db * db);
        if (d < distance) {
            distance = d;
            best = v;
        }
    }
    return best;
}
