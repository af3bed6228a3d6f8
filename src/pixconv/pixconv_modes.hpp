// The converter's modes, one row each (pixconv_rows.hpp): what the command line must
// name for it, its planner and its runner. The modes live in modules of their own
// (pixconv_convert, pixconv_sheets, pixconv_game, pixconv_animations) and in the
// features a build may lack (pixconv_features.hpp). Nothing here reports errors.
#pragma once
#include "pixconv/pixconv_rows.hpp"

#include <span>

// Every row, the build's features' among them, in the order --help lists them.
std::span<const mode_row> mode_table();

// The mode `line` asks for: the first row that takes it. The one-to-one conversion takes
// whatever no other mode does.
const mode_row& mode_of(const command_line& line);
