#include "formats/bdffile.hpp"

#include "art/words.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <optional>
#include <string_view>
#include <utility>

namespace {

// Longer than any line a BDF file needs; X's own reader takes at most 1024 characters.
constexpr std::size_t max_line_length = 4096;
constexpr std::int64_t default_ascent = 7;
constexpr std::int64_t cell_size = 8;

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

// The first word of `rest`, which loses it and the blanks before it.
std::string_view next_word(std::string_view& rest)
{
    std::size_t start = 0;
    while (start < rest.size() && is_blank(rest[start]))
        ++start;
    std::size_t end = start;
    while (end < rest.size() && !is_blank(rest[end]))
        ++end;
    const std::string_view word = rest.substr(start, end - start);
    rest.remove_prefix(end);
    return word;
}

bool parse_number(std::string_view word, std::int32_t& value)
{
    const char* end = word.data() + word.size();
    const auto [stop, error] = std::from_chars(word.data(), end, value);
    return !word.empty() && error == std::errc() && stop == end;
}

// Reads `count` numbers from `rest` into `values`; false when one is missing or malformed.
bool parse_numbers(std::string_view rest, std::int32_t* values, int count)
{
    for (int i = 0; i < count; ++i)
        if (!parse_number(next_word(rest), values[i]))
            return false;
    return true;
}

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string hex_byte(std::int64_t value)
{
    constexpr std::string_view digits = "0123456789ABCDEF";
    return {digits[static_cast<std::size_t>(value >> 4 & 15)], digits[static_cast<std::size_t>(value & 15)]};
}

std::string lower_case(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

struct box {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t x_offset = 0;
    std::int32_t y_offset = 0;
};

std::string describe(const box& b)
{
    return std::to_string(b.width) + " x " + std::to_string(b.height) + " at offset (" +
           std::to_string(b.x_offset) + ", " + std::to_string(b.y_offset) + ")";
}

// What is wrong, as a handler finds it. Most problems are the line's, and the reader
// puts its number in front; a glyph's or the whole font's already say where they are.
struct problem {
    std::string what; // "" when nothing is wrong
    bool of_line = true;
};

problem of_glyph_or_font(std::string what)
{
    return {std::move(what), false};
}

// The glyph between STARTCHAR and ENDCHAR that is being read.
struct glyph_reading {
    std::size_t line = 0; // of its STARTCHAR
    std::optional<std::int32_t> encoding;
    std::optional<box> bounds;
    bool kept = false;          // it goes into the font, at the codes below
    std::array<bool, 256> codes{}; // where it goes: its own code, or where the code page has its character
    std::int64_t top_row = 0;   // cell row of its top bitmap row
    std::int32_t rows_read = 0; // bitmap rows so far
    fontchar cell{};

    bool in_font() const { return encoding && *encoding >= 0 && *encoding <= 255; }
    std::string name() const
    {
        if (in_font())
            return "glyph 0x" + hex_byte(*encoding) + " (line " + std::to_string(line) + ")";
        return "the glyph on line " + std::to_string(line);
    }
};

enum class section { before_start, header, properties, glyph, bitmap, done };

// Everything read so far; each section's handler takes one line's keyword and the rest.
struct bdf_reader {
    section where = section::before_start;
    std::size_t line_number = 0;
    std::int64_t ascent = default_ascent;
    std::optional<box> font_box;
    std::optional<std::int32_t> declared_count;
    std::int64_t glyphs_seen = 0;
    glyph_reading glyph;
    struct font parsed {};
    // Mapping through Unicode: the code page wanted, and the font's own as its
    // CHARSET_REGISTRY and CHARSET_ENCODING name it.
    const charset* target = nullptr;
    std::string registry;
    std::string encoding;
    bool resolved = false;     // the two below are known
    bool unicode = false;      // the font's codes are Unicode's
    const charset* native = nullptr;
    std::array<bool, 256> found{}; // codes that received a glyph
};

// A property's value without its quotes.
std::string unquoted(std::string_view value)
{
    while (!value.empty() && is_blank(value.front()))
        value.remove_prefix(1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

// Where glyph `encoding` goes: its own code, or, when a code page is wanted and the font
// names its own (ISO10646 being Unicode), every code where the wanted page has its character.
void place_codes(bdf_reader& reader, glyph_reading& glyph)
{
    const std::int32_t encoding = *glyph.encoding;
    if (reader.target && !reader.resolved) {
        reader.resolved = true;
        reader.unicode = lower_case(reader.registry) == "iso10646";
        if (!reader.unicode && !reader.registry.empty())
            reader.native = charset_of_registry(reader.registry, reader.encoding);
    }
    if (!reader.unicode && !reader.native) {
        if (glyph.in_font())
            glyph.codes[static_cast<std::size_t>(encoding)] = true;
        return;
    }
    char32_t point = no_character;
    if (reader.unicode && encoding >= 0)
        point = static_cast<char32_t>(encoding);
    else if (reader.native && glyph.in_font())
        point = reader.native->code_points[static_cast<std::size_t>(encoding)];
    if (point == no_character)
        return;
    for (std::size_t code = 0; code < 256; ++code)
        if (reader.target->code_points[code] == point)
            glyph.codes[code] = true;
}

// A line without its line end and trailing blanks, and its first word.
struct words {
    std::string_view whole;
    std::string_view keyword;
    std::string_view rest; // after the keyword
};

std::optional<box> parse_box(std::string_view rest)
{
    std::int32_t values[4];
    if (!parse_numbers(rest, values, 4))
        return std::nullopt;
    return box{values[0], values[1], values[2], values[3]};
}

problem read_start(bdf_reader& reader, const words& line)
{
    std::string_view rest = line.rest;
    const std::string_view keyword = line.keyword;
    if (keyword != "STARTFONT")
        return {"a BDF font starts with STARTFONT"};
    if (!next_word(rest).starts_with("2."))
        return {"only BDF versions 2.1 and 2.2 can be read"};
    reader.where = section::header;
    return {};
}

problem start_glyph(bdf_reader& reader)
{
    if (!reader.declared_count)
        return {"STARTCHAR comes before CHARS"};
    if (++reader.glyphs_seen > *reader.declared_count)
        return {"there are more glyphs than CHARS says (" + std::to_string(*reader.declared_count) + ")"};
    reader.glyph = {};
    reader.glyph.line = reader.line_number;
    reader.where = section::glyph;
    return {};
}

problem end_font(bdf_reader& reader)
{
    if (!reader.declared_count)
        return of_glyph_or_font("the font has no CHARS line");
    if (reader.glyphs_seen != *reader.declared_count)
        return of_glyph_or_font("the font has " + counted(static_cast<std::uint64_t>(reader.glyphs_seen), "glyph") + ", but CHARS says " +
                                std::to_string(*reader.declared_count));
    reader.where = section::done;
    return {};
}

problem read_header(bdf_reader& reader, const words& line)
{
    std::string_view rest = line.rest;
    const std::string_view keyword = line.keyword;
    if (keyword == "STARTPROPERTIES") {
        reader.where = section::properties;
    } else if (keyword == "FONTBOUNDINGBOX") {
        reader.font_box = parse_box(rest);
        if (!reader.font_box)
            return {"FONTBOUNDINGBOX needs four numbers"};
    } else if (keyword == "CHARS") {
        std::int32_t count = 0;
        if (!parse_number(next_word(rest), count) || count < 0)
            return {"CHARS needs a number of glyphs"};
        reader.declared_count = count;
    } else if (keyword == "STARTCHAR") {
        return start_glyph(reader);
    } else if (keyword == "ENDFONT") {
        return end_font(reader);
    }
    return {};
}

problem read_properties(bdf_reader& reader, const words& line)
{
    std::string_view rest = line.rest;
    const std::string_view keyword = line.keyword;
    if (keyword == "ENDPROPERTIES") {
        reader.where = section::header;
    } else if (keyword == "CHARSET_REGISTRY") {
        reader.registry = unquoted(rest);
    } else if (keyword == "CHARSET_ENCODING") {
        reader.encoding = unquoted(rest);
    } else if (keyword == "FONT_ASCENT") {
        std::int32_t value = 0;
        if (!parse_number(next_word(rest), value))
            return {"FONT_ASCENT needs a number"};
        reader.ascent = value;
    }
    return {};
}

// BITMAP: the glyph's box is known now, so where its rows go in the cell is too.
problem start_bitmap(bdf_reader& reader)
{
    glyph_reading& glyph = reader.glyph;
    if (!glyph.encoding)
        return of_glyph_or_font("the glyph on line " + std::to_string(glyph.line) + " has no ENCODING");
    if (!glyph.bounds) {
        if (!reader.font_box)
            return of_glyph_or_font(glyph.name() + " has no BBX, and the font no FONTBOUNDINGBOX");
        glyph.bounds = reader.font_box;
    }
    const box& b = *glyph.bounds;
    if (b.width < 0 || b.height < 0)
        return of_glyph_or_font(glyph.name() + " has a negative size in its BBX");
    place_codes(reader, glyph);
    glyph.kept = std::find(glyph.codes.begin(), glyph.codes.end(), true) != glyph.codes.end();
    glyph.top_row = reader.ascent - (std::int64_t{b.y_offset} + b.height);
    // A glyph with no pixels has nothing to place, wherever its box is.
    const bool fits = b.width == 0 || b.height == 0 ||
                      (b.x_offset >= 0 && std::int64_t{b.x_offset} + b.width <= cell_size && glyph.top_row >= 0 &&
                       reader.ascent - b.y_offset <= cell_size);
    if (glyph.kept && !fits)
        return of_glyph_or_font(glyph.name() + " is " + describe(b) + " and does not fit the 8 x 8 cell");
    reader.where = section::bitmap;
    return {};
}

problem read_glyph(bdf_reader& reader, const words& line)
{
    std::string_view rest = line.rest;
    const std::string_view keyword = line.keyword;
    glyph_reading& glyph = reader.glyph;
    if (keyword == "ENCODING") {
        std::int32_t encoding = -1;
        if (!parse_number(next_word(rest), encoding))
            return {"ENCODING needs a number"};
        glyph.encoding = encoding;
    } else if (keyword == "BBX") {
        glyph.bounds = parse_box(rest);
        if (!glyph.bounds)
            return {"BBX needs four numbers"};
    } else if (keyword == "BITMAP") {
        return start_bitmap(reader);
    } else if (keyword == "STARTCHAR" || keyword == "ENDFONT" || keyword == "ENDCHAR") {
        return {glyph.name() + " has no BITMAP"};
    }
    return {};
}

problem end_glyph(bdf_reader& reader)
{
    glyph_reading& glyph = reader.glyph;
    if (glyph.rows_read != glyph.bounds->height)
        return {glyph.name() + " has " + counted(static_cast<std::uint64_t>(glyph.rows_read), "bitmap row") + "; its BBX says " +
                std::to_string(glyph.bounds->height)};
    for (std::size_t code = 0; code < 256; ++code)
        if (glyph.codes[code]) {
            reader.parsed.chr[code] = glyph.cell;
            reader.found[code] = true;
        }
    reader.where = section::header;
    return {};
}

// A line of hexadecimal digits, or ENDCHAR.
problem read_bitmap_row(bdf_reader& reader, const words& words)
{
    glyph_reading& glyph = reader.glyph;
    const box& b = *glyph.bounds;
    const std::string_view line = words.whole;
    if (words.keyword == "ENDCHAR")
        return end_glyph(reader);
    if (glyph.rows_read == b.height)
        return {glyph.name() + " has more bitmap rows than its BBX says (" + std::to_string(b.height) + ")"};
    const std::size_t digits_needed = (static_cast<std::size_t>(b.width) + 7) / 8 * 2;
    if (line.size() < digits_needed)
        return {"a bitmap row of " + glyph.name() + " needs " + std::to_string(digits_needed) + " hexadecimal digits"};
    for (const char c : line)
        if (hex_value(c) < 0)
            return {"a bitmap row of " + glyph.name() + " holds a character that is not a hexadecimal digit"};
    if (glyph.kept && b.width > 0) {
        // The row's first byte holds the leftmost pixel in its top bit; pixels past
        // the box's width are padding.
        const auto bits = static_cast<std::uint8_t>(hex_value(line[0]) << 4 | hex_value(line[1]));
        const auto pixels = static_cast<std::uint8_t>(mirror_row(bits) & ((1u << b.width) - 1));
        glyph.cell.bitmap[static_cast<std::size_t>(glyph.top_row + glyph.rows_read)] =
            static_cast<std::uint8_t>(pixels << b.x_offset);
    }
    ++glyph.rows_read;
    return {};
}

using section_handler = problem (*)(bdf_reader& reader, const words& line);

// The handler of each section but the last, in the order of `section`.
constexpr std::array<section_handler, 5> handlers = {read_start, read_header, read_properties, read_glyph,
                                                     read_bitmap_row};
static_assert(handlers.size() == static_cast<std::size_t>(section::done));

problem read_line(bdf_reader& reader, std::string_view line)
{
    if (line.size() > max_line_length)
        return {"the line is longer than " + std::to_string(max_line_length) + " characters"};
    while (!line.empty() && (line.back() == '\r' || is_blank(line.back())))
        line.remove_suffix(1);
    words split{line, {}, line};
    split.keyword = next_word(split.rest);
    if (split.keyword == "COMMENT" || (split.keyword.empty() && reader.where != section::bitmap))
        return {};
    return handlers[static_cast<std::size_t>(reader.where)](reader, split);
}

// Reads the BDF text line by line into `reader.parsed`.
std::string parse(std::string_view text, bdf_reader& reader)
{
    while (!text.empty() && reader.where != section::done) {
        ++reader.line_number;
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (problem found = read_line(reader, line); !found.what.empty())
            return found.of_line ? "line " + std::to_string(reader.line_number) + ": " + found.what : found.what;
    }
    if (reader.where == section::before_start)
        return "the file is empty";
    if (reader.where != section::done)
        return "the file ends before ENDFONT";
    return "";
}

// `family` made fit for the font name and its property: characters an X font name
// gives a meaning ('-', '?', '*', ',', '"'), control characters and bytes outside
// ASCII become spaces, runs of spaces one, none at either end.
std::string xlfd_family(std::string_view family)
{
    std::string name;
    for (const char c : family) {
        const bool kept = c > ' ' && c < 0x7F && std::string_view("-?*,\"").find(c) == std::string_view::npos;
        if (kept)
            name += c;
        else if (!name.empty() && name.back() != ' ')
            name += ' ';
    }
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    return name.empty() ? "untitled" : name;
}

} // namespace

std::string read_bdf(std::span<const std::uint8_t> bdf, struct font& result)
{
    bdf_reader reader;
    const std::string error = parse({reinterpret_cast<const char*>(bdf.data()), bdf.size()}, reader);
    if (error.empty())
        result = reader.parsed;
    return error;
}

std::string read_bdf(std::span<const std::uint8_t> bdf, const charset& set, struct font& result,
                     std::string& warning)
{
    bdf_reader reader;
    reader.target = &set;
    if (std::string error = parse({reinterpret_cast<const char*>(bdf.data()), bdf.size()}, reader); !error.empty())
        return error;
    std::uint32_t missing = 0;
    for (std::size_t code = 0; code < 256; ++code) {
        const char32_t point = set.code_points[code];
        if ((reader.unicode || reader.native) && !reader.found[code] && point != no_character && !is_control(point))
            ++missing;
    }
    result = reader.parsed;
    warning = missing == 0 ? "" : "the font lacks " + counted(missing, "character") + " of " + set.name +
                                      (missing == 1 ? "; its glyph is" : "; their glyphs are") + " left blank";
    return "";
}

std::vector<std::uint8_t> write_bdf(const struct font& source, std::string_view family, const charset& set)
{
    const std::string name = xlfd_family(family);
    // 8 pixels at 72 dots per inch make an 8-point font, so a glyph's scalable width of
    // 8 pixels is exactly 1000 thousandths of the point size. Readers that look glyphs up
    // by Unicode (FreeType, fontconfig, the console font builder) find them through the
    // code page the charset properties name; ISO 8859-1 is Unicode's first 256 itself.
    const std::array<std::pair<const char*, std::string>, 17> properties = {{
        {"FOUNDRY", "\"misc\""},
        {"FAMILY_NAME", "\"" + name + "\""},
        {"WEIGHT_NAME", "\"Medium\""},
        {"SLANT", "\"R\""},
        {"SETWIDTH_NAME", "\"Normal\""},
        {"ADD_STYLE_NAME", "\"\""},
        {"PIXEL_SIZE", "8"},
        {"POINT_SIZE", "80"},
        {"RESOLUTION_X", "72"},
        {"RESOLUTION_Y", "72"},
        {"SPACING", "\"C\""},
        {"AVERAGE_WIDTH", "80"}, // in tenths of a pixel
        {"CHARSET_REGISTRY", "\"" + set.registry + "\""},
        {"CHARSET_ENCODING", "\"" + set.encoding + "\""},
        {"FONT_ASCENT", "7"},
        {"FONT_DESCENT", "1"},
        {"DEFAULT_CHAR", "0"},
    }};
    std::string text = "STARTFONT 2.1\nFONT -misc-" + name +
                       "-medium-r-normal--8-80-72-72-c-80-" + lower_case(set.registry + "-" + set.encoding) + "\n"
                       "SIZE 8 72 72\nFONTBOUNDINGBOX 8 8 0 -1\nSTARTPROPERTIES " +
                       std::to_string(properties.size()) + "\n";
    for (const auto& [key, value] : properties)
        text += std::string(key) + " " + value + "\n";
    text += "ENDPROPERTIES\nCHARS 256\n";
    for (std::size_t code = 0; code < 256; ++code) {
        text += "STARTCHAR char" + std::to_string(code) + "\nENCODING " + std::to_string(code) +
                "\nSWIDTH 1000 0\nDWIDTH 8 0\nBBX 8 8 0 -1\nBITMAP\n";
        for (const std::uint8_t row : source.chr[code].bitmap)
            text += hex_byte(mirror_row(row)) + "\n";
        text += "ENDCHAR\n";
    }
    text += "ENDFONT\n";
    return {text.begin(), text.end()};
}
