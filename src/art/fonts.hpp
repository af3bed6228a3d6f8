// The 8 x 8 font of 256 glyphs and text drawing. Row 0 of a glyph is its top row; in a
// row byte bit c is column c, bit 0 the leftmost:
//     row byte 0x06:  . X X . . . . .
// Text advances 9 pixels per character and per line. The font file is a plain image
// of `font`: 2048 bytes, glyph b at offset 8 * b, row 0 first; a longer file loads and
// only its first 2048 bytes count. File operations return 0 or -1 and print nothing.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct fontchar {
    std::array<std::uint8_t, 8> bitmap; // bitmap[r] is pixel row r, row 0 at the top
};

struct font {
    std::array<fontchar, 256> chr; // the glyph for byte value b is chr[b]
};

inline constexpr std::size_t font_file_size = sizeof(font);
static_assert(font_file_size == 2048);

extern font font; // the one font every text operation draws with; blank at start

// Draws the set pixels of glyph `chr` at (x, y) in `color`; clear pixels are left alone.
void draw_chr(std::uint32_t x, std::uint32_t y, std::uint8_t color, std::uint8_t chr);

// Draws the zero-terminated text `str` from (x, y): a line feed moves 9 pixels down and
// back to x; no wrapping.
void print_text(std::uint32_t x, std::uint32_t y, std::uint8_t color, const char* str);

// Like print_text, but the position carries over between calls and lines wrap so that
// no glyph starts right of column 310. An x or y of 0xFFFFFFFF keeps the current one:
// both all ones continue where the previous call stopped.
// Part of the library's published interface: neither editor calls it; kept, and tested,
// for other programs built on the library.
void teletype_print(std::uint32_t x, std::uint32_t y, std::uint8_t color, const char* str);

// Reads up to 2048 bytes of `filename` into `font` from its first byte on. Returns 0,
// or -1 when the file cannot be opened, is shorter than 2048 bytes (the glyphs it
// covers are loaded all the same) or cannot be closed.
int load_font(const char* filename);

// Reads the font file held in `file` into `result`, from glyph 0 on, and returns "";
// a longer file uses its first 2048 bytes. A shorter one fills the glyphs it covers,
// leaves the rest of `result` as it was, and returns one sentence saying how short it
// is. The one reader of font files: load_font reads through it too.
std::string read_font_file(std::span<const std::uint8_t> file, struct font& result);

// The 2048 bytes of `source` as a font file.
std::vector<std::uint8_t> write_font_file(const struct font& source);

// `row` with its bits in the opposite order, for formats whose rows put the leftmost
// pixel in the most significant bit:  0x01 <-> 0x80, 0x06 <-> 0x60.
constexpr std::uint8_t mirror_row(std::uint8_t row)
{
    std::uint8_t mirrored = 0;
    for (int bit = 0; bit < 8; ++bit)
        if (row & (1u << bit))
            mirrored |= static_cast<std::uint8_t>(0x80u >> bit);
    return mirrored;
}

static_assert(mirror_row(0x01) == 0x80 && mirror_row(0x06) == 0x60 && mirror_row(0xF1) == 0x8F);
