// The converter's simplest modes: one input into one output, each side's format from its
// name's ending; and --palette FILE alone, which writes the 16 colours. Planners return
// "" or the usage error; runners a complaint naming the file to blame.
#pragma once
#include "pixconv/pixconv_rows.hpp"

#include <span>
#include <string>

// The rows of the two modes: --palette FILE alone, then the one-to-one conversion, which
// takes whatever no other mode does and so comes last.
std::span<const mode_row> convert_modes();

// Checks `line` as one input and one output whose endings name formats that can be read
// and written, works out whether the data is a sprite or a font, refuses options that
// do nothing for these files, and fills `work`. The C array's name defaults to the
// output file's stem.
std::string plan_conversion(const command_line& line, job& work);

// For --palette FILE with files to convert: checks that FILE's ending names a palette
// that can be read, and finds its row.
std::string plan_palette(const command_line& line, const format_row*& row);

// The colours sprite values are drawn in: those of the palette file at `path` read by
// `row`, or the editors' when `row` is nullptr.
complaint read_palette_file(const std::string& path, const format_row* row, colour_set& colours);
