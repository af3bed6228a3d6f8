// Fonts read through FreeType, in memory: X11 PCF (gzipped too), Windows FON and bare
// FNT, TrueType and OpenType, outlines or bitmap strikes, into the 256-glyph font.
//
// Which glyph becomes code b: a face with a Unicode character map gives code b the
// glyph of the character `set` assigns to b. A face without one that names its code
// page is mapped through Unicode the same way: a Windows bitmap font by its character
// set (ANSI is cp1252, OEM cp437, and the others their Windows pages), an X font (PCF)
// by CHARSET_REGISTRY and CHARSET_ENCODING (KOI8-R, ISO8859-2); code b gets the glyph of
// the character `set` puts at b, wherever the font holds it (an OEM font read with
// cp437 keeps every code). Any other face keeps its own codes: glyph b is its
// character b. A character the font lacks leaves its glyph blank, and `warning` counts
// those (control characters aside); it is emptied when none is missing.
//
// Which size: an outline font is rendered `size` pixels per em (8 when not given) in
// black and white without hinting, as a pixel font must be. A bitmap font has strikes,
// each so many pixels high (a Windows FON holds one per face): `size` picks the strike
// of that height, else the tallest strike of at most 8 pixels is taken.
//
// Where a glyph goes: the cell's top row lies the size's ascent above the baseline, and
// each glyph is placed by its bearings, as the BDF reader does; a glyph with a pixel
// outside the 8 x 8 cell, on any side, is an error that names the first such glyph in
// code order. Of a collection of outline fonts the first face is read. A gzipped font
// may unpack to max_freetype_input, as much as is read unpacked.
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
                               std::optional<std::uint32_t> size, struct font& result, std::string& warning);
