// The half of pixmend.hpp that needs no window: saving the sprite and reading the
// command line's dimensions, so that tests reach them without SDL.
#include "editors/pixmend.hpp"

#include "art/bitmap.hpp"
#include "art/savefile.hpp"

#include <cstdio>
#include <vector>

namespace {

bool is_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

int save_bitmap(const char* filename, const bitmap& bitmap)
{
    const std::vector<std::uint8_t> file = write_sprite_file(bitmap);
    const int result = replace_file(filename, file.data(), file.size());
    if (result != 0)
        std::puts("Error while saving");
    return result;
}

std::uint8_t parse_dimension(const char* text)
{
    while (is_space(*text))
        ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        ++text;
    // Unsigned arithmetic wraps modulo 2^32, a multiple of 256, so the low byte comes out
    // as atoi's would wherever atoi's result is defined, and defined everywhere else.
    std::uint32_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        value = value * 10 + static_cast<std::uint32_t>(*text - '0');
    return static_cast<std::uint8_t>(negative ? 0u - value : value);
}
