// Fonts as TrueType outlines, in memory. Every set pixel is a square of 128 font units
// (the em is 1024 units, 8 pixels), and the neighbouring set pixels of a row make one
// rectangle, so no two contours overlap. Glyph rows 0-6 lie above the baseline and row
// 7 below it (ascent 896, descent 128, line height 8 pixels); every glyph advances 8
// pixels, and its left side bearing is the x of its leftmost pixel, as engines that
// place glyphs by the bearing expect. Drawn unhinted at 8 pixels per em a glyph shows
// exactly its own pixels, at 16 each pixel doubled.
//
// Glyph 0 is .notdef, a hollow box; glyph 1 + b is font glyph b. The character map (a
// Windows Unicode subtable, format 4) maps the character that the code page gives code
// b to glyph 1 + b, blank glyphs too; a character two codes share goes to the lower.
// The writer gives the same bytes every time and cannot fail; family_name_problem
// returns "" or the one sentence that says what is wrong with a family name.
#pragma once
#include "formats/charset.hpp"
#include "art/fonts.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::size_t max_family_name_length = 63;

// "" when `family` can name a font, else one sentence saying why not: 1-63 printable
// ASCII characters, no double quote, at least one letter or digit.
std::string family_name_problem(std::string_view family);

// Writes `source` as a TrueType font of family `family` (which family_name_problem
// accepts) with style Regular. Its PostScript name is the family without spaces and
// the characters PostScript forbids in names.
std::vector<std::uint8_t> write_truetype(const struct font& source, const charset& set, std::string_view family);
