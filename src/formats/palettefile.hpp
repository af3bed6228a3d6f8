// The 16 colours as palette files for other painting programs, in index order. Each
// writer makes the whole file; none can fail.
//   .gpl  GIMP palette: "GIMP Palette", Name, Columns, then "R G B<TAB>name" lines
//   .pal  JASC palette: "JASC-PAL", "0100", the count, then "R G B" lines (CR LF)
//   .hex  one colour a line as six lower-case hex digits ("5f5fff")
// A 16 x 1 PNG swatch is write_png_picture of the values 0 to 15.
#pragma once
#include <cstdint>
#include <vector>

std::vector<std::uint8_t> write_gimp_palette();
std::vector<std::uint8_t> write_jasc_palette();
std::vector<std::uint8_t> write_hex_palette();
