// Sprite operations: allocation, pixel access, drawing with transparency, the sprite
// file reader and entity faces. A sprite file is the width byte, the height byte and
// then width x height pixel bytes, row 0 first; longer files load, the excess ignored.
// Failures are integer results (1), except that a short file or a failed allocation
// while loading prints its message and ends the process with status 1.
#pragma once
#include "art/structs.hpp"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Allocates width x height pixel bytes (contents undefined) and stores the block,
// height and width in `retval` either way. Returns 1 when no memory was had, else 0;
// zero pixels count as success.
int allocate_bitmap(std::uint8_t width, std::uint8_t height, bitmap& retval);

// Sets every pixel of `bitmap` to `color`.
void fill_bitmap(bitmap& bitmap, std::uint8_t color);

// Stores `color` at (x, y) and returns 0, or returns 1 and changes nothing when (x, y)
// lies outside the sprite.
int store_pixel(bitmap& bitmapstruct, std::uint8_t x, std::uint8_t y, std::uint8_t color);

// The pixel byte at (x, y), 0-255. The caller keeps x < width and y < height.
int recall_pixel(const bitmap& bitmapstruct, std::uint8_t x, std::uint8_t y);

// Draws the sprite with its top-left corner at (x, y), skipping transparent pixels;
// pixels off the screen are dropped.
void draw_bitmap(std::uint32_t x, std::uint32_t y, const bitmap& bitmap);

// Reads a sprite file into a newly allocated `bitmap` and hands the dimensions back.
// Returns 1, printing nothing and leaving `bitmap` alone, when the file cannot be
// opened; a file too short for its dimensions prints "Error while loading" and ends
// the process with status 1; a failed allocation prints "Out of memory!" and does
// the same. Returns 0 otherwise. A sprite with no pixels loads as an empty sprite.
int load_bitmap(const char* filename, bitmap& bitmap, std::uint8_t& width, std::uint8_t& height);

// Reads the sprite file held in `file` into a newly allocated `sprite` (the caller
// frees its block with std::free). Returns "" on success, else one sentence saying
// what is wrong: a file too short for its dimensions is refused, not padded. The one
// reader of sprite files: load_bitmap reads through it too.
std::string read_sprite_file(std::span<const std::uint8_t> file, bitmap& sprite);

// The bytes of `sprite` as a sprite file: exactly 2 + width x height of them.
std::vector<std::uint8_t> write_sprite_file(const bitmap& sprite);

// Draws one face of `bitmap` with its top-left corner at (x, y), skipping transparent
// pixels: side 0 front, 1 left, 2 right, 3 back, 4 top, any other bottom.
// Part of the library's published interface: neither editor calls it; kept, and tested,
// for other programs built on the library.
void draw_mob_side(std::uint32_t x, std::uint32_t y, const entitybitmap& bitmap, std::uint8_t side);
