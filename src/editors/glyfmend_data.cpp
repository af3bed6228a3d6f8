// The half of glyfmend.hpp that needs no window: editing glyphs and saving the font,
// so that tests reach them without SDL.
#include "editors/glyfmend.hpp"

#include "art/fonts.hpp"
#include "art/savefile.hpp"

#include <cstdio>
#include <vector>

void set_font_pixel(std::uint8_t chr, std::uint8_t x, std::uint8_t y)
{
    font.chr[chr].bitmap[y] ^= static_cast<std::uint8_t>(1u << x);
}

void reset_chr(std::uint8_t chr)
{
    font.chr[chr].bitmap.fill(0);
}

int save_font(const char* filename)
{
    const std::vector<std::uint8_t> file = write_font_file(font);
    if (replace_file(filename, file.data(), file.size()) == 0)
        return 0;
    std::puts("Error while saving");
    return -1;
}
