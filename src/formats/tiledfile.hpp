// Tilesets for map editors: a .tsx file beside the PNG that holds the tiles.
//     <?xml version="1.0" encoding="UTF-8"?>
//     <tileset version="1.8" name="tiles" tilewidth="16" tileheight="16" spacing="0"
//              margin="0" tilecount="4" columns="2">
//      <image source="tiles.png" width="32" height="32"/>
//      <tile id="0">
//       <animation>
//        <frame tileid="0" duration="100"/>
//        ...
// Tile n lies in column n % columns and row n / columns of a grid that starts `margin`
// pixels from the picture's top left, with `spacing` pixels between tiles. Durations
// are milliseconds. Both functions return "" on success, else one sentence that says
// what is wrong; on failure the output is left alone.
#pragma once
#include "formats/atlasjson.hpp"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The largest .tsx read: a tileset of max_atlas_frames animated tiles fits many times.
inline constexpr std::size_t max_tsx_size = std::size_t{16} << 20;

struct tile_frame {
    std::uint32_t tile = 0;        // the tile shown
    std::uint32_t duration_ms = 0; // for how long
};

struct tileset {
    std::string name;
    std::string image;               // the picture's file name, relative to the .tsx
    std::uint32_t image_width = 0;   // the picture's size, as the .tsx says
    std::uint32_t image_height = 0;
    std::uint32_t tile_width = 0;
    std::uint32_t tile_height = 0;
    std::uint32_t tile_count = 0;
    std::uint32_t columns = 0;
    std::uint32_t spacing = 0;
    std::uint32_t margin = 0;
    std::vector<tile_frame> animation; // tile 0's animation; empty when it has none
};

// Writes `source` as above, the <tile> element only when tile 0 is animated. Names
// must be valid UTF-8.
std::string write_tsx(const tileset& source, std::string& xml);

// Reads a tileset on one picture, as written above or by the map editor itself:
// elements and attributes this reader does not know are skipped; a tileset of single
// images (no <image>) is refused. Every size must be a whole number up to
// max_sheet_side, at most max_atlas_frames tiles and animation frames; tile 0's
// animation is read, other tiles' are checked and skipped. Missing "columns" and
// "tilecount" are worked out from the picture's size as the map editor does: as many
// tiles as fit each way after the margin at the top and left (a tile may run into the
// margin at the far side), with the spacing between them, every row whole; the
// picture's own size when `picture_width` and `picture_height` give it, else the size
// the <image> element says.
std::string read_tsx(std::span<const std::uint8_t> xml, tileset& result, std::uint32_t picture_width = 0,
                     std::uint32_t picture_height = 0);

// The areas of the tiles on the picture, in tile order, named "0", "1", ... .
std::vector<atlas_frame> tileset_frames(const tileset& tiles);
