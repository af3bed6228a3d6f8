// The converter's animation modes:
//   make:  SPRITE.spr SPRITE.spr ... OUT.gif|OUT.apng   one frame per sprite, in order
//          SHEET.png OUT.gif|OUT.apng                   the frames of SHEET.json beside it,
//                                                       in the atlas's order and durations
//   split: ANIMATION.gif FOLDER/ or NAME%02d.spr        every frame as a browser shows it
//                                                       (pixconv_gif.cpp, where giflib is)
// Sprites of different sizes share a canvas of the largest width and the largest
// height, each frame at its top-left corner with the rest transparent: sprites drawn
// for one animation share their top-left corner in the editor too. The output's format
// row writes the frames (format_row::write_animation). Every output goes through the
// converter's one write path (pixconv_files.hpp): all or none, never over an input.
// Planners return "" or the usage error; runners a complaint naming the file to blame.
#pragma once
#include "pixconv/pixconv_rows.hpp"

#include <span>
#include <string>

// The rows of the two ways to make an animation: from sprite files, from a sheet.
std::span<const mode_row> animation_modes();

// Whether the command line names no sheet mode's files, and then an animation that
// `last`'s format row writes or reads.
bool takes_animation_files(const command_line& line);

// Refuses the options that do nothing in `work`'s mode (and `also_refused`) with the
// mode's refusal, and fills in the job. "" or the usage error.
std::string plan_animation(const command_line& line, job& work, std::string_view also_refused = {});
