// The converter's command line. Every option is one row of a table in
// pixconv_options.cpp: its name, whether it takes a value, what it sets, and where it
// does something (a format family, a side, what the data is). The parser walks that
// table, and the rule "an option that does nothing for the files named is a usage
// error" is checked from the same rows. Every function returns "" on success, else the
// usage error as one sentence.
#pragma once
#include "pixconv/pixconv_animations.hpp"
#include "pixconv/pixconv_formats.hpp"

#include <string>
#include <string_view>
#include <vector>

enum class action { convert, help, version };

// The command line as given, before any rule of a mode is applied.
struct command_line {
    action wanted = action::convert;
    std::vector<std::string> names;      // the file names, in the order given
    std::vector<std::string_view> given; // the names of the options given
    settings how;
    bool watch = false; // --watch
};

// Reads the options and file names of argv[1..argc-1] into `line`: "--scale=4" and
// "--scale 4" alike, options before, between or after the names, "--" ends the
// options. Stops at --help or --version, which set `wanted`.
std::string parse_command_line(int argc, char** argv, command_line& line);

// The default mode: one input into one output.
struct conversion {
    std::string input_path;
    std::string output_path;
    const format_row* input = nullptr;
    const format_row* output = nullptr;
    bool sprite = false; // true: the data is a sprite; false: a font
    settings how;
};

// Checks `line` as one input and one output whose endings name formats that can be
// read and written, works out whether the data is a sprite or a font, refuses options
// that do nothing for these files, and fills `plan`. The C array's name defaults to
// the output file's stem.
std::string plan_conversion(const command_line& line, conversion& plan);

// Works out whether `line` asks for a sheet mode (sheet_mode_of); if so, refuses the
// options that do nothing in it and fills `job`. "" or the usage error; `job.mode`
// stays none for the one-to-one conversion.
std::string plan_sheets(const command_line& line, sheet_job& job);

// The most plays --loop takes: a GIF stores the repeats after the first in 16 bits.
inline constexpr std::uint32_t max_loops = 65535;

// Works out whether `line` asks for an animation mode (animation_mode_of); if so,
// refuses the options that do nothing in it and fills `job`. "" or the usage error.
std::string plan_animation(const command_line& line, animation_job& job);

// For --palette FILE: alone, checks that no other option was given and that FILE's
// ending names a palette that can be written; with files to convert, one that can be
// read. Finds FILE's format row.
std::string plan_palette(const command_line& line, const format_row*& row);

// What --help prints, formats and options from their tables.
std::string usage_text();
