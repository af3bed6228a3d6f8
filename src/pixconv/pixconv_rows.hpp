// The records of the converter's three tables and of the work they plan: a row per file
// format (pixconv_formats.hpp), per option (pixconv_options.hpp) and per mode
// (pixconv_modes.hpp). The rows of what a build may lack (giflib, FreeType, the WOFF2
// encoder, the watch) come from a source of their own (pixconv_features.hpp). Every
// function a row points to returns "" on success, else one sentence that says what is
// wrong; a mode's runner returns a complaint (pixconv_files.hpp). Nothing here reports.
#pragma once
#include "art/fonts.hpp"
#include "art/structs.hpp"
#include "formats/animation.hpp"
#include "formats/atlasjson.hpp"
#include "formats/charset.hpp"
#include "formats/colours.hpp"
#include "formats/spritesheet.hpp"
#include "pixconv/pixconv_files.hpp"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// ---- What the options set, as the command line gave them

struct settings {
    std::uint32_t scale = 1; // a PNG is enlarged this many times
    bool nearest = false;    // a PNG colour not among the 16 becomes the nearest of them
    bool invert = false;     // a font sheet read has dark glyphs on a light ground
    bool psf1 = false;       // write PSF version 1 instead of 2
    std::string name;        // the C array's name, a BDF font's family, or the family of a font for engines
                             // and web pages; a tileset's or an animation's name ("": the output's stem)
    const charset* characters = &latin1_charset; // which character each glyph code stands for
    bool charset_given = false; // --charset was given: a PSF output names each glyph's character
    std::optional<std::uint32_t> size;           // pixels: the strike or em of a font read through FreeType
    std::string output_path; // the main output's name, after which companion files are named
    std::optional<std::uint32_t> delay_ms; // --delay: every frame's duration in milliseconds
    std::uint32_t loops = 0;               // --loop: plays in all, 0 forever
    std::string palette_path;              // --palette: where the 16 colours are written, or read from
    // Packing and cutting sprite sheets.
    std::uint32_t columns = 0;        // --columns; 0: as square as it gets
    std::uint32_t padding = 0;        // --padding
    atlas_layout layout = atlas_layout::hash;
    std::optional<grid_options> grid; // --cell, with --offset and --padding filled in when planned
    std::uint32_t offset_x = 0;       // --offset
    std::uint32_t offset_y = 0;
    bool skip_empty = false;
    bool animation = false; // --animation: tile 0 of a tileset plays every tile
    int godot = 4;          // --godot: the engine version sprite frames are written for
};

// ---- The format table's rows

// A file a writer makes beside the main output (a descriptor's picture, say).
using companion_file = output_file;

// What a writer makes. The program writes the companions and the main output, all or
// none, and only when the whole conversion succeeded.
struct written {
    std::vector<std::uint8_t> bytes;
    std::vector<companion_file> companions;
};

// A reader may set `warning` to a sentence about something that does not stop the
// conversion. A sprite reader allocates the pixel block (the caller frees it).
using sprite_reader = std::string (*)(std::span<const std::uint8_t> data, const settings& how, bitmap& sprite,
                                      std::string& warning);
using font_reader = std::string (*)(std::span<const std::uint8_t> data, const settings& how, struct font& result,
                                    std::string& warning);
using sprite_writer = std::string (*)(const bitmap& sprite, const settings& how, written& out);
using font_writer = std::string (*)(const struct font& source, const settings& how, written& out);
// Writes the 16 colours, as --palette FILE alone asks.
using palette_writer = std::string (*)(written& out);
// Reads the 16 colours to draw sprite values in, as --palette FILE with files to convert asks.
using palette_reader = std::string (*)(std::span<const std::uint8_t> data, colour_set& colours);
// Writes frames made from sprites, enlarged `scale` times.
using animation_writer = std::string (*)(const animation& movie, std::uint32_t scale, std::vector<std::uint8_t>& out);
// A sentence about frames that viewers show otherwise than written, or "".
using animation_warner = std::string (*)(const animation& movie);

enum class holds { a_sprite, a_font, either };

// What --name means for an output: nothing, the C array's name (an identifier), the
// font's family name (see family_name_problem), or a family of any text, which the
// writer makes fit its format.
enum class naming { not_at_all, c_identifier, family, free_text };

struct format_row {
    std::string_view ending; // lower case; a name ending so, in any case, is this format
    std::string_view family; // "PNG": what options and messages call it ("a PNG")
    holds content;           // what a file of this format can hold
    sprite_reader read_sprite = nullptr; // nullptr: cannot be read as a sprite
    sprite_writer write_sprite = nullptr;
    font_reader read_font = nullptr;
    font_writer write_font = nullptr;
    std::string_view help = {};  // its line in --help after the indent; "" when it shares the line above
    bool in_hint = true;         // named in the message about an unknown ending
    // An output option that picks this row for its ending, which otherwise means the row
    // without one (--bmfont makes a .fnt output a BMFont descriptor); "" for none.
    std::string_view asked_by = {};
    naming named = naming::not_at_all; // what --name gives an output of this format
    // A longer file is read only this far, its first bytes being all the format
    // uses; 0: the whole file is read, up to the converter's input limit.
    std::size_t bytes_used = 0;
    palette_writer write_palette = nullptr; // the palette in this format, for --palette
    palette_reader read_palette = nullptr;
    animation_writer write_animation = nullptr; // an animation's output: frames from sprites
    animation_warner warn_animation = nullptr;
    // An optional feature's row: the ending of the row it is listed after. A feature's
    // row whose ending and family a listed row has instead adds its functions to that row.
    std::string_view follows = {};
};

// ---- The option table's rows

// The command line as given, before any rule of a mode is applied.
struct command_line;

// Runs `convert` once, then again whenever one of `inputs` changes, until interrupted;
// no complaint when interrupted, else why the inputs cannot be watched.
using repeater = complaint (*)(const std::vector<std::string>& inputs, const std::function<void()>& convert);

enum class action { convert, help, version, tables };

struct command_line {
    action wanted = action::convert;
    std::vector<std::string> names;      // the file names, in the order given
    std::vector<std::string_view> given; // the names of the options given
    settings how;
    repeater repeat = nullptr; // --watch, where the build has it
};

// The modes, as bits of option_row::modes and mode_row::bit.
inline constexpr unsigned in_convert = 1;        // one input into one output
inline constexpr unsigned in_pack = 2;           // sprites packed into a sheet
inline constexpr unsigned in_grid_cut = 4;       // a sheet cut by --cell
inline constexpr unsigned in_atlas_cut = 8;      // a sheet cut by its atlas or tileset
inline constexpr unsigned in_tileset = 16;       // a tileset (.tsx)
inline constexpr unsigned in_sprite_frames = 32; // sprite frames (.tres)
inline constexpr unsigned in_make = 64;          // an animation made of sprites
inline constexpr unsigned in_split = 128;        // an animation split into sprites
inline constexpr unsigned in_palette = 256;      // --palette FILE alone
inline constexpr unsigned in_cut = in_grid_cut | in_atlas_cut;
inline constexpr unsigned in_game = in_tileset | in_sprite_frames;
inline constexpr unsigned in_sheets = in_pack | in_cut | in_game;
inline constexpr unsigned in_animations = in_make | in_split;
inline constexpr unsigned in_every_mode = ~0u;

enum class side { input, output, either };

struct option_row {
    std::string_view name;
    bool takes_value = false;
    // Stores the option's effect in the command line; "" or the usage error.
    std::string (*set)(std::string_view value, command_line& line) = nullptr;
    // Where the option does something in a one-to-one conversion: a side of one of these
    // format families holding this content; no family: wherever its modes say.
    std::array<std::string_view, 8> families = {};
    side where = side::either;
    holds content = holds::either;
    std::string_view misuse = {}; // after its name, the usage error when no family fits
    std::string_view help = {};   // its line in --help after the indent; "" when it shares one
    unsigned modes = 0;           // the modes it does something in
    std::string_view value = {};  // what its value is, as its help line names it ("N")
    std::string_view about = {};  // for programs, when its help line is another's: what it does
    std::string_view follows = {}; // an optional feature's row: the option it is listed after
    bool converts_nothing = false; // --help and the like, which print and end
};

// ---- The mode table's rows

struct mode_row;

// The planned work of one run.
struct job {
    const mode_row* mode = nullptr;
    std::vector<std::string> inputs; // the files named before the output
    std::string output;              // the output file, pattern or folder
    settings how;
    // One input into one output: the two formats, and whether the data is a sprite.
    const format_row* input_format = nullptr;
    const format_row* output_format = nullptr;
    bool sprite = false;
};

// A file name a mode takes, for the help and for programs: "SPRITE.spr..." is
// {".spr", "SPRITE", true}.
struct mode_file {
    std::string_view ending;
    std::string_view stands_for;
    bool many = false;
};

struct mode_row {
    std::string_view name; // "pack": what programs call it
    unsigned bit;          // which of the modes it is
    // Whether the command line asks for this mode; the first row that takes it is the mode.
    bool (*takes)(const command_line& line) = nullptr;
    // Checks the command line for this mode and fills in the job; "" or the usage error.
    std::string (*plan)(const command_line& line, job& work) = nullptr;
    // Runs the job: no complaint on success, else the file to blame and what is wrong. A
    // sentence about something that did not stop it goes into `warning`, with its file.
    complaint (*run)(const job& work, complaint& warning) = nullptr;
    // The usage error's end for an option that does not apply here; "": the option's own
    // modes say where it applies.
    std::string_view refusal = {};
    // For --help and programs: its section, its line after the indent ("" when it has
    // none), the options it needs, what it reads and what it writes ("OUT" + an
    // animation's ending stands for every format that writes animations).
    std::string_view section = {};
    std::string_view help = {};
    std::array<std::string_view, 2> needs = {};
    std::array<mode_file, 2> inputs = {};
    std::array<std::string_view, 2> outputs = {};
    std::string_view follows = {}; // an optional feature's row: the mode it is listed after
};
