#include "formats/charset.hpp"

#include "formats/codepage.hpp"

#include <algorithm>
#include <cctype>
#include <memory>
#include <vector>

namespace {

constexpr std::array<char32_t, 256> latin1_table()
{
    std::array<char32_t, 256> table{};
    for (std::size_t code = 0; code < table.size(); ++code)
        table[code] = static_cast<char32_t>(code);
    return table;
}

// What the PC's text mode drew at codes 0-31, then at 127.
constexpr std::array<char32_t, 33> pc_pictures = {
    0x0000, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, 0x25D8, 0x25CB, 0x25D9,
    0x2642, 0x2640, 0x266A, 0x266B, 0x263C, 0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7,
    0x25AC, 0x21A8, 0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,
    0x2302, // code 127
};

// The pages X fonts name, with their names there; `dos` marks the PC's own, whose fonts
// draw pictures at the control codes.
struct known_page {
    std::string_view iconv_name;
    std::string_view registry;
    std::string_view encoding;
    bool dos = false;
};

constexpr std::array<known_page, 44> known_pages{{
    {"ISO-8859-1", "ISO8859", "1"},   {"ISO-8859-2", "ISO8859", "2"},   {"ISO-8859-3", "ISO8859", "3"},
    {"ISO-8859-4", "ISO8859", "4"},   {"ISO-8859-5", "ISO8859", "5"},   {"ISO-8859-6", "ISO8859", "6"},
    {"ISO-8859-7", "ISO8859", "7"},   {"ISO-8859-8", "ISO8859", "8"},   {"ISO-8859-9", "ISO8859", "9"},
    {"ISO-8859-10", "ISO8859", "10"}, {"ISO-8859-11", "ISO8859", "11"}, {"ISO-8859-13", "ISO8859", "13"},
    {"ISO-8859-14", "ISO8859", "14"}, {"ISO-8859-15", "ISO8859", "15"}, {"ISO-8859-16", "ISO8859", "16"},
    {"KOI8-R", "KOI8", "R"},          {"KOI8-U", "KOI8", "U"},
    {"CP1250", "MICROSOFT", "CP1250"}, {"CP1251", "MICROSOFT", "CP1251"}, {"CP1252", "MICROSOFT", "CP1252"},
    {"CP1253", "MICROSOFT", "CP1253"}, {"CP1254", "MICROSOFT", "CP1254"}, {"CP1255", "MICROSOFT", "CP1255"},
    {"CP1256", "MICROSOFT", "CP1256"}, {"CP1257", "MICROSOFT", "CP1257"}, {"CP1258", "MICROSOFT", "CP1258"},
    {"CP874", "MICROSOFT", "CP874"},
    {"CP437", "IBM", "CP437", true}, {"CP737", "IBM", "CP737", true}, {"CP775", "IBM", "CP775", true},
    {"CP850", "IBM", "CP850", true}, {"CP852", "IBM", "CP852", true}, {"CP855", "IBM", "CP855", true},
    {"CP857", "IBM", "CP857", true}, {"CP860", "IBM", "CP860", true}, {"CP861", "IBM", "CP861", true},
    {"CP862", "IBM", "CP862", true}, {"CP863", "IBM", "CP863", true}, {"CP864", "IBM", "CP864", true},
    {"CP865", "IBM", "CP865", true}, {"CP866", "IBM", "CP866", true}, {"CP869", "IBM", "CP869", true},
    {"CP1125", "IBM", "CP1125", true}, {"CP858", "IBM", "CP858", true},
}};

// The known page that `name` is, by its name or else by its characters (iconv has many
// names for each page: IBM437, 437, CSPC8CODEPAGE437).
const known_page* identify(std::string_view name, const std::array<char32_t, 256>& table)
{
    const std::string plain = plain_name(name);
    for (const known_page& page : known_pages)
        if (plain_name(page.iconv_name) == plain)
            return &page;
    for (const known_page& page : known_pages) {
        std::array<char32_t, 256> other{};
        if (decode_page(page.iconv_name, other) == decoded::single_byte && other == table)
            return &page;
    }
    return nullptr;
}

// Pages built so far, by their plain names; built once, never freed, so that pointers
// to them stay good. The converter asks from one thread only.
std::vector<std::unique_ptr<charset>>& built_pages()
{
    static std::vector<std::unique_ptr<charset>> pages;
    return pages;
}

} // namespace

const charset latin1_charset{"latin1", latin1_table(), "ISO8859", "1"};

std::string find_charset(std::string_view name, const charset*& result)
{
    const std::string plain = plain_name(name);
    if (plain == "LATIN1") {
        result = &latin1_charset;
        return "";
    }
    for (const std::unique_ptr<charset>& page : built_pages())
        if (plain_name(page->name) == plain) {
            result = page.get();
            return "";
        }
    auto page = std::make_unique<charset>();
    page->name = name;
    const decoded verdict = plain.empty() ? decoded::unknown : decode_page(name, page->code_points);
    if (verdict == decoded::unknown)
        return std::string(code_page_converter) + " knows no code page called '" + std::string(name) + "'";
    if (verdict == decoded::multi_byte)
        return "'" + std::string(name) + "' is not a single-byte code page";
    const known_page* known = identify(name, page->code_points);
    page->registry = known ? known->registry : plain;
    page->encoding = known ? known->encoding : "0";
    if (known && known->dos) {
        std::copy(pc_pictures.begin(), pc_pictures.begin() + 32, page->code_points.begin());
        page->code_points[127] = pc_pictures[32];
    }
    result = built_pages().emplace_back(std::move(page)).get();
    return "";
}

const charset* charset_of_registry(std::string_view registry, std::string_view encoding)
{
    const std::string plain_registry = plain_name(registry), plain_encoding = plain_name(encoding);
    const charset* found = nullptr;
    for (const known_page& page : known_pages)
        if (plain_name(page.registry) == plain_registry && plain_name(page.encoding) == plain_encoding)
            return find_charset(page.iconv_name, found).empty() ? found : nullptr;
    // Not one X fonts are known to name: iconv may still know "REGISTRY-ENCODING".
    const std::string joined = std::string(registry) + "-" + std::string(encoding);
    return find_charset(joined, found).empty() ? found : nullptr;
}

std::optional<std::uint8_t> code_of(const charset& set, char32_t code_point)
{
    if (code_point == no_character)
        return std::nullopt;
    const auto found = std::find(set.code_points.begin(), set.code_points.end(), code_point);
    if (found == set.code_points.end())
        return std::nullopt;
    return static_cast<std::uint8_t>(found - set.code_points.begin());
}
