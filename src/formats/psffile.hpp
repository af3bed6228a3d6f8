// Console fonts in the PSF formats, version 1 (magic 36 04, 4-byte header) and
// version 2 (magic 72 B5 4A 86, 32-byte header), in memory. PSF rows hold the leftmost
// pixel in the most significant bit, font rows in the least: every row is mirrored.
// The reader returns "" on success, else one sentence that says what is wrong.
#pragma once
#include "art/fonts.hpp"
#include "formats/charset.hpp"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Reads an 8 x 8 PSF font (not compressed) into `result`. A font of more than 256
// glyphs gives its first 256, one of fewer leaves the rest blank; either sets
// `warning` to a sentence saying so; otherwise (and on failure) `warning` is emptied.
// A Unicode table is ignored. On failure `result` is left as it was.
std::string read_psf(std::span<const std::uint8_t> psf, struct font& result, std::string& warning);

// Writes the 256 glyphs of `source`: a `version` of 1 gives version 1 (4-byte header),
// anything else version 2 (32-byte header). With a code page `set` a Unicode table
// follows the glyphs, naming each glyph's character in `set` (none for control
// characters), so that the console knows which character each glyph draws; without one
// there is no table (mode 0, flags 0).
std::vector<std::uint8_t> write_psf(const struct font& source, int version, const charset* set = nullptr);
