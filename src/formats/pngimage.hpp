// Sprites and font sheets as PNG images, in memory: what the pixels of a picture mean
// as sprite values or glyph bits, and back (the container itself is pngfile's). Every
// function returns "" on success, else one sentence that says what is wrong, naming
// the pixel to blame where there is one; on failure the output is left alone.
//
// A sprite is written as an 8-bit indexed PNG whose 256 palette entries are the
// colours of v & 15 (picture_colours, colours.hpp), but for entry 255, which is transparent black (tRNS),
// so the pixel indices are the sprite's own bytes. A font is a sheet of 16 x 16 cells
// of 8 x 8 pixels, 128 x 128 in all: glyph b in the cell at ((b mod 16) * 8,
// (b div 16) * 8), glyph row 0 at the top, bit 0 at the cell's left; set pixels opaque
// in colour 15 (white unless picture_colours say otherwise), clear pixels transparent black (a 1-bit indexed PNG). Writers give the same
// bytes every time.
//
// `scale` (1-64) enlarges a written image, every pixel an N x N block; a read image
// is taken as such an enlargement, and every pixel of a block must give the same
// sprite value or glyph bit. Readers take any bytes: the container is checked whole
// before decoding (see pngfile.hpp), the size is checked from the header (at most
// 255 x 255 or exactly 128 x 128, times the scale), and an indexed pixel past the end
// of its palette is an error. Pixels are decoded one scanline at a time, interlaced or
// not, so reading holds a row and the result, never the picture.
#pragma once
#include "art/fonts.hpp"
#include "art/structs.hpp"
#include "formats/colours.hpp"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

inline constexpr std::uint32_t max_scale = 64;

// "W x H", as every message about a size says it.
std::string size_name(std::uint64_t width, std::uint64_t height);

// The widest and tallest sprite sheet read or written, in pixels: as large as the
// textures that graphics cards commonly take, and small enough to decode in memory.
inline constexpr std::uint32_t max_sheet_side = 8192;

// A rectangle of an image, in the image's own pixels.
struct image_area {
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// Reads a PNG of any colour type, depth and interlacing as a sprite, allocating its
// pixel block with allocate_bitmap (the caller frees it). A PNG with exactly the
// palette above is taken index for index; otherwise alpha below 128 is transparent and
// an opaque colour must be one of the 16, or with `nearest` the nearest of them by
// squared RGB distance, the lower index on a tie.
std::string read_png_sprite(std::span<const std::uint8_t> png, std::uint32_t scale, bool nearest, bitmap& sprite);

// Writes `sprite` as described above. A sprite with no pixels is an error.
std::string write_png_sprite(const bitmap& sprite, std::uint32_t scale, std::vector<std::uint8_t>& png);

// Reads a 128 x 128 (times `scale`) sheet: a pixel is set when it is opaque (alpha at
// least 128, a tRNS colour key counting as transparent) and light (luma at least 128,
// luma being (299 R + 587 G + 114 B) / 1000), or with `invert` opaque and dark.
std::string read_png_sheet(std::span<const std::uint8_t> png, std::uint32_t scale, bool invert, struct font& result);

// Writes the sheet of `source`.
std::string write_png_sheet(const struct font& source, std::uint32_t scale, std::vector<std::uint8_t>& png);

// Writes the same sheet as a 32-bit RGBA image (colour 15 or transparent black), the form
// game engines take as a BMFont page; read_png_sheet reads it back.
std::string write_png_page(const struct font& source, std::uint32_t scale, std::vector<std::uint8_t>& png);
// Reads the header alone and hands back the image's size; a side over max_sheet_side
// is refused.
std::string read_png_size(std::span<const std::uint8_t> png, std::uint32_t& width, std::uint32_t& height);

// Reads each of `areas` as a sprite, by the same rules as read_png_sprite: values[i]
// gets area i's sprite values, row-major, (width / scale) x (height / scale) of them.
// Every area must lie inside the image (at most max_sheet_side each way), be a whole
// number of scale x scale blocks and at most 255 of them each way; pixels outside
// every area are never looked at, so a sheet's background may be any colour.
std::string read_png_areas(std::span<const std::uint8_t> png, std::uint32_t scale, bool nearest,
                           std::span<const image_area> areas, std::vector<std::vector<std::uint8_t>>& values);

// Takes area `index`'s values (and may take them away): "" to go on, or a sentence that
// ends the reading and is returned as its result.
using area_taker = std::function<std::string(std::size_t index, std::vector<std::uint8_t>& values)>;

// Reads as read_png_areas does, but hands each area's values to `take` as soon as its
// last row is read and then frees them, so that only the areas crossing the row being
// read are held. Areas come in the order their last rows do; an interlaced image, whose
// passes each cross the whole picture, hands every area over at the end in order.
std::string read_png_areas_each(std::span<const std::uint8_t> png, std::uint32_t scale, bool nearest,
                                std::span<const image_area> areas, const area_taker& take);

// Writes a width x height picture of sprite values (row-major, one byte a pixel) with
// the sprite palette, pixel for pixel. Sides from 1 to max_sheet_side.
std::string write_png_picture(std::uint32_t width, std::uint32_t height, std::span<const std::uint8_t> values,
                              std::vector<std::uint8_t>& png);

// Writes the editors' 16 colours as a 16 x 1 picture of exactly 16 palette entries,
// pixel v in colour v, for painting programs that take a palette from a picture.
std::string write_png_swatch(std::vector<std::uint8_t>& png);

// Reads a picture's first 16 distinct opaque colours (alpha at least 128), in the
// order of the first pixel of each, row by row, as RGBX words; fewer is an error, and
// so is a picture of more than 4096 colours or larger than max_sheet_side.
std::string read_png_colours(std::span<const std::uint8_t> png, colour_set& colours);
