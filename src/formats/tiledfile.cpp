#include "formats/tiledfile.hpp"

#include <algorithm>
#include <string_view>
#include <utility>

namespace {

// Deeper nesting than any tileset needs only costs memory.
constexpr std::size_t max_depth = 256;

// Whether `text` is UTF-8 that XML 1.0 allows: no control character but tab, line
// feed and carriage return, no overlong form, no surrogate.
bool fits_xml(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            if ((byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') || byte == 0x7F)
                return false;
            ++i;
            continue;
        }
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC2 ? 2 : 0;
        if (length == 0 || byte > 0xF4 || i + length > text.size())
            return false;
        std::uint32_t code = byte & (0xFFu >> (length + 1));
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = code << 6 | (next & 0x3Fu);
        }
        const std::uint32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

std::string escaped(std::string_view text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string attribute(const char* name, std::uint32_t value)
{
    return std::string(" ") + name + "=\"" + std::to_string(value) + "\"";
}

// ---- Reading: a small XML scanner that knows tags and attributes, nothing more ----

struct xml_tag {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    bool closing = false; // </name>
    bool empty = false;   // <name/>
};

struct scanner {
    std::string_view text;
    std::size_t at = 0;
};

bool is_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool is_name_char(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '.' || c == ':' || static_cast<unsigned char>(c) >= 0x80;
}

void skip_spaces(scanner& in)
{
    while (in.at < in.text.size() && is_space(in.text[in.at]))
        ++in.at;
}

// Moves past the next `end`; false when the text ends first.
bool skip_past(scanner& in, std::string_view end)
{
    const std::size_t found = in.text.find(end, in.at);
    if (found == std::string_view::npos)
        return false;
    in.at = found + end.size();
    return true;
}

std::string read_name(scanner& in)
{
    const std::size_t start = in.at;
    while (in.at < in.text.size() && is_name_char(in.text[in.at]))
        ++in.at;
    return std::string(in.text.substr(start, in.at - start));
}

void append_utf8(std::uint32_t code, std::string& out)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// One reference after '&', up to its ';': the five named ones or a character number.
bool read_reference(std::string_view name, std::string& out)
{
    constexpr std::pair<std::string_view, char> named[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& [word, c] : named)
        if (name == word) {
            out += c;
            return true;
        }
    if (name.size() < 2 || name.size() > 8 || name[0] != '#')
        return false;
    const bool hex = name[1] == 'x';
    std::uint32_t code = 0;
    const std::string_view digits = name.substr(hex ? 2 : 1);
    for (char c : digits) {
        const int digit = c >= '0' && c <= '9'            ? c - '0'
                          : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                        : -1;
        if (digit < 0)
            return false;
        code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
    }
    if (digits.empty() || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return false;
    append_utf8(code, out);
    return true;
}

std::string read_value(scanner& in, std::string& value)
{
    if (in.at >= in.text.size() || (in.text[in.at] != '"' && in.text[in.at] != '\''))
        return "an attribute's value is not in quotes";
    const char quote = in.text[in.at++];
    const std::size_t end = in.text.find(quote, in.at);
    if (end == std::string_view::npos)
        return "an attribute's value has no closing quote";
    const std::string_view raw = in.text.substr(in.at, end - in.at);
    in.at = end + 1;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '<')
            return "an attribute's value holds '<'";
        if (raw[i] != '&') {
            value += raw[i];
            continue;
        }
        const std::size_t semicolon = raw.find(';', i);
        if (semicolon == std::string_view::npos || !read_reference(raw.substr(i + 1, semicolon - i - 1), value))
            return "an attribute's value holds an unknown reference after '&'";
        i = semicolon;
    }
    return "";
}

std::string read_attributes(scanner& in, xml_tag& tag)
{
    for (;;) {
        const std::size_t before = in.at;
        skip_spaces(in);
        if (in.at >= in.text.size())
            return "the file ends inside <" + tag.name + ">";
        if (in.text[in.at] == '>') {
            ++in.at;
            return "";
        }
        if (in.text.substr(in.at, 2) == "/>") {
            in.at += 2;
            tag.empty = true;
            return "";
        }
        std::string name = read_name(in);
        if (name.empty() || in.at == before)
            return "<" + tag.name + "> is not well formed";
        skip_spaces(in);
        if (in.at >= in.text.size() || in.text[in.at] != '=')
            return "the attribute " + name + " of <" + tag.name + "> has no value";
        ++in.at;
        skip_spaces(in);
        std::string value;
        if (std::string error = read_value(in, value); !error.empty())
            return error + " in <" + tag.name + ">";
        tag.attributes.emplace_back(std::move(name), std::move(value));
    }
}

// The next start or end tag, past text, comments, CDATA, declarations and processing
// instructions; `end` is set when the text is over.
std::string next_tag(scanner& in, xml_tag& tag, bool& end)
{
    for (;;) {
        if (!skip_past(in, "<")) {
            end = true;
            return "";
        }
        const std::string_view rest = in.text.substr(in.at);
        const bool skipped = rest.starts_with("!--")       ? skip_past(in, "-->")
                             : rest.starts_with("![CDATA[") ? skip_past(in, "]]>")
                             : rest.starts_with("?")        ? skip_past(in, "?>")
                             : rest.starts_with("!")        ? skip_past(in, ">")
                                                            : false;
        if (skipped)
            continue;
        if (rest.starts_with("!") || rest.starts_with("?"))
            return "the file ends inside a comment or declaration";
        tag = {};
        tag.closing = rest.starts_with("/");
        in.at += tag.closing ? 1 : 0;
        tag.name = read_name(in);
        if (tag.name.empty())
            return "a '<' starts no tag";
        if (!tag.closing)
            return read_attributes(in, tag);
        skip_spaces(in);
        if (in.at >= in.text.size() || in.text[in.at] != '>')
            return "</" + tag.name + "> is not well formed";
        ++in.at;
        return "";
    }
}

const std::string* find_attribute(const xml_tag& tag, std::string_view name)
{
    for (const auto& [key, value] : tag.attributes)
        if (key == name)
            return &value;
    return nullptr;
}

// The whole number in attribute `name`, at most `highest`; `value` is left alone when
// the attribute is missing and not `required`.
std::string read_number(const xml_tag& tag, std::string_view name, std::uint32_t highest, bool required,
                        std::uint32_t& value)
{
    const std::string* text = find_attribute(tag, name);
    if (!text)
        return required ? "<" + tag.name + "> has no " + std::string(name) : "";
    const std::string where = std::string(name) + " of <" + tag.name + ">";
    if (text->empty() || text->size() > 10 || !std::all_of(text->begin(), text->end(), [](char c) {
            return c >= '0' && c <= '9';
        }))
        return where + " is not a whole number";
    const unsigned long long number = std::stoull(*text);
    if (number > highest)
        return where + " is " + *text + "; at most " + std::to_string(highest) + " is read";
    value = static_cast<std::uint32_t>(number);
    return "";
}

std::string read_tileset_tag(const xml_tag& tag, tileset& result)
{
    if (const std::string* name = find_attribute(tag, "name"))
        result.name = *name;
    std::string error = read_number(tag, "tilewidth", max_sheet_side, true, result.tile_width);
    if (error.empty())
        error = read_number(tag, "tileheight", max_sheet_side, true, result.tile_height);
    if (error.empty())
        error = read_number(tag, "spacing", max_sheet_side, false, result.spacing);
    if (error.empty())
        error = read_number(tag, "margin", max_sheet_side, false, result.margin);
    if (error.empty())
        error = read_number(tag, "tilecount", max_atlas_frames, false, result.tile_count);
    if (error.empty())
        error = read_number(tag, "columns", max_sheet_side, false, result.columns);
    if (error.empty() && (result.tile_width == 0 || result.tile_height == 0))
        error = "its tiles have no pixels";
    return error;
}

std::string read_image_tag(const xml_tag& tag, tileset& result)
{
    const std::string* source = find_attribute(tag, "source");
    if (!source)
        return "<image> has no source";
    result.image = *source;
    std::string error = read_number(tag, "width", max_sheet_side, false, result.image_width);
    if (error.empty())
        error = read_number(tag, "height", max_sheet_side, false, result.image_height);
    return error;
}

// What the scan has seen so far, for the elements that are read.
struct tsx_state {
    std::vector<std::string> open; // the elements around the current one, outermost first
    bool has_root = false;
    bool root_closed = false;
    bool has_image = false;
    std::uint32_t tile = 0; // the id of the <tile> being read
    std::size_t animation_frames = 0;
};

std::string read_frame_tag(const xml_tag& tag, tsx_state& state, tileset& result)
{
    if (++state.animation_frames > max_atlas_frames)
        return "its animations hold more than " + std::to_string(max_atlas_frames) + " frames";
    tile_frame frame;
    std::string error = read_number(tag, "tileid", max_atlas_frames, true, frame.tile);
    if (error.empty())
        error = read_number(tag, "duration", max_frame_duration_ms, true, frame.duration_ms);
    if (error.empty() && state.tile == 0)
        result.animation.push_back(frame);
    return error;
}

// One start tag, by where it stands.
std::string read_start(const xml_tag& tag, tsx_state& state, tileset& result)
{
    if (state.root_closed)
        return "there is more after </tileset>";
    const std::size_t depth = state.open.size();
    if (depth == 0) {
        if (tag.name != "tileset")
            return "not a tileset: its root element is <" + tag.name + ">";
        state.has_root = true;
        return read_tileset_tag(tag, result);
    }
    if (depth == 1 && tag.name == "image") {
        if (state.has_image)
            return "the tileset has two <image> elements";
        state.has_image = true;
        return read_image_tag(tag, result);
    }
    if (depth == 1 && tag.name == "tile")
        return read_number(tag, "id", max_atlas_frames, true, state.tile);
    if (depth == 3 && tag.name == "frame" && state.open[1] == "tile" && state.open[2] == "animation")
        return read_frame_tag(tag, state, result);
    return "";
}

std::string scan_tsx(std::string_view text, tsx_state& state, tileset& result)
{
    scanner in{text};
    for (;;) {
        xml_tag tag;
        bool end = false;
        if (std::string error = next_tag(in, tag, end); !error.empty())
            return error;
        if (end)
            break;
        if (tag.closing) {
            if (state.open.empty() || state.open.back() != tag.name)
                return "</" + tag.name + "> closes no open element";
            state.open.pop_back();
            state.root_closed = state.open.empty();
            continue;
        }
        if (std::string error = read_start(tag, state, result); !error.empty())
            return error;
        if (!tag.empty && state.open.size() >= max_depth)
            return "its elements are nested more than " + std::to_string(max_depth) + " deep";
        if (!tag.empty)
            state.open.push_back(tag.name);
        else
            state.root_closed = state.open.empty();
    }
    if (!state.has_root)
        return "not a tileset: there is no <tileset> element";
    if (!state.open.empty())
        return "the file ends inside <" + state.open.back() + ">";
    return "";
}

// Fills in columns and tile count from the picture's size when the file leaves them
// out, then checks that the grid fits the picture it names.
std::string complete_grid(tileset& tiles)
{
    const std::uint64_t step_x = std::uint64_t{tiles.tile_width} + tiles.spacing;
    const std::uint64_t step_y = std::uint64_t{tiles.tile_height} + tiles.spacing;
    // The map editor takes the margin off one side only: a tile may run into the far margin.
    const auto fitting = [&](std::uint32_t side, std::uint64_t tile, std::uint64_t step) -> std::uint64_t {
        const std::uint64_t inner = side > tiles.margin ? side - tiles.margin : 0;
        return inner < tile ? 0 : (inner - tile) / step + 1;
    };
    if (tiles.columns == 0) {
        if (tiles.image_width == 0)
            return "it gives neither columns nor the picture's width, and its picture was not read";
        tiles.columns = static_cast<std::uint32_t>(fitting(tiles.image_width, tiles.tile_width, step_x));
    }
    if (tiles.tile_count == 0 && tiles.image_height != 0) {
        const std::uint64_t rows = fitting(tiles.image_height, tiles.tile_height, step_y);
        tiles.tile_count = static_cast<std::uint32_t>(std::min<std::uint64_t>(rows * tiles.columns, max_atlas_frames));
    }
    if (tiles.tile_count == 0 || tiles.columns == 0)
        return "it holds no tile";
    const std::uint64_t rows = (std::uint64_t{tiles.tile_count} + tiles.columns - 1) / tiles.columns;
    const std::uint64_t right = tiles.margin + tiles.columns * step_x - tiles.spacing;
    const std::uint64_t bottom = tiles.margin + rows * step_y - tiles.spacing;
    if (right > max_sheet_side || bottom > max_sheet_side)
        return "its grid is larger than " + std::to_string(max_sheet_side) + " pixels";
    for (const tile_frame& frame : tiles.animation)
        if (frame.tile >= tiles.tile_count)
            return "tile 0's animation shows tile " + std::to_string(frame.tile) + " of " +
                   std::to_string(tiles.tile_count);
    return "";
}

} // namespace

std::string write_tsx(const tileset& source, std::string& xml)
{
    if (!fits_xml(source.name))
        return "the tileset's name is not UTF-8 text without control characters";
    if (!fits_xml(source.image))
        return "the picture's name is not UTF-8 text without control characters";
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tileset version=\"1.8\" name=\"" +
                       escaped(source.name) + "\"" + attribute("tilewidth", source.tile_width) +
                       attribute("tileheight", source.tile_height) + attribute("spacing", source.spacing) +
                       attribute("margin", source.margin) + attribute("tilecount", source.tile_count) +
                       attribute("columns", source.columns) + ">\n";
    text += " <image source=\"" + escaped(source.image) + "\"" + attribute("width", source.image_width) +
            attribute("height", source.image_height) + "/>\n";
    if (!source.animation.empty()) {
        text += " <tile id=\"0\">\n  <animation>\n";
        for (const tile_frame& frame : source.animation)
            text += "   <frame" + attribute("tileid", frame.tile) + attribute("duration", frame.duration_ms) + "/>\n";
        text += "  </animation>\n </tile>\n";
    }
    xml = text + "</tileset>\n";
    return "";
}

std::string read_tsx(std::span<const std::uint8_t> xml, tileset& result, std::uint32_t picture_width,
                     std::uint32_t picture_height)
{
    if (xml.size() > max_tsx_size)
        return "the tileset is larger than " + std::to_string(max_tsx_size >> 20) + " MiB";
    const std::string_view text(reinterpret_cast<const char*>(xml.data()), xml.size());
    tsx_state state;
    tileset read;
    if (std::string error = scan_tsx(text, state, read); !error.empty())
        return error;
    if (!state.has_image)
        return "the tileset has no <image>: only tiles on one picture can be cut";
    if (picture_width != 0 && picture_height != 0) {
        read.image_width = picture_width;
        read.image_height = picture_height;
    }
    if (std::string error = complete_grid(read); !error.empty())
        return error;
    result = std::move(read);
    return "";
}

std::vector<atlas_frame> tileset_frames(const tileset& tiles)
{
    std::vector<atlas_frame> frames;
    for (std::uint32_t id = 0; id < tiles.tile_count; ++id) {
        const std::uint32_t x = tiles.margin + id % tiles.columns * (tiles.tile_width + tiles.spacing);
        const std::uint32_t y = tiles.margin + id / tiles.columns * (tiles.tile_height + tiles.spacing);
        frames.push_back({std::to_string(id), {x, y, tiles.tile_width, tiles.tile_height}, {}});
    }
    return frames;
}
