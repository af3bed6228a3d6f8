// Fonts that catch mistakes of placement, shared by the font tests.
#pragma once
#include "art/fonts.hpp"

#include <cstdint>

// Every byte from a fixed pseudo-random sequence, so that rows hold runs of every
// length and no two glyphs are alike; glyph b has its (b mod 5) leftmost columns
// blank, so that a glyph placed by anything but its own leftmost pixel shows it.
inline struct font lopsided_font()
{
    struct font result {};
    std::uint32_t state = 12345;
    for (std::size_t code = 0; code < 256; ++code)
        for (std::uint8_t& row : result.chr[code].bitmap) {
            state = state * 1103515245u + 12345u;
            row = static_cast<std::uint8_t>((state >> 16) & (0xFFu << (code % 5)));
        }
    return result;
}
