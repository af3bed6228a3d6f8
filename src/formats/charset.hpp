// Code pages: which Unicode character each of a font's 256 glyph codes stands for.
// Formats that name characters by code point (BMFont ids, a TrueType cmap, a font read
// through FreeType) go through one of these tables; the editors' own files know only
// codes. "latin1" takes code b as U+00b0 itself; "cp437" is the code page of the PC's
// text mode, whose codes 1-31 and 127 are pictures (U+263A for 1, U+2302 for 127) and
// whose upper half holds accented letters, box drawing and Greek. In both, code 0 is
// U+0000. Nothing here reports errors: a lookup that finds nothing is an empty optional.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

struct charset {
    std::string_view name;                 // as given to --charset
    std::array<char32_t, 256> code_points; // code_points[b] is the character of glyph b
};

extern const charset latin1_charset; // the default
extern const charset cp437_charset;

// Every known code page, the default first.
std::span<const charset* const> all_charsets();

// The code page called `name` (exactly, lower case), or nullptr.
const charset* find_charset(std::string_view name);

// The glyph code whose character is `code_point` in `set`, if there is one.
std::optional<std::uint8_t> code_of(const charset& set, char32_t code_point);
