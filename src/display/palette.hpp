// The 16-colour palette as 32-bit RGBX words (red in bits 31-24, green 23-16, blue
// 15-8, bits 7-0 zero), for the window and for the image formats alike. A channel is
// 0xA0 when its colour bit is set (red bit 2, green bit 1, blue bit 0), and the
// intensity bit 3 adds 0x5F to all three: 0 is black, 7 light grey, 8 dark grey,
// 9 is 5F 5F FF, 15 white. Nothing here needs SDL.
#pragma once
#include <cstdint>

// The colours the editors draw their own screens in, by name.
inline constexpr std::uint8_t color_black = 0;
inline constexpr std::uint8_t color_blue = 1;
inline constexpr std::uint8_t color_light_grey = 7;
inline constexpr std::uint8_t color_white = 15;

// The RGBX word of colour index `color`; bits 7-4 are ignored.
constexpr std::uint32_t rgbx_of(std::uint8_t color)
{
    std::uint32_t word = 0;
    if (color & 1)
        word |= 0x0000A000u;
    if (color & 2)
        word |= 0x00A00000u;
    if (color & 4)
        word |= 0xA0000000u;
    if (color & 8)
        word += 0x5F5F5F00u; // each channel is 0x00 or 0xA0 here, so no carries
    return word;
}

static_assert(rgbx_of(0) == 0x00000000u);
static_assert(rgbx_of(1) == 0x0000A000u);
static_assert(rgbx_of(6) == 0xA0A00000u);
static_assert(rgbx_of(8) == 0x5F5F5F00u);
static_assert(rgbx_of(9) == 0x5F5FFF00u);
static_assert(rgbx_of(14) == 0xFFFF5F00u);
static_assert(rgbx_of(15) == 0xFFFFFF00u);

// The colour index 0-15 nearest to (red, green, blue) by squared RGB distance, the lower
// index on a tie; `distance` gets that squared distance, 0 when the colour is one of the 16.
constexpr std::uint8_t nearest_color(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint32_t& distance)
{
    std::uint8_t best = 0;
    distance = UINT32_MAX;
    for (std::uint8_t color = 0; color < 16; ++color) {
        const std::uint32_t word = rgbx_of(color);
        const int dr = red - static_cast<int>(word >> 24);
        const int dg = green - static_cast<int>((word >> 16) & 0xFF);
        const int db = blue - static_cast<int>((word >> 8) & 0xFF);
        const auto d = static_cast<std::uint32_t>(dr * dr + dg * dg + db * db);
        if (d < distance) {
            distance = d;
            best = color;
        }
    }
    return best;
}
