#include "formats/freetypefont.hpp"

#include "formats/gzipdata.hpp"
#include "art/words.hpp"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BITMAP_H
#include FT_OUTLINE_H
#include FT_WINFONTS_H
#include FT_BDF_H

#include <algorithm>
#include <limits>
#include <array>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

namespace {

constexpr std::int64_t cell_size = 8;
constexpr std::uint32_t default_size = 8;

struct library_closer {
    void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
struct face_closer {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};
using library_ptr = std::unique_ptr<FT_LibraryRec_, library_closer>;
using face_ptr = std::unique_ptr<FT_FaceRec_, face_closer>;

// A bitmap that FreeType converted for us; it is freed with the library that made it.
struct converted_bitmap {
    FT_Library library;
    FT_Bitmap bitmap;
    explicit converted_bitmap(FT_Library owner) : library(owner) { FT_Bitmap_Init(&bitmap); }
    ~converted_bitmap() { FT_Bitmap_Done(library, &bitmap); }
    converted_bitmap(const converted_bitmap&) = delete;
    converted_bitmap& operator=(const converted_bitmap&) = delete;
};

struct error_words {
    FT_Error error;
    std::string_view words;
};

// What FreeType's errors mean to someone holding a font file; its own texts are terse
// and, in Debian's build, not even compiled in.
constexpr std::array<error_words, 13> error_table{{
    {FT_Err_Unknown_File_Format, "the file is not a font that FreeType can read"},
    // A reader that ran past the end: a truncated font, or bytes that only looked like one.
    {FT_Err_Invalid_Stream_Read, "the file ends early or is not a font that FreeType can read"},
    {FT_Err_Invalid_Stream_Operation, "the file ends early or is not a font that FreeType can read"},
    {FT_Err_Invalid_Frame_Operation, "the file ends early or is not a font that FreeType can read"},
    {FT_Err_Invalid_File_Format, "the font's data is damaged"},
    {FT_Err_Invalid_Table, "a table of the font is damaged"},
    {FT_Err_Invalid_Offset, "an offset in the font points outside it"},
    {FT_Err_Array_Too_Large, "a count in the font is too large"},
    {FT_Err_Invalid_Glyph_Index, "the font names a glyph it does not hold"},
    {FT_Err_Invalid_Pixel_Size, "the font cannot be drawn at that size"},
    {FT_Err_Invalid_Outline, "an outline of the font is damaged"},
    {FT_Err_Unimplemented_Feature, "the font uses a feature FreeType does not support"},
    {FT_Err_Out_Of_Memory, "there is not enough memory for the font"},
}};

std::string hex(unsigned value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

std::string describe(FT_Error error)
{
    const std::string code = " (FreeType error 0x" + hex(static_cast<unsigned>(error), 2) + ")";
    for (const error_words& entry : error_table)
        if (entry.error == error)
            return std::string(entry.words) + code;
    return "FreeType cannot read the font" + code;
}

std::string open_face(FT_Library library, std::span<const std::uint8_t> data, FT_Long index, face_ptr& face)
{
    FT_Face opened = nullptr;
    const FT_Error error =
        FT_New_Memory_Face(library, data.data(), static_cast<FT_Long>(data.size()), index, &opened);
    face.reset(opened);
    return error ? describe(error) : "";
}

// Where the glyphs come from: one face, rendered at a pixel size or at one of its strikes.
struct choice {
    FT_Long face_index = 0;
    std::optional<FT_Int> strike;
    std::uint32_t pixels = default_size;
};

struct strike_entry {
    FT_Long face_index;
    FT_Int strike;
    int height;
};

std::string list_heights(const std::vector<strike_entry>& strikes)
{
    std::vector<int> heights;
    for (const strike_entry& each : strikes)
        heights.push_back(each.height);
    std::sort(heights.begin(), heights.end());
    heights.erase(std::unique(heights.begin(), heights.end()), heights.end());
    std::string text;
    for (const int height : heights)
        text += (text.empty() ? "" : ", ") + std::to_string(height);
    return text;
}

// Picks the strike `size` asks for, else the tallest that fits the cell.
std::string choose_strike(const std::vector<strike_entry>& strikes, std::optional<std::uint32_t> size,
                          choice& chosen)
{
    const strike_entry* best = nullptr;
    for (const strike_entry& each : strikes) {
        if (size) {
            if (each.height == static_cast<int>(*size)) {
                best = &each;
                break;
            }
        } else if (each.height <= cell_size && (!best || each.height > best->height)) {
            best = &each;
        }
    }
    if (!best && size)
        return "the font has no strike " + std::to_string(*size) + " pixels high; its strikes are " +
               list_heights(strikes) + " pixels high";
    if (!best)
        return "every strike of the font is taller than the 8 x 8 cell (" + list_heights(strikes) +
               " pixels high); choose one with --size";
    chosen = {best->face_index, best->strike, static_cast<std::uint32_t>(best->height)};
    return "";
}

// Chooses the face and size to read: the first outline face, else a strike of any face.
std::string choose(FT_Library library, std::span<const std::uint8_t> data, std::optional<std::uint32_t> size,
                   choice& chosen)
{
    face_ptr face;
    if (std::string problem = open_face(library, data, -1, face); !problem.empty())
        return problem;
    const FT_Long faces = face->num_faces;
    if (faces < 1 || faces > max_freetype_faces)
        return "the font file holds " + std::to_string(faces) + " faces; at most " +
               std::to_string(max_freetype_faces) + " can be read";
    std::vector<strike_entry> strikes;
    for (FT_Long index = 0; index < faces; ++index) {
        if (std::string problem = open_face(library, data, index, face); !problem.empty())
            return "face " + std::to_string(index) + " cannot be opened: " + problem;
        if (FT_IS_SCALABLE(face.get()) && strikes.empty()) {
            chosen = {index, std::nullopt, size.value_or(default_size)};
            return "";
        }
        for (FT_Int strike = 0; strike < face->num_fixed_sizes; ++strike)
            strikes.push_back({index, strike, face->available_sizes[strike].height});
    }
    if (strikes.empty())
        return "the font has neither outlines nor bitmap strikes";
    return choose_strike(strikes, size, chosen);
}

// How the 256 codes find their characters in the face.
struct code_map {
    const charset* target;
    bool unicode = false;             // the face is looked up by code point
    const charset* native = nullptr;  // else the code page of the face's own codes, if known
};

struct windows_page {
    FT_Byte id;
    std::string_view iconv_name;
};

// The single-byte code pages a Windows bitmap font may declare; OEM fonts are the PC's own.
constexpr std::array<windows_page, 11> windows_pages{{
    {FT_WinFNT_ID_CP1252, "CP1252"}, {FT_WinFNT_ID_OEM, "CP437"},   {FT_WinFNT_ID_CP1250, "CP1250"},
    {FT_WinFNT_ID_CP1251, "CP1251"}, {FT_WinFNT_ID_CP1253, "CP1253"}, {FT_WinFNT_ID_CP1254, "CP1254"},
    {FT_WinFNT_ID_CP1255, "CP1255"}, {FT_WinFNT_ID_CP1256, "CP1256"}, {FT_WinFNT_ID_CP1257, "CP1257"},
    {FT_WinFNT_ID_CP1258, "CP1258"}, {FT_WinFNT_ID_CP874, "CP874"},
}};

// The code page a face without a Unicode map declares for its own codes, when iconv
// knows it: a Windows bitmap font's character set, or an X font's CHARSET_REGISTRY and
// CHARSET_ENCODING.
const charset* native_charset(FT_Face face)
{
    FT_WinFNT_HeaderRec header;
    if (FT_Get_WinFNT_Header(face, &header) == 0) {
        const charset* found = nullptr;
        for (const windows_page& page : windows_pages)
            if (page.id == header.charset)
                return find_charset(page.iconv_name, found).empty() ? found : nullptr;
        return nullptr;
    }
    const char* encoding = nullptr;
    const char* registry = nullptr;
    if (FT_Get_BDF_Charset_ID(face, &encoding, &registry) == 0 && encoding && registry)
        return charset_of_registry(registry, encoding);
    return nullptr;
}

// The face's character code for glyph code `code`, if the face can have one.
std::optional<FT_ULong> char_code(const code_map& map, std::uint8_t code)
{
    const char32_t point = map.target->code_points[code];
    if (!map.unicode && !map.native)
        return code;
    if (point == no_character)
        return std::nullopt;
    if (map.unicode)
        return point;
    if (const std::optional<std::uint8_t> own = code_of(*map.native, point))
        return *own;
    return std::nullopt;
}

std::string glyph_name(const code_map& map, std::uint8_t code)
{
    std::string name = "glyph 0x" + hex(code, 2);
    if (map.unicode || map.native)
        name += " (U+" + hex(static_cast<unsigned>(map.target->code_points[code]), 4) + ")";
    return name;
}

bool is_set(const FT_Bitmap& bitmap, unsigned x, unsigned y)
{
    // A negative pitch means the rows are stored bottom row first.
    const unsigned stride = static_cast<unsigned>(bitmap.pitch < 0 ? -bitmap.pitch : bitmap.pitch);
    const unsigned stored_row = bitmap.pitch < 0 ? bitmap.rows - 1 - y : y;
    const unsigned char* row = bitmap.buffer + std::size_t{stored_row} * stride;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
        return row[x / 8] & (0x80u >> (x % 8)); // the leftmost pixel is the top bit
    return row[x] * 2u >= bitmap.num_grays;     // grey: at least half covered
}

// Puts the set pixels of `bitmap`, its top left at (left, top) in cell coordinates, into
// `cell`; fails naming `name` when one falls outside.
std::string place(const FT_Bitmap& bitmap, std::int64_t left, std::int64_t top, const std::string& name,
                  fontchar& cell)
{
    // The bounds start empty rather than at the cell's edges: a glyph wholly above or
    // left of the cell has only negative rows or columns, and must still be seen.
    constexpr std::int64_t none_yet = std::numeric_limits<std::int64_t>::max();
    std::int64_t first_column = none_yet, last_column = -none_yet, first_row = none_yet, last_row = -none_yet;
    for (unsigned y = 0; y < bitmap.rows; ++y)
        for (unsigned x = 0; x < bitmap.width; ++x)
            if (is_set(bitmap, x, y)) {
                first_column = std::min(first_column, left + x);
                last_column = std::max(last_column, left + x);
                first_row = std::min(first_row, top + y);
                last_row = std::max(last_row, top + y);
            }
    if (last_row == -none_yet)
        return ""; // no pixels, nothing to place
    if (first_column < 0 || last_column >= cell_size || first_row < 0 || last_row >= cell_size)
        return name + " does not fit the 8 x 8 cell: its pixels span columns " + std::to_string(first_column) +
               " to " + std::to_string(last_column) + " and rows " + std::to_string(first_row) + " to " +
               std::to_string(last_row) + ", row 0 being the font's ascent above the baseline";
    for (unsigned y = 0; y < bitmap.rows; ++y)
        for (unsigned x = 0; x < bitmap.width; ++x)
            if (is_set(bitmap, x, y))
                cell.bitmap[static_cast<std::size_t>(top + y)] |= static_cast<std::uint8_t>(1u << (left + x));
    return "";
}

std::string too_large(const std::string& name, long width, long height)
{
    return name + " is " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels, far larger than the 8 x 8 cell";
}

// Loads glyph `index` of `face` in black and white and places it in `cell`.
std::string read_glyph(FT_Library library, FT_Face face, FT_UInt index, std::int64_t ascent,
                       const std::string& name, fontchar& cell)
{
    if (FT_Error error = FT_Load_Glyph(face, index, FT_LOAD_NO_HINTING | FT_LOAD_TARGET_MONO))
        return name + " cannot be loaded: " + describe(error);
    FT_GlyphSlot slot = face->glyph;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        // Rendering takes memory for the outline's whole box; bound it first.
        FT_BBox box;
        FT_Outline_Get_CBox(&slot->outline, &box);
        const long width = (box.xMax - box.xMin) / 64, height = (box.yMax - box.yMin) / 64;
        if (width > max_freetype_glyph || height > max_freetype_glyph)
            return too_large(name, width, height);
        if (FT_Error error = FT_Render_Glyph(slot, FT_RENDER_MODE_MONO))
            return name + " cannot be drawn: " + describe(error);
    } else if (slot->format != FT_GLYPH_FORMAT_BITMAP) {
        return name + " is neither an outline nor a bitmap";
    }
    const FT_Bitmap* bitmap = &slot->bitmap;
    if (bitmap->width > max_freetype_glyph || bitmap->rows > max_freetype_glyph)
        return too_large(name, bitmap->width, bitmap->rows);
    converted_bitmap grey(library);
    if (bitmap->pixel_mode != FT_PIXEL_MODE_MONO && bitmap->pixel_mode != FT_PIXEL_MODE_GRAY) {
        if (FT_Error error = FT_Bitmap_Convert(library, bitmap, &grey.bitmap, 1))
            return name + " has a bitmap that cannot be read: " + describe(error);
        bitmap = &grey.bitmap;
    }
    if (bitmap->width > 0 && bitmap->rows > 0 && !bitmap->buffer)
        return name + " has no bitmap data";
    return place(*bitmap, slot->bitmap_left, ascent - slot->bitmap_top, name, cell);
}

// Reads the 256 glyphs; `missing` counts the characters of `set` the face lacks.
std::string read_face(FT_Library library, std::span<const std::uint8_t> data, const charset& set,
                      const choice& chosen, struct font& parsed, std::uint32_t& missing)
{
    face_ptr face;
    if (std::string problem = open_face(library, data, chosen.face_index, face); !problem.empty())
        return problem;
    const FT_Error sized = chosen.strike ? FT_Select_Size(face.get(), *chosen.strike)
                                         : FT_Set_Pixel_Sizes(face.get(), 0, chosen.pixels);
    if (sized)
        return "the font cannot be set to " + std::to_string(chosen.pixels) + " pixels: " + describe(sized);
    const std::int64_t ascent = (face->size->metrics.ascender + 32) / 64;
    code_map map{&set};
    map.unicode = FT_Select_Charmap(face.get(), FT_ENCODING_UNICODE) == 0;
    if (!map.unicode) {
        // FreeType selects only a Unicode map by itself; the face's own codes are its first.
        if (face->num_charmaps > 0)
            FT_Set_Charmap(face.get(), face->charmaps[0]);
        map.native = native_charset(face.get());
    }
    for (unsigned code = 0; code < 256; ++code) {
        const std::optional<FT_ULong> character = char_code(map, static_cast<std::uint8_t>(code));
        const FT_UInt index = character ? FT_Get_Char_Index(face.get(), *character) : 0;
        if (index == 0) {
            // Fonts draw no control characters; lacking one is no loss worth a word.
            const char32_t point = set.code_points[code];
            if ((map.unicode || map.native) && point != no_character && !is_control(point))
                ++missing;
            continue;
        }
        const std::string problem = read_glyph(library, face.get(), index, ascent,
                                               glyph_name(map, static_cast<std::uint8_t>(code)), parsed.chr[code]);
        if (!problem.empty())
            return problem;
    }
    return "";
}

bool starts_with(std::span<const std::uint8_t> data, std::string_view magic)
{
    return data.size() >= magic.size() && std::equal(magic.begin(), magic.end(), data.begin(),
                                                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

} // namespace

std::string read_freetype_font(std::span<const std::uint8_t> data, const charset& set,
                               std::optional<std::uint32_t> size, struct font& result, std::string& warning)
{
    if (data.size() > max_freetype_input)
        return "the file is larger than " + byte_size(max_freetype_input);
    if (size && (*size < 1 || *size > max_freetype_size))
        return "the size must be 1 to " + std::to_string(max_freetype_size) + " pixels";
    std::vector<std::uint8_t> plain;
    if (is_gzip(data)) {
        // A gzipped font may unpack to as much as FreeType reads, no less and no more.
        if (std::string problem = gunzip(data, plain, max_freetype_input); !problem.empty())
            return problem;
        data = plain;
    }
    // FreeType would decompress these itself, with no bound on the size.
    if (is_gzip(data) || starts_with(data, "\x1F\x9D") || starts_with(data, "BZh"))
        return "the font is compressed again inside, or with compress or bzip2; decompress it first";

    FT_Library opened = nullptr;
    if (FT_Error error = FT_Init_FreeType(&opened))
        return "FreeType cannot start: " + describe(error);
    const library_ptr library(opened);
    choice chosen;
    if (std::string problem = choose(library.get(), data, size, chosen); !problem.empty())
        return problem;
    struct font parsed {};
    std::uint32_t missing = 0;
    if (std::string problem = read_face(library.get(), data, set, chosen, parsed, missing); !problem.empty())
        return problem;
    result = parsed;
    warning = missing == 0 ? "" : "the font lacks " + counted(missing, "character") + " of " + set.name +
                                      (missing == 1 ? "; its glyph is" : "; their glyphs are") + " left blank";
    return "";
}
