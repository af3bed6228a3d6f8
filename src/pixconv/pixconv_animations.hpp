// The converter's animation modes:
//   make:  SPRITE.spr SPRITE.spr ... OUT.gif|OUT.apng   one frame per sprite, in order
//          SHEET.png OUT.gif|OUT.apng                   the frames of SHEET.json beside it,
//                                                       in the atlas's order and durations
//   split: ANIMATION.gif FOLDER/ or NAME%02d.spr        every frame as a browser shows it
// Sprites of different sizes share a canvas of the largest width and the largest
// height, each frame at its top-left corner with the rest transparent: sprites drawn
// for one animation share their top-left corner in the editor too. Every output goes
// through the converter's one write path (pixconv_files.hpp): all or none, never over an
// input. A split holds one frame at a time, each written as soon as it is composed.
#pragma once
#include "pixconv/pixconv_files.hpp"
#include "pixconv/pixconv_formats.hpp"

#include <string>
#include <vector>

enum class animation_mode { none, make, split };

struct animation_job {
    animation_mode mode = animation_mode::none;
    std::vector<std::string> inputs; // make: the sprite files, or the sheet; split: the GIF
    std::string output;              // make: the animation; split: a pattern or a folder
    settings how;
};

// Which mode the file names ask for: make for two or more sprite files, or a PNG with
// an atlas (its name ending .json) beside it, before a .gif or .apng; split for a .gif
// and then a name holding '%', ending in '/' or naming a folder; else none.
animation_mode animation_mode_of(const std::vector<std::string>& names);

// Checks the names of a job whose mode is set: "" or the usage error.
std::string check_animation_names(animation_job& job);

// Runs the job: no complaint on success, else the file to blame and what is wrong.
// A GIF frame shorter than browsers show puts a sentence in `warning`.
complaint run_animation_job(const animation_job& job, std::string& warning);
