// What the converter knows: one row per file name ending, saying what the file holds
// and which functions read and write it. A new format is a module of its own plus one
// row in pixconv_formats.cpp, or in a feature's source when a build may lack it. Every reader and writer has one of the four function
// types below, whatever its module's own interface, and returns "" on success, else
// one sentence that says what is wrong.
#pragma once
#include "pixconv/pixconv_rows.hpp"

#include <span>
#include <string_view>

// How long an animation shows a frame: --delay when given, else the atlas's "duration"
// for the frame (`frame` may be nullptr), else 100 ms.
std::uint32_t frame_duration_ms(const settings& how, const atlas_frame* frame);

// A sprite as an animation of one frame, shown as --delay and --loop say.
animation still_animation(const bitmap& sprite, const settings& how);

// Every row, the build's features' among them, in the order --help lists them.
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
