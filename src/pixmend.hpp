// The sprite editor's own functions; pixmend_main.cpp only calls pixmend_main.
#pragma once
#include "structs.hpp"

// Writes `bitmap` as a sprite file named `filename`, replacing any previous file only
// once the new one is complete on disk. Returns 0, or prints "Error while saving" and
// returns 1 when the file cannot be created, -1 when writing it fails; the previous
// file is then left as it was.
int save_bitmap(const char* filename, const bitmap& bitmap);

// The whole program: checks the command line, loads or creates the sprite, opens the
// window and runs the editing loop. Returns only with status 1 on a start-up failure.
int pixmend_main(int argc, char** argv);
