// Fonts in the BDF text format, in memory. BDF hex rows hold the leftmost pixel in the
// most significant bit, font rows in the least.
#pragma once
#include "fonts.hpp"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Reads a BDF 2.1 or 2.2 font into `result`. The 8 x 8 cell's top lies FONT_ASCENT rows
// above the baseline (7 when the font has none); a glyph of any size and offset that
// fits the cell is placed in it. Glyphs whose ENCODING is outside 0-255 (or -1) are
// skipped; glyphs not in the file stay blank. Returns "" on success, else one sentence
// that says what is wrong, naming the line or the glyph to blame; `result` is then left
// as it was. Lines may end in CRLF; a line longer than 4096 characters is an error, and
// the number of glyphs must match CHARS.
std::string read_bdf(std::span<const std::uint8_t> bdf, struct font& result);

// Writes all 256 glyphs of `source` as BDF 2.1, blank ones too, each at its own
// ENCODING, in an 8 x 8 cell with 7 rows above the baseline and 1 below.
std::vector<std::uint8_t> write_bdf(const struct font& source);
