// The converter's modes with many files: sprites packed into one sheet with its atlas,
// and a sheet cut into sprites.
//   pack: SPRITE.spr ... SHEET.png    writes SHEET.png and SHEET.json beside it
//   cut:  SHEET.png PATTERN.spr       with --cell WxH: the grid's cells, row by row,
//                                     numbered from 0 in the pattern's %d
//   cut:  SHEET.png FOLDER/           the frames of SHEET.json, named after them, or
//                                     without it the tiles of SHEET.tsx, named 0.spr, ...
//   tileset:       SPRITE.spr ... TILES.tsx, or SHEET.png TILES.tsx   (pixconv_game.hpp)
//   sprite frames: SPRITE.spr ... WALK.tres, or SHEET.png WALK.tres
// Every output goes through the converter's one write path (pixconv_files.hpp): all
// files together or none, never over an input. A cut holds only the frames crossing the
// row of the sheet being read, each written once its last row is read. Usage
// checks return "" or the usage error; the modes hand their complaint to pixconv_main.
#pragma once
#include "formats/atlasjson.hpp"
#include "formats/spritesheet.hpp"
#include "pixconv/pixconv_files.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class sheet_mode { none, pack, cut, tileset, sprite_frames };

// What the sheet modes' options set, as the command line gave them.
struct sheet_options {
    std::uint32_t columns = 0; // --columns; 0: as square as it gets
    std::uint32_t padding = 0; // --padding
    atlas_layout layout = atlas_layout::hash;
    std::optional<grid_options> grid; // --cell, its offset and padding filled in when planned
    std::uint32_t offset_x = 0;       // --offset
    std::uint32_t offset_y = 0;
    bool skip_empty = false;
    bool animation = false; // --animation
    int godot = 4;          // --godot
};

// What a tileset or sprite frames take besides the packing.
struct game_options {
    std::string name;                      // --name; "": the output's name without its ending
    bool animation = false;                // --animation: tile 0 plays every frame
    int godot = 4;                         // --godot: the engine version written for
    std::optional<std::uint32_t> delay_ms; // --delay
};

struct sheet_job {
    sheet_mode mode = sheet_mode::none;
    std::vector<std::string> inputs;  // pack: the sprite files; cut: the sheet
    std::string output;               // pack: the sheet; cut: a pattern or a folder
    pack_options pack;
    atlas_layout layout = atlas_layout::hash;
    std::optional<grid_options> grid; // cut by this grid, else by the atlas beside the sheet
    std::uint32_t scale = 1;
    bool nearest = false;
    bool skip_empty = false;
    game_options game;
};

// Option values: a whole number from `lowest` to `highest`, or two of them as "WxH".
// "" or the usage error, which names `option`.
std::string parse_count(std::string_view option, std::string_view value, std::uint32_t lowest,
                        std::uint32_t highest, std::uint32_t& number);
std::string parse_pair(std::string_view option, std::string_view value, std::uint32_t lowest,
                       std::uint32_t highest, std::uint32_t& first, std::uint32_t& second);

// Which mode the file names ask for: tileset or sprite frames for a .tsx or .tres last
// after sprite files or one PNG; pack for sprite files and a PNG last (two or
// more names, or one sprite when `atlas_given`), cut for a PNG and then a pattern, a
// name ending in '/' or an existing folder (or any output when `cell_given`); none for
// anything else, which is the one-to-one conversion.
sheet_mode sheet_mode_of(const std::vector<std::string>& names, bool atlas_given, bool cell_given);

// Checks the names of a job whose mode is set: "" or the usage error.
std::string check_sheet_names(sheet_job& job);

// Runs the job; no complaint on success, else the file to blame and what is wrong.
complaint run_sheet_job(const sheet_job& job);

// Shared with the other modes that pack sprites.
// Sprites to pack or animate, each with its name and the duration its source gives.
struct frame_set {
    std::vector<bitmap> sprites; // freed with the set
    std::vector<std::string> names;
    std::vector<std::optional<std::uint32_t>> durations_ms; // the atlas's "duration", where it has one
    std::vector<std::string> read; // every file read, which no output may replace
    frame_set() = default;
    frame_set(const frame_set&) = delete;
    frame_set& operator=(const frame_set&) = delete;
    ~frame_set();
};
// Reads sprite files, named after their base names without ".spr"; or, when `inputs` is
// one PNG, the frames of the atlas beside it, cut from the sheet read at `scale`.
complaint read_frames(const std::vector<std::string>& inputs, std::uint32_t scale, bool nearest, frame_set& set);
// Reads and parses the atlas at `path`; "" or what is wrong with it.
std::string read_atlas_file(const std::string& path, atlas& result);
std::string base_name(const std::string& path);
// `path` with its last `cut` characters replaced by `ending`.
std::string with_ending(const std::string& path, std::size_t cut, const std::string& ending);
