// The converter's command line. Every option is one row of a table in
// pixconv_options.cpp (and a feature's source, pixconv_features.hpp): its name, whether
// it takes a value, what it sets, and where it does something (the modes, and in a
// one-to-one conversion the format families, the side and what the data is). The parser
// walks that table, and the rule "an option that does nothing for the files named is a
// usage error" is checked from the same rows, its message made from them. Every
// function returns "" on success, else the usage error as one sentence.
#pragma once
#include "pixconv/pixconv_rows.hpp"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// Every row, the build's features' among them, in the order --help lists them.
std::span<const option_row> option_table();
const option_row* option_named(std::string_view name);
bool is_given(const command_line& line, std::string_view name);

// Reads the options and file names of argv[1..argc-1] into `line`: "--scale=4" and
// "--scale 4" alike, options before, between or after the names, "--" ends the
// options. Stops at --help, --version or --tables-json, which set `wanted`.
std::string parse_command_line(int argc, char** argv, command_line& line);

// Refuses the first option given that does nothing in `work`'s mode (and in a
// one-to-one conversion, for its formats, which must be found), or `also_refused`.
std::string check_options(const command_line& line, const job& work, std::string_view also_refused = {});

// Option values: a whole number from `lowest` to `highest`, or two of them as "WxH".
// "" or the usage error, which names `option`.
std::string parse_count(std::string_view option, std::string_view value, std::uint32_t lowest,
                        std::uint32_t highest, std::uint32_t& number);
std::string parse_pair(std::string_view option, std::string_view value, std::uint32_t lowest,
                       std::uint32_t highest, std::uint32_t& first, std::uint32_t& second);

// The most plays --loop takes: a GIF stores the repeats after the first in 16 bits.
inline constexpr std::uint32_t max_loops = 65535;
