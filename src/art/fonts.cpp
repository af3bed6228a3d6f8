#include "art/fonts.hpp"

#include "display/dbuff.hpp"
#include "art/words.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

struct font font{};

namespace {

constexpr std::uint32_t advance = 9;        // one blank column and one blank row between glyphs
constexpr std::uint32_t keep = 0xFFFFFFFFu; // teletype_print: keep the current x or y
constexpr std::uint32_t last_start = 310;   // no glyph starts right of this column

// teletype_print's position, kept from call to call: the line's left margin, the
// line's y, and the offset of the next character from the margin.
std::uint32_t mx = 0;
std::uint32_t my = 0;
std::uint32_t n = 0;

} // namespace

void draw_chr(std::uint32_t x, std::uint32_t y, std::uint8_t color, std::uint8_t chr)
{
    const fontchar& glyph = font.chr[chr];
    for (std::uint32_t r = 0; r < 8; ++r)
        for (std::uint32_t c = 0; c < 8; ++c)
            if (glyph.bitmap[r] & (1u << c))
                put_pixel(x + c, y + r, color);
}

void print_text(std::uint32_t x, std::uint32_t y, std::uint8_t color, const char* str)
{
    std::uint32_t offset = 0;
    for (; *str != '\0'; ++str) {
        if (*str == '\n') {
            y += advance;
            offset = 0;
        } else {
            draw_chr(x + offset, y, color, static_cast<std::uint8_t>(*str));
            offset += advance;
        }
    }
}

void teletype_print(std::uint32_t x, std::uint32_t y, std::uint8_t color, const char* str)
{
    if (x != keep) {
        mx = x;
        n = 0;
    }
    if (y != keep)
        my = y;
    for (; *str != '\0'; ++str) {
        if (*str == '\n') {
            my += advance;
            n = 0;
            continue;
        }
        draw_chr(mx + n, my, color, static_cast<std::uint8_t>(*str));
        n += advance;
        if (mx + n > last_start) {
            my += advance;
            n = 0;
        }
    }
}

int load_font(const char* filename)
{
    std::FILE* file = std::fopen(filename, "rb");
    if (!file)
        return -1;
    // Read byte-wise, so that the bytes before the end of a short file are all there.
    std::array<std::uint8_t, font_file_size> bytes{};
    const std::size_t count = std::fread(bytes.data(), 1, bytes.size(), file);
    const bool closed = std::fclose(file) == 0;
    return read_font_file({bytes.data(), count}, font).empty() && closed ? 0 : -1;
}

std::string read_font_file(std::span<const std::uint8_t> file, struct font& result)
{
    // A short file still fills the glyphs it covers, from glyph 0 on: the editor keeps
    // them, the converter refuses the file.
    if (!file.empty())
        std::memcpy(&result, file.data(), std::min(file.size(), font_file_size));
    if (file.size() < font_file_size)
        return "the file is " + counted(file.size(), "byte") + " long; a font file has " +
               std::to_string(font_file_size);
    return "";
}

std::vector<std::uint8_t> write_font_file(const struct font& source)
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(&source);
    return {data, data + font_file_size};
}
