#include "formats/palettefile.hpp"

#include "display/palette.hpp"

#include <cstdio>
#include <string>

namespace {

struct rgb {
    unsigned red;
    unsigned green;
    unsigned blue;
};

rgb colour_of(std::uint8_t index)
{
    const std::uint32_t word = rgbx_of(index);
    return {word >> 24, word >> 16 & 0xFF, word >> 8 & 0xFF};
}

std::vector<std::uint8_t> bytes_of(const std::string& text)
{
    return {text.begin(), text.end()};
}

// Lines made by `line(index, buffer)` for the 16 colours, each ended by `newline`.
template <typename Line>
std::string colour_lines(const char* newline, Line line)
{
    std::string text;
    for (std::uint8_t index = 0; index < 16; ++index) {
        char buffer[64];
        line(index, colour_of(index), buffer);
        text += std::string(buffer) + newline;
    }
    return text;
}

} // namespace

std::vector<std::uint8_t> write_gimp_palette()
{
    return bytes_of("GIMP Palette\nName: pixel editors\nColumns: 16\n#\n" +
                    colour_lines("\n", [](std::uint8_t index, rgb c, char* out) {
                        std::snprintf(out, 64, "%3u %3u %3u\tIndex %u", c.red, c.green, c.blue, unsigned{index});
                    }));
}

std::vector<std::uint8_t> write_jasc_palette()
{
    return bytes_of("JASC-PAL\r\n0100\r\n16\r\n" + colour_lines("\r\n", [](std::uint8_t, rgb c, char* out) {
                        std::snprintf(out, 64, "%u %u %u", c.red, c.green, c.blue);
                    }));
}

std::vector<std::uint8_t> write_hex_palette()
{
    return bytes_of(colour_lines("\n", [](std::uint8_t, rgb c, char* out) {
        std::snprintf(out, 64, "%02x%02x%02x", c.red, c.green, c.blue);
    }));
}
