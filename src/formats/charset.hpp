// Code pages: which Unicode character each of a font's 256 glyph codes stands for.
// Formats that name characters by code point (BMFont ids, a TrueType cmap, a PSF
// Unicode table, a font read through FreeType) go through one of these tables; the
// editors' own files know only codes.
//
// Every single-byte code page the C library's iconv knows can be had, by the name iconv
// knows it by, in any case: "latin1", "cp437", "CP1251", "koi8-r", "ISO-8859-2". iconv
// reads codes 1-31 and 127 as control characters, but the PC's text mode drew pictures
// there, and so do the fonts made for it: the DOS code pages (cp437, cp850, cp866, ...)
// get those pictures (U+263A for 1, U+2302 for 127) in place of the controls. Code 0 is
// U+0000 in every page. A code that the page leaves unassigned holds no_character.
//
// On Windows the system converts instead of iconv (codepage.hpp): it knows the pages by
// "cpNNN", "ibmNNN", "windows-NNNN", the bare number, "iso-8859-N", "koi8-r", "koi8-u"
// and "macintosh", and gives the same tables, the holes of its own pages left unassigned.
// "latin1", the default, is built in and needs no iconv. The browser's C library knows
// fewer pages than glibc (no cp737, cp775, cp852, cp855, cp857, cp860-865, cp869 or
// cp874); there those names are refused as unknown.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr char32_t no_character = 0xFFFFFFFF;

struct charset {
    std::string name;                      // as --charset gave it
    std::array<char32_t, 256> code_points; // code_points[b] is the character of glyph b
    // How X fonts and BDF files name the page (CHARSET_REGISTRY, CHARSET_ENCODING):
    // "ISO8859" "1", "KOI8" "R", "IBM" "CP437", "MICROSOFT" "CP1252"; for a page with no
    // such name, the iconv name upper-cased and "0".
    std::string registry;
    std::string encoding;
};

extern const charset latin1_charset; // the default

// Points `result` at the table of the code page iconv calls `name`; the table lives as
// long as the process. Returns "" on success, else a sentence saying that iconv knows no
// such code page or that it is not a single-byte one; `result` is then left as it was.
std::string find_charset(std::string_view name, const charset*& result);

// The code page an X font or BDF file names by CHARSET_REGISTRY and CHARSET_ENCODING
// ("ISO8859" "2", "koi8" "r", "microsoft" "cp1251"), or nullptr when iconv has none.
const charset* charset_of_registry(std::string_view registry, std::string_view encoding);

// The glyph code whose character is `code_point` in `set`, if there is one.
std::optional<std::uint8_t> code_of(const charset& set, char32_t code_point);

// True for U+0000-001F and U+007F-009F: codes for a terminal, which no font draws.
constexpr bool is_control(char32_t code_point)
{
    return code_point < 0x20 || (code_point >= 0x7F && code_point < 0xA0);
}
