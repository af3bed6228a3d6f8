// The sprite editor's own functions; pixmend_main.cpp only calls pixmend_main.
// Errors: a start-up failure prints one line on standard output and gives status 1; a
// failed save prints "Error while saving" from save_bitmap, and editing goes on.
#pragma once
#include "art/structs.hpp"

#include <cstdint>
#include <vector>

// Writes `bitmap` as a sprite file named `filename`, replacing any previous file only
// once the new one is complete on disk. Returns 0, or prints "Error while saving" and
// returns 1 when the file cannot be created, -1 when writing it fails; the previous
// file is then left as it was. A sprite with no pixels is written as its two
// dimension bytes.
int save_bitmap(const char* filename, const bitmap& bitmap);

// A dimension from the command line, read the way atoi reads a number (leading white
// space, an optional sign, the leading digits; no number gives 0) and kept modulo 256:
// "300" gives 44, "-1" gives 255. Any text is safe, however many digits it has.
std::uint8_t parse_dimension(const char* text);

// The sprite under edit as F2 would write it now; empty until pixmend_main has loaded or
// made one. A browser page compares it with the stored file to show unsaved changes.
std::vector<std::uint8_t> edited_sprite_file();

// The whole program: checks the command line, loads or creates the sprite, opens the
// window and runs the editing loop. Returns only with status 1 on a start-up failure;
// closing the window ends the process with status 0.
int pixmend_main(int argc, char** argv);
