// Palette files: the editors' 16 colours written for other painting programs, and
// palettes from elsewhere read as 16 colours to draw sprite values in (colours.hpp).
//
// Written, the 16 colours in index order; each writer makes the whole file and none can
// fail:
//   .gpl  GIMP palette: "GIMP Palette", Name, Columns, then "R G B<TAB>name" lines, the
//         names those of pixel-editors(5) ("black" ... "white")
//   .pal  JASC palette: "JASC-PAL", "0100", the count, then "R G B" lines (CR LF)
//   .hex  one colour a line as six lower-case hex digits ("5f5fff")
// A 16 x 1 PNG swatch of 16 palette entries is pngimage's write_png_swatch.
//
// Read, from bytes in memory: the first 16 colours the file lists, in its order (more
// are left out); a palette of fewer is refused. Each reader returns "" on success, else
// one sentence that says what is wrong, and leaves `colours` alone on failure.
//   .gpl  as GIMP reads it: the "GIMP Palette" line first; then "Name:" and "Columns:"
//         lines, comments after '#' and blank lines, skipped; each colour "R G B" (whole
//         numbers 0-255 parted by spaces or tabs), any name after them ignored
//   .pal  JASC (as written above, the count at least 16 and as many lines as it says),
//         or a RIFF palette ("RIFF", "PAL ", a "data" chunk of version 0x0300, a count
//         and 4 bytes a colour: red, green, blue, flags)
//   .hex  one colour a line, six hex digits in either case, optionally after '#';
//         blank lines skipped
// Lines may end in LF or CR LF; a file larger than max_palette_size is refused.
#pragma once
#include "formats/colours.hpp"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

inline constexpr std::size_t max_palette_size = std::size_t{1} << 20;

std::vector<std::uint8_t> write_gimp_palette();
std::vector<std::uint8_t> write_jasc_palette();
std::vector<std::uint8_t> write_hex_palette();

std::string read_gimp_palette(std::span<const std::uint8_t> data, colour_set& colours);
std::string read_jasc_palette(std::span<const std::uint8_t> data, colour_set& colours);
std::string read_hex_palette(std::span<const std::uint8_t> data, colour_set& colours);
