#include "formats/codepage.hpp"

#include "formats/charset.hpp"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>

const char* const code_page_converter = "Windows";

namespace {

struct page_number {
    std::string_view name; // plain
    unsigned number;
};

// The pages known by a name rather than by their number ("cp437", "windows-1251" and
// "437" name theirs); UTF-16 and UTF-32 are pages MultiByteToWideChar does not read.
constexpr std::array<page_number, 20> named_pages{{
    {"ISO88591", 28591}, {"ISO88592", 28592}, {"ISO88593", 28593}, {"ISO88594", 28594},
    {"ISO88595", 28595}, {"ISO88596", 28596}, {"ISO88597", 28597}, {"ISO88598", 28598},
    {"ISO88599", 28599}, {"ISO885913", 28603}, {"ISO885915", 28605}, {"KOI8R", 20866},
    {"KOI8U", 21866},    {"MACINTOSH", 10000}, {"UTF8", 65001},    {"UTF16", 1200},
    {"UTF32", 12000},    {"SHIFTJIS", 932},    {"GBK", 936},       {"BIG5", 950},
}};

std::optional<unsigned> number_of(const std::string& name)
{
    for (const page_number& page : named_pages)
        if (page.name == name)
            return page.number;
    for (const std::string_view prefix : {"CP", "IBM", "WINDOWS", ""}) {
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string digits = name.substr(prefix.size());
        if (digits.size() <= 5 && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return static_cast<unsigned>(std::stoul(digits));
    }
    return std::nullopt;
}

// Windows fills the holes of most pages at 0x80-0x9F with the C1 control of the same
// number (the 125x family, 874, some DOS pages), and a few with private-use characters;
// iconv leaves them unassigned, and so do we, so that both systems give the same tables.
// Only the ISO 8859 pages really have the C1 controls there.
bool is_hole(unsigned number, unsigned code, wchar_t character)
{
    const bool iso_8859 = number >= 28591 && number <= 28605;
    return (character >= 0xD800 && character < 0xF900) ||
           (!iso_8859 && code >= 0x80 && code < 0xA0 && character == code);
}

} // namespace

decoded decode_page(std::string_view name, std::array<char32_t, 256>& table)
{
    const std::optional<unsigned> number = number_of(plain_name(name));
    if (!number)
        return decoded::unknown;
    if (*number == 1200 || *number == 1201 || *number == 12000 || *number == 12001)
        return decoded::multi_byte;
    CPINFO info{};
    if (!IsValidCodePage(*number) || !GetCPInfo(*number, &info))
        return decoded::unknown;
    if (info.MaxCharSize != 1)
        return decoded::multi_byte;
    for (unsigned code = 0; code < 256; ++code) {
        const char in = static_cast<char>(code);
        std::array<wchar_t, 4> out{};
        const int length = MultiByteToWideChar(*number, MB_ERR_INVALID_CHARS, &in, 1, out.data(), 4);
        table[code] = length != 1 || is_hole(*number, code, out[0]) ? no_character : static_cast<char32_t>(out[0]);
    }
    return decoded::single_byte;
}
