// Sprite sheets: many sprites laid out in one PNG with an atlas of where each lies,
// and a sheet cut back into sprites. Pure functions over records and bytes; each
// returns "" on success, else one sentence that says what is wrong, and on failure
// leaves its outputs alone.
//
// Packing. Every sprite becomes a frame of (width x scale) x (height x scale) PNG
// pixels, `padding` transparent pixels between neighbours (none around the edge), the
// rest of the sheet transparent:
// - Sprites all of one size go on a uniform grid, row by row in input order, `columns`
//   to a row; 0 columns picks the count that makes the sheet most nearly square
//   (the smallest longer side, then the fewest empty cells).
// - Sprites of different sizes go on shelves: left to right in input order, a new
//   shelf below the tallest frame of the last one when the shelf is full. A shelf
//   holds `columns` frames; with 0 columns, some 64 shelf widths from the widest frame
//   to twice the square root of the frames' padded area are tried, and the smallest sheet
//   at most twice as long as wide is kept. What this costs is the space
//   beside short frames on a tall shelf and at the end of each shelf: 45 % of the
//   sheet for 40 frames of random widths 8-32 and heights 8-48 (52 % with padding 2).
// Cutting. A uniform grid of cells, `offset` from the top left and `padding` apart,
// cut row by row; cells that do not fit wholly at the right or bottom edge are left
// out. Or the frames of an atlas. Each frame must be a whole number of scale x scale
// blocks, at most 255 of them each way.
#pragma once
#include "formats/atlasjson.hpp"
#include "art/structs.hpp"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::uint32_t max_padding = 1024;

struct pack_options {
    std::uint32_t columns = 0; // frames a row; 0: as square as it gets
    std::uint32_t scale = 1;   // 1 to max_scale
    std::uint32_t padding = 0; // 0 to max_padding PNG pixels
};

// Lays out `sprites` by the rules above: the sheet's size and each frame's area, in
// input order, the frames named by `names` (one per sprite). A sprite with no pixels
// or a sheet over max_sheet_side either way is refused.
std::string layout_sheet(std::span<const bitmap> sprites, std::span<const std::string> names,
                         const pack_options& options, atlas& layout);

// Lays out `sprites` and draws them: the sheet as an indexed PNG with the sprite
// palette (as read_png_sprite reads it back), and its atlas, whose image is left empty.
std::string pack_sheet(std::span<const bitmap> sprites, std::span<const std::string> names,
                       const pack_options& options, std::vector<std::uint8_t>& png, atlas& layout);

struct grid_options {
    std::uint32_t cell_width = 0; // PNG pixels, at least 1
    std::uint32_t cell_height = 0;
    std::uint32_t offset_x = 0;
    std::uint32_t offset_y = 0;
    std::uint32_t padding = 0;
};

// The cells of a uniform grid over a width x height sheet that fit wholly, row by row,
// named by their index "0", "1", ... . No cell fitting, or more than max_atlas_frames
// cells, is an error.
std::string grid_frames(std::uint32_t width, std::uint32_t height, const grid_options& grid,
                        std::vector<atlas_frame>& frames);

struct cut_sprite {
    std::size_t frame = 0;             // its index among the frames cut
    std::vector<std::uint8_t> file;    // the sprite file's bytes
};

// Cuts each frame out of the sheet `png` as a sprite file, in the frames' order, by
// the colour rules of read_png_sprite (`scale`, `nearest`). With `skip_empty`, frames
// wholly transparent are left out.
std::string cut_sheet(std::span<const std::uint8_t> png, std::span<const atlas_frame> frames, std::uint32_t scale,
                      bool nearest, bool skip_empty, std::vector<cut_sprite>& sprites);

// Takes each sprite as cut_sheet_each cuts it (and may take its bytes away): "" to go
// on, or a sentence that ends the cutting and is returned as its result.
using sprite_taker = std::function<std::string(cut_sprite& sprite)>;

// Cuts as cut_sheet does, but hands each sprite to `take` as soon as its frame's last
// row is read (the order of read_png_areas_each), so that only the frames crossing the
// row being read are held.
std::string cut_sheet_each(std::span<const std::uint8_t> png, std::span<const atlas_frame> frames,
                           std::uint32_t scale, bool nearest, bool skip_empty, const sprite_taker& take);
