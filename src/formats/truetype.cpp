#include "formats/truetype.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace {

using bytes = std::vector<std::uint8_t>;

constexpr std::int32_t units_per_pixel = 128;
constexpr std::int32_t units_per_em = 8 * units_per_pixel;
constexpr std::int32_t ascent = 7 * units_per_pixel;
constexpr std::int32_t descent = 1 * units_per_pixel;
constexpr std::int32_t advance = 8 * units_per_pixel;
constexpr std::uint16_t glyph_count = 257;
constexpr std::uint32_t font_date = 3786912000u; // 2024-01-01, in seconds since 1904

// A hollow box for characters the font lacks, drawn like any glyph.
constexpr std::array<std::uint8_t, 8> notdef_rows = {0x00, 0x3E, 0x22, 0x22, 0x22, 0x22, 0x3E, 0x00};

void put16(bytes& out, std::int32_t value)
{
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

void put32(bytes& out, std::uint32_t value)
{
    put16(out, static_cast<std::int32_t>(value >> 16));
    put16(out, static_cast<std::int32_t>(value & 0xFFFF));
}

void set32(bytes& out, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

void pad4(bytes& out)
{
    while (out.size() % 4 != 0)
        out.push_back(0);
}

struct rectangle {
    std::int32_t left, bottom, right, top; // font units, y upwards from the baseline
};

// The glyph's set pixels as rectangles: each run of neighbouring pixels in a row is one.
std::vector<rectangle> rectangles_of(const std::array<std::uint8_t, 8>& rows)
{
    std::vector<rectangle> result;
    for (std::int32_t r = 0; r < 8; ++r) {
        const std::int32_t top = (7 - r) * units_per_pixel;
        for (std::int32_t c = 0; c < 8;) {
            if (!(rows[static_cast<std::size_t>(r)] & (1u << c))) {
                ++c;
                continue;
            }
            const std::int32_t start = c;
            while (c < 8 && (rows[static_cast<std::size_t>(r)] & (1u << c)))
                ++c;
            result.push_back({start * units_per_pixel, top - units_per_pixel, c * units_per_pixel, top});
        }
    }
    return result;
}

struct glyph_outline {
    bytes data;      // the glyf entry, empty for a blank glyph
    rectangle box{}; // bounds; all zero for a blank glyph
    std::uint16_t points = 0;
    std::uint16_t contours = 0;
};

// One coordinate delta: `flag` gets the bits that say how it is stored.
void encode_delta(std::int32_t delta, std::uint8_t short_bit, std::uint8_t same_bit, std::uint8_t& flag, bytes& out)
{
    if (delta == 0) {
        flag |= same_bit;
    } else if (delta > -256 && delta < 256) {
        flag |= short_bit;
        if (delta > 0)
            flag |= same_bit; // for a short delta this bit means "positive"
        out.push_back(static_cast<std::uint8_t>(delta < 0 ? -delta : delta));
    } else {
        put16(out, delta);
    }
}

// The glyf entry of the rectangles: one contour of four on-curve corners each,
// clockwise, as TrueType wants outer contours.
glyph_outline outline_of(const std::vector<rectangle>& parts)
{
    glyph_outline glyph;
    if (parts.empty())
        return glyph;
    glyph.box = parts.front();
    for (const rectangle& part : parts)
        glyph.box = {std::min(glyph.box.left, part.left), std::min(glyph.box.bottom, part.bottom),
                     std::max(glyph.box.right, part.right), std::max(glyph.box.top, part.top)};
    glyph.contours = static_cast<std::uint16_t>(parts.size());
    glyph.points = static_cast<std::uint16_t>(4 * parts.size());

    bytes flags, xs, ys;
    std::int32_t x = 0, y = 0;
    for (const rectangle& part : parts) {
        const std::array<std::pair<std::int32_t, std::int32_t>, 4> corners = {
            {{part.left, part.bottom}, {part.left, part.top}, {part.right, part.top}, {part.right, part.bottom}}};
        for (const auto& [cx, cy] : corners) {
            std::uint8_t flag = 0x01; // on the curve
            encode_delta(cx - x, 0x02, 0x10, flag, xs);
            encode_delta(cy - y, 0x04, 0x20, flag, ys);
            flags.push_back(flag);
            x = cx;
            y = cy;
        }
    }
    bytes& out = glyph.data;
    put16(out, glyph.contours);
    for (const std::int32_t bound : {glyph.box.left, glyph.box.bottom, glyph.box.right, glyph.box.top})
        put16(out, bound);
    for (std::size_t i = 0; i < parts.size(); ++i)
        put16(out, static_cast<std::int32_t>(4 * i + 3));
    put16(out, 0); // no instructions: hinting would move the pixels
    for (const bytes* part : {&flags, &xs, &ys})
        out.insert(out.end(), part->begin(), part->end());
    pad4(out);
    return glyph;
}

std::vector<glyph_outline> outlines_of(const struct font& source)
{
    std::vector<glyph_outline> glyphs;
    glyphs.push_back(outline_of(rectangles_of(notdef_rows)));
    for (const fontchar& chr : source.chr)
        glyphs.push_back(outline_of(rectangles_of(chr.bitmap)));
    return glyphs;
}

// Everything several tables need, gathered once.
struct font_facts {
    std::vector<glyph_outline> glyphs;
    rectangle bounds{}; // of all glyphs
    std::int32_t min_right_bearing = advance;
    std::uint16_t max_points = 0;
    std::uint16_t max_contours = 0;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> mapping; // (character, glyph), sorted
};

font_facts facts_of(const struct font& source, const charset& set)
{
    font_facts facts;
    facts.glyphs = outlines_of(source);
    facts.bounds = facts.glyphs.front().box; // .notdef is never blank
    for (const glyph_outline& glyph : facts.glyphs) {
        if (glyph.data.empty())
            continue;
        facts.bounds = {std::min(facts.bounds.left, glyph.box.left), std::min(facts.bounds.bottom, glyph.box.bottom),
                        std::max(facts.bounds.right, glyph.box.right), std::max(facts.bounds.top, glyph.box.top)};
        facts.min_right_bearing = std::min(facts.min_right_bearing, advance - glyph.box.right);
        facts.max_points = std::max(facts.max_points, glyph.points);
        facts.max_contours = std::max(facts.max_contours, glyph.contours);
    }
    for (std::size_t code = 0; code < 256; ++code)
        if (set.code_points[code] <= 0xFFFF)
            facts.mapping.emplace_back(static_cast<std::uint16_t>(set.code_points[code]),
                                       static_cast<std::uint16_t>(code + 1));
    std::sort(facts.mapping.begin(), facts.mapping.end());
    const auto same_character = [](const auto& a, const auto& b) { return a.first == b.first; };
    facts.mapping.erase(std::unique(facts.mapping.begin(), facts.mapping.end(), same_character), facts.mapping.end());
    return facts;
}

bytes glyf_and_loca(const font_facts& facts, bytes& loca)
{
    bytes glyf;
    for (const glyph_outline& glyph : facts.glyphs) {
        put32(loca, static_cast<std::uint32_t>(glyf.size()));
        glyf.insert(glyf.end(), glyph.data.begin(), glyph.data.end());
    }
    put32(loca, static_cast<std::uint32_t>(glyf.size()));
    return glyf;
}

bytes head_table(const font_facts& facts)
{
    bytes out;
    put32(out, 0x00010000);     // version 1.0
    put32(out, 0x00010000);     // font revision 1.0
    put32(out, 0);              // checkSumAdjustment, filled in last
    put32(out, 0x5F0F3CF5);     // magic number
    put16(out, 0x0001 | 0x0008); // baseline at y = 0; sizes rounded to whole pixels
    put16(out, units_per_em);
    for (int i = 0; i < 2; ++i) {
        put32(out, 0); // created and modified: one fixed date, so that the bytes never change
        put32(out, font_date);
    }
    for (const std::int32_t bound : {facts.bounds.left, facts.bounds.bottom, facts.bounds.right, facts.bounds.top})
        put16(out, bound);
    put16(out, 0); // macStyle: regular
    put16(out, 8); // smallest readable size in pixels
    put16(out, 2); // fontDirectionHint: left to right
    put16(out, 1); // long loca offsets
    put16(out, 0); // glyphDataFormat
    return out;
}

bytes hhea_table(const font_facts& facts)
{
    bytes out;
    put32(out, 0x00010000);
    put16(out, ascent);
    put16(out, -descent);
    put16(out, 0); // line gap
    put16(out, advance);
    put16(out, facts.bounds.left); // the smallest left side bearing is the smallest xMin
    put16(out, facts.min_right_bearing);
    put16(out, facts.bounds.right); // xMaxExtent = bearing + width = xMax
    put16(out, 1); // caret slope rise: upright
    put16(out, 0);
    put16(out, 0);
    for (int i = 0; i < 5; ++i)
        put16(out, 0); // reserved, metricDataFormat
    put16(out, glyph_count);
    return out;
}

bytes hmtx_table(const font_facts& facts)
{
    bytes out;
    for (const glyph_outline& glyph : facts.glyphs) {
        put16(out, advance);
        put16(out, glyph.box.left);
    }
    return out;
}

bytes maxp_table(const font_facts& facts)
{
    bytes out;
    put32(out, 0x00010000);
    put16(out, glyph_count);
    put16(out, facts.max_points);
    put16(out, facts.max_contours);
    put16(out, 0); // composite points
    put16(out, 0); // composite contours
    put16(out, 2); // zones: the twilight zone exists even when unused
    for (int i = 0; i < 8; ++i)
        put16(out, 0); // twilight points, storage, definitions, stack, instructions, components
    return out;
}

// Format 4 maps runs of characters whose glyphs run in step with them through one
// segment each; the last segment, 0xFFFF, is the one the format requires.
bytes cmap_table(const font_facts& facts)
{
    struct segment {
        std::uint16_t start, end, glyph;
    };
    std::vector<segment> segments;
    for (const auto& [character, glyph] : facts.mapping) {
        if (!segments.empty() && segments.back().end + 1 == character &&
            segments.back().glyph + (character - segments.back().start) == glyph)
            segments.back().end = character;
        else
            segments.push_back({character, character, glyph});
    }
    if (segments.empty() || segments.back().end != 0xFFFF)
        segments.push_back({0xFFFF, 0xFFFF, 0}); // maps to .notdef
    const auto count = static_cast<std::int32_t>(segments.size());
    std::int32_t power = 1, log2 = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++log2;
    }
    bytes out;
    put16(out, 0); // version
    put16(out, 1); // one subtable:
    put16(out, 3); // Windows
    put16(out, 1); // Unicode BMP
    put32(out, 12);
    put16(out, 4);                  // format
    put16(out, 16 + 8 * count);     // length
    put16(out, 0);                  // language
    put16(out, 2 * count);          // segCountX2
    put16(out, 2 * power);          // searchRange
    put16(out, log2);               // entrySelector
    put16(out, 2 * (count - power)); // rangeShift
    for (const segment& each : segments)
        put16(out, each.end);
    put16(out, 0); // reserved pad
    for (const segment& each : segments)
        put16(out, each.start);
    for (const segment& each : segments)
        put16(out, (each.glyph - each.start) & 0xFFFF); // idDelta, modulo 65536
    for (std::int32_t i = 0; i < count; ++i)
        put16(out, 0); // idRangeOffset: deltas only
    return out;
}

// The height above the baseline of the glyph of `character`, 0 when it is missing.
std::int32_t height_of(const font_facts& facts, std::uint16_t character)
{
    for (const auto& [each, glyph] : facts.mapping)
        if (each == character)
            return facts.glyphs[glyph].box.top;
    return 0;
}

bytes os2_table(const font_facts& facts, const charset& set)
{
    bytes out;
    put16(out, 4);          // version
    put16(out, advance);    // xAvgCharWidth
    put16(out, 400);        // weight: regular
    put16(out, 5);          // width: medium
    put16(out, 0);          // fsType: installable, no restrictions
    for (const std::int32_t value : {512, 512, 0, 128, 512, 512, 0, 384}) // sub- and superscripts
        put16(out, value);
    put16(out, units_per_pixel);     // strikeout size
    put16(out, 3 * units_per_pixel); // strikeout position
    put16(out, 0);                   // family class
    for (const std::uint8_t digit : {2, 0, 5, 9, 0, 0, 0, 0, 0, 0}) // PANOSE: text, monospaced
        out.push_back(digit);
    put32(out, 0x00000003); // Unicode ranges: Basic Latin, Latin-1 Supplement
    for (int i = 0; i < 3; ++i)
        put32(out, 0);
    for (const char letter : std::string_view("NONE"))
        out.push_back(static_cast<std::uint8_t>(letter));
    put16(out, 0x0040 | 0x0080); // regular; use the typographic metrics below
    put16(out, facts.mapping.front().first);
    put16(out, facts.mapping.back().first);
    put16(out, ascent);
    put16(out, -descent);
    put16(out, 0); // typographic line gap
    put16(out, ascent);
    put16(out, descent);
    const bool pc = set.name == "cp437";
    put32(out, pc ? 0 : 0x00000001); // code pages: Latin 1
    put32(out, pc ? 0x80000000 : 0); // or the PC's (437)
    put16(out, height_of(facts, 'x'));
    put16(out, height_of(facts, 'H'));
    put16(out, 0);  // default character: .notdef
    put16(out, 32); // break character: space
    put16(out, 1);  // no ligatures or kerning: a context of one glyph
    return out;
}

bytes post_table()
{
    bytes out;
    put32(out, 0x00030000); // version 3: no glyph names
    put32(out, 0);          // italic angle
    put16(out, -descent / 2);
    put16(out, units_per_pixel / 2); // underline position and thickness
    put32(out, 1);          // fixed pitch
    for (int i = 0; i < 4; ++i)
        put32(out, 0);
    return out;
}

std::string postscript_name(std::string_view family)
{
    std::string name;
    for (const char c : family)
        if (c > ' ' && c < 127 && std::string_view("[](){}<>/%").find(c) == std::string_view::npos)
            name += c;
    return name;
}

// Windows English names in UTF-16, big-endian, sorted by name ID as the table wants.
bytes name_table(std::string_view family)
{
    const std::string names[] = {std::string(family), "Regular", std::string(family) + " Regular 1.000",
                                 std::string(family), "Version 1.000", postscript_name(family)};
    constexpr std::int32_t count = 6;
    bytes out, strings;
    put16(out, 0);
    put16(out, count);
    put16(out, 6 + 12 * count);
    for (std::int32_t id = 1; id <= count; ++id) {
        const std::string& text = names[id - 1];
        for (const std::int32_t value : {3, 1, 0x409, id, static_cast<std::int32_t>(2 * text.size()),
                                         static_cast<std::int32_t>(strings.size())})
            put16(out, value);
        for (const char c : text)
            put16(strings, static_cast<unsigned char>(c));
    }
    out.insert(out.end(), strings.begin(), strings.end());
    return out;
}

std::uint32_t checksum_of(const bytes& data, std::size_t start, std::size_t length)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < length; ++i)
        sum += static_cast<std::uint32_t>(data[start + i]) << (24 - 8 * (i % 4));
    return sum;
}

// The table directory, then the tables, each 4-byte aligned; tags sorted as bytes.
bytes assemble(std::vector<std::pair<std::string_view, bytes>> tables)
{
    std::sort(tables.begin(), tables.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    const auto count = static_cast<std::int32_t>(tables.size());
    std::int32_t power = 1, log2 = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++log2;
    }
    bytes out;
    put32(out, 0x00010000); // TrueType outlines
    put16(out, count);
    put16(out, 16 * power);
    put16(out, log2);
    put16(out, 16 * (count - power));
    std::size_t offset = out.size() + 16 * tables.size();
    std::size_t head_offset = 0;
    for (const auto& [tag, data] : tables) {
        for (const char letter : tag)
            out.push_back(static_cast<std::uint8_t>(letter));
        put32(out, checksum_of(data, 0, data.size()));
        put32(out, static_cast<std::uint32_t>(offset));
        put32(out, static_cast<std::uint32_t>(data.size()));
        if (tag == "head")
            head_offset = offset;
        offset += (data.size() + 3) / 4 * 4;
    }
    for (const auto& table : tables) {
        out.insert(out.end(), table.second.begin(), table.second.end());
        pad4(out);
    }
    set32(out, head_offset + 8, 0xB1B0AFBAu - checksum_of(out, 0, out.size()));
    return out;
}

} // namespace

std::string family_name_problem(std::string_view family)
{
    if (family.empty())
        return "the family name is empty";
    if (family.size() > max_family_name_length)
        return "the family name is longer than " + std::to_string(max_family_name_length) + " characters";
    for (const char c : family)
        if (c < ' ' || c > '~' || c == '"')
            return "the family name may hold only printable ASCII characters other than '\"'";
    if (std::none_of(family.begin(), family.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }))
        return "the family name needs at least one letter or digit";
    return "";
}

std::vector<std::uint8_t> write_truetype(const struct font& source, const charset& set, std::string_view family)
{
    const font_facts facts = facts_of(source, set);
    bytes loca;
    bytes glyf = glyf_and_loca(facts, loca);
    return assemble({{"OS/2", os2_table(facts, set)},
                     {"cmap", cmap_table(facts)},
                     {"glyf", std::move(glyf)},
                     {"head", head_table(facts)},
                     {"hhea", hhea_table(facts)},
                     {"hmtx", hmtx_table(facts)},
                     {"loca", std::move(loca)},
                     {"maxp", maxp_table(facts)},
                     {"name", name_table(family)},
                     {"post", post_table()}});
}
