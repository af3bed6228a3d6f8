// Fonts read through FreeType, in memory: X11 PCF (gzipped too), Windows FON and bare
// FNT, TrueType and OpenType, outlines or bitmap strikes, into the 256-glyph font.
//
// Which glyph becomes code b: a face with a Unicode character map gives code b the
// glyph of the character `set` assigns to b. A Windows bitmap font has no Unicode map
// but names its code page: ANSI fonts are taken as latin1 (their codes 0x80-0x9F as
// they are), OEM fonts as cp437, and their glyphs are moved to where `set` wants them
// (an OEM font read with cp437 keeps every code). Any other face keeps its own codes:
// glyph b is its character b. A character the font lacks leaves its glyph blank.
//
// Which size: an outline font is rendered `size` pixels per em (8 when not given) in
// black and white without hinting, as a pixel font must be. A bitmap font has strikes,
// each so many pixels high (a Windows FON holds one per face): `size` picks the strike
// of that height, else the tallest strike of at most 8 pixels is taken.
//
// Where a glyph goes: the cell's top row lies the size's ascent above the baseline, and
// each glyph is placed by its bearings, as the BDF reader does; a glyph with a pixel
// outside the 8 x 8 cell is an error that names it. Of a collection of outline fonts
// the first face is read.
//
// Returns "" on success, else one sentence fit for the user; `result` is then left as
// it was. Inputs over max_freetype_input, more than max_freetype_faces faces, a glyph
// larger than max_freetype_glyph pixels either way and a `size` outside 1 to
// max_freetype_size are refused before FreeType takes memory for them.
#pragma once
#include "formats/charset.hpp"
#include "art/fonts.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

inline constexpr std::size_t max_freetype_input = 64u << 20;
inline constexpr long max_freetype_faces = 64;
inline constexpr std::uint32_t max_freetype_size = 64;
inline constexpr long max_freetype_glyph = 256;

std::string read_freetype_font(std::span<const std::uint8_t> data, const charset& set,
                               std::optional<std::uint32_t> size, struct font& result);
