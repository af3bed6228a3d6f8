// Sprites packed into the files that a map editor and a game engine read beside the
// sheet's PNG (formats/tiledfile.hpp, formats/godotfile.hpp):
//   SPRITE.spr ... TILES.tsx   a tileset: TILES.png and TILES.tsx; the sprites must all
//                              have one size; --animation makes tile 0 play them all
//   SPRITE.spr ... WALK.tres   sprite frames: WALK.png and one animation in WALK.tres
// Instead of sprite files, one sheet whose atlas lies beside it (SHEET.png with
// SHEET.json) gives its frames, in the atlas's order and with its durations. Each
// frame lasts frame_duration_ms. Both files are written together or neither.
// A usage complaint for what only the files show: tiles of different sizes, unequal
// durations for version 3 sprite frames.
#pragma once
#include "pixconv/pixconv_rows.hpp"

#include <span>

// The rows of the two modes: a tileset, sprite frames.
std::span<const mode_row> game_modes();
