// The font editor's own functions; glyfmend_main.cpp only calls glyfmend_main.
// Errors: a start-up failure prints one line on standard output and gives status 1; a
// failed save prints "Error while saving" from save_font, and editing goes on.
#pragma once
#include <cstdint>

// Toggles bit x of row y of glyph `chr`. x and y must be 0-7; they are not checked.
void set_font_pixel(std::uint8_t chr, std::uint8_t x, std::uint8_t y);

// Clears all 8 rows of glyph `chr`.
void reset_chr(std::uint8_t chr);

// Writes `font` as a 2048-byte font file named `filename`, replacing any previous file
// only once the new one is complete on disk. Returns 0, or prints "Error while saving"
// and returns -1 when the save failed; the previous file is then left as it was.
int save_font(const char* filename);

// The whole program: checks the command line, loads the font, opens the window and
// runs the editing loop. Returns only with status 1 on a start-up failure.
int glyfmend_main(int argc, char** argv);
