// Fonts in the BDF text format, in memory. BDF hex rows hold the leftmost pixel in the
// most significant bit, font rows in the least.
#pragma once
#include "art/fonts.hpp"
#include "formats/charset.hpp"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Reads a BDF 2.1 or 2.2 font into `result`. The 8 x 8 cell's top lies FONT_ASCENT rows
// above the baseline (7 when the font has none); a glyph of any size and offset that
// fits the cell is placed in it. Glyphs whose ENCODING is outside 0-255 (or -1) are
// skipped; glyphs not in the file stay blank. Returns "" on success, else one sentence
// that says what is wrong, naming the line or the glyph to blame; `result` is then left
// as it was. Lines may end in CRLF; a line longer than 4096 characters is an error, and
// the number of glyphs must match CHARS.
std::string read_bdf(std::span<const std::uint8_t> bdf, struct font& result);

// The same, but a font that names its code page by CHARSET_REGISTRY and
// CHARSET_ENCODING (ISO10646 for Unicode, or a page iconv knows: ISO8859-2, KOI8-R) is
// mapped through Unicode into `set`: code b gets the glyph of the character `set` puts
// at b, wherever the font holds it. Characters it lacks stay blank and `warning`
// counts them (control characters aside); it is emptied when none is missing. A font
// naming no code page, or one unknown, keeps its own codes.
std::string read_bdf(std::span<const std::uint8_t> bdf, const charset& set, struct font& result,
                     std::string& warning);

// Writes all 256 glyphs of `source` as BDF 2.1, blank ones too, each at its own
// ENCODING, in an 8 x 8 cell with 7 rows above the baseline and 1 below. The font
// is named -misc-FAMILY-medium-r-normal--8-80-72-72-c-80-REGISTRY-ENCODING and carries
// the properties X, FreeType, fontconfig and console font builders look for
// (FAMILY_NAME, WEIGHT_NAME, SLANT, PIXEL_SIZE, AVERAGE_WIDTH, CHARSET_REGISTRY,
// FONT_ASCENT and the rest): codes 0-255 are declared to be the code page `set`
// (iso8859-1 for latin1, koi8-r, ibm-cp437). `family` may be any text; what an X
// font name cannot hold ('-', '?', '*', ',', '"', bytes outside printable ASCII)
// becomes a space, and an empty family is "untitled".
std::vector<std::uint8_t> write_bdf(const struct font& source, std::string_view family,
                                    const charset& set = latin1_charset);
