// What the converter knows: one row per file name ending, saying what the file holds
// and which functions read and write it. A new format is a module of its own plus one
// row in pixconv_formats.cpp. Every reader and writer has one of the four function
// types below, whatever its module's own interface, and returns "" on success, else
// one sentence that says what is wrong.
#pragma once
#include "formats/charset.hpp"
#include "formats/colours.hpp"
#include "art/fonts.hpp"
#include "pixconv/pixconv_files.hpp"
#include "pixconv/pixconv_sheets.hpp"
#include "art/structs.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The options that readers and writers take, as the command line gave them.
struct settings {
    std::uint32_t scale = 1; // a PNG is enlarged this many times
    bool nearest = false;    // a PNG colour not among the 16 becomes the nearest of them
    bool invert = false;     // a font sheet read has dark glyphs on a light ground
    bool psf1 = false;       // write PSF version 1 instead of 2
    std::string name;        // the C array's name, a BDF font's family, or the family of a font for engines and web pages
    const charset* characters = &latin1_charset; // which character each glyph code stands for
    bool charset_given = false; // --charset was given: a PSF output names each glyph's character
    std::optional<std::uint32_t> size;           // pixels: the strike or em of a font read through FreeType
    std::string output_path; // the main output's name, after which companion files are named
    sheet_options sheet;     // packing and cutting sprite sheets
    std::optional<std::uint32_t> delay_ms; // --delay: every frame's duration in milliseconds
    std::uint32_t loops = 0;               // --loop: plays in all, 0 forever
    std::string palette_path;              // --palette: where the 16 colours are written, or read from
};

// How long an animation shows a frame: --delay when given, else the atlas's "duration"
// for the frame (`frame` may be nullptr), else 100 ms.
std::uint32_t frame_duration_ms(const settings& how, const atlas_frame* frame);

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
};

// Every row, in the order --help lists them.
std::span<const format_row> format_table();

// The row whose ending `path` has (the longest such ending), in any case; nullptr when
// no row's has. A row asked for by an option is chosen only when `given` holds that
// option, and then before the row of the same ending that is not.
const format_row* format_of(std::string_view path, std::span<const std::string_view> given = {});

inline bool can_read(const format_row& row)
{
    return row.read_sprite || row.read_font;
}

inline bool can_write(const format_row& row)
{
    return row.write_sprite || row.write_font;
}
