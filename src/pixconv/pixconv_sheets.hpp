// The converter's modes with many files: sprites packed into one sheet with its atlas,
// and a sheet cut into sprites.
//   pack: SPRITE.spr ... SHEET.png    writes SHEET.png and SHEET.json beside it
//   cut:  SHEET.png PATTERN.spr       with --cell WxH: the grid's cells, row by row,
//                                     numbered from 0 in the pattern's %d
//   cut:  SHEET.png FOLDER/           the frames of SHEET.json, named after them, or
//                                     without it the tiles of SHEET.tsx, named 0.spr, ...
// The files of a game engine, packed the same way, are pixconv_game.hpp's.
// Every output goes through the converter's one write path (pixconv_files.hpp): all
// files together or none, never over an input. A cut holds only the frames crossing the
// row of the sheet being read, each written once its last row is read. Planners return
// "" or the usage error; the runners hand their complaint to pixconv_main.
#pragma once
#include "formats/spritesheet.hpp"
#include "pixconv/pixconv_rows.hpp"

#include <span>
#include <string>

// The rows of the three modes: pack, cut by a grid, cut by the atlas or tileset.
std::span<const mode_row> sheet_modes();

// Shared with the game files' modes, which pack sprites too.
enum class sheet_mode { none, pack, cut, tileset, sprite_frames };

// Which mode the file names ask for: tileset or sprite frames for a .tsx or .tres last
// after sprite files or one PNG; pack for sprite files and a PNG last (two or more
// names, or one sprite with --atlas), cut for a PNG and then a pattern, a name ending in
// '/' or an existing folder (or any output with --cell); none for anything else.
sheet_mode sheet_mode_of(const command_line& line);

// The packing that the options ask for.
pack_options pack_options_of(const settings& how);

// Refuses the options that do nothing in `work`'s mode, fills in the job, and checks its
// names: "" or the usage error.
std::string plan_sheet_job(const command_line& line, job& work);

// Checks the names of a job of a sheet mode: "" or the usage error.
std::string check_sheet_names(const job& job);
