#include "filenow.hpp"

#include "art/fonts.hpp"

std::vector<std::uint8_t> file_now()
{
    return write_font_file(font);
}
