#include "formats/bdffile.hpp"
#include "formats/charset.hpp"
#include "formats/freetypefont.hpp"
#include "formats/gzipdata.hpp"
#include "support.hpp"
#include "formats/truetype.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// Random pixels in every row and column: lopsided, so a mirrored or shifted glyph shows.
struct font random_font(unsigned seed)
{
    std::mt19937 random(seed);
    struct font result {};
    for (fontchar& glyph : result.chr)
        for (std::uint8_t& row : glyph.bitmap)
            row = static_cast<std::uint8_t>(random());
    return result;
}

std::string glyph_text(const fontchar& glyph)
{
    std::string text;
    for (const std::uint8_t row : glyph.bitmap) {
        for (int column = 0; column < 8; ++column)
            text += (row >> column & 1) ? 'X' : '.';
        text += '\n';
    }
    return text;
}

bytes gzipped(const bytes& data)
{
    bytes packed;
    EXPECT_EQ(gzip(data, packed), "");
    return packed;
}

// Compares every glyph, naming the first that differs.
void expect_same_font(const struct font& got, const struct font& expected, const std::string& what)
{
    for (std::size_t code = 0; code < 256; ++code)
        if (got.chr[code].bitmap != expected.chr[code].bitmap) {
            ADD_FAILURE() << what << ": glyph " << code << " is\n"
                          << glyph_text(got.chr[code]) << "not\n"
                          << glyph_text(expected.chr[code]);
            return;
        }
}

void put16(bytes& out, std::size_t at, unsigned value)
{
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void put32(bytes& out, std::size_t at, unsigned value)
{
    put16(out, at, value & 0xFFFF);
    put16(out, at + 2, value >> 16);
}

// A face of a Windows bitmap font: 256 glyphs, each `widths[b]` pixels wide and
// `height` high; in rows[b][y] bit x is column x.
struct fnt_face {
    unsigned height = 8;
    unsigned ascent = 7;
    std::uint8_t charset = 255; // OEM
    std::array<unsigned, 256> widths{};
    std::array<std::vector<std::uint32_t>, 256> rows;
};

fnt_face face_of(const struct font& source, unsigned height, unsigned ascent)
{
    fnt_face face;
    face.height = height;
    face.ascent = ascent;
    for (std::size_t code = 0; code < 256; ++code) {
        face.widths[code] = 8 + code % 5; // some glyphs two bytes wide, blank past column 7
        face.rows[code].assign(height, 0);
        for (std::size_t y = 0; y < 8; ++y)
            face.rows[code][y + ascent - 7] = source.chr[code].bitmap[y];
    }
    return face;
}

// A version 2 FNT file: its 118-byte header, the table of widths and offsets, then the
// glyphs column by column (8 pixels a byte, the leftmost in the top bit), then the name.
bytes windows_fnt(const fnt_face& face)
{
    constexpr std::size_t header_size = 118;
    constexpr std::size_t table_size = 257 * 4;
    bytes out(header_size + table_size);
    for (std::size_t code = 0; code < 256; ++code) {
        put16(out, header_size + 4 * code, face.widths[code]);
        put16(out, header_size + 4 * code + 2, static_cast<unsigned>(out.size()));
        for (unsigned column = 0; column * 8 < face.widths[code]; ++column)
            for (unsigned y = 0; y < face.height; ++y) {
                std::uint8_t byte = 0;
                for (unsigned bit = 0; bit < 8; ++bit)
                    if (face.rows[code][y] >> (column * 8 + bit) & 1)
                        byte |= static_cast<std::uint8_t>(0x80u >> bit);
                out.push_back(byte);
            }
    }
    put16(out, header_size + 4 * 256 + 2, static_cast<unsigned>(out.size()));
    const std::size_t name_at = out.size();
    for (const char c : std::string("Lopsided"))
        out.push_back(static_cast<std::uint8_t>(c));
    out.push_back(0);
    put16(out, 0, 0x200);
    put32(out, 2, static_cast<unsigned>(out.size()));
    put16(out, 68, face.height); // points at 72 dots per inch: one pixel each
    put16(out, 70, 72);
    put16(out, 72, 72);
    put16(out, 74, face.ascent);
    put16(out, 83, 400); // weight
    out[85] = face.charset;
    put16(out, 88, face.height);
    put16(out, 91, 8);  // average width
    put16(out, 93, 12); // largest width
    out[95] = 0;        // first code
    out[96] = 255;      // last code
    out[98] = 32;       // break code
    put32(out, 104, static_cast<unsigned>(name_at));
    put32(out, 112, header_size + table_size);
    return out;
}

// A FON: an MZ stub whose NE header's resource table lists each FNT as a font resource.
bytes windows_fon(const std::vector<bytes>& fonts)
{
    constexpr std::size_t ne = 64, resources = 64, shift = 4;
    const std::size_t names = resources + 2 + 8 + 12 * fonts.size() + 2;
    bytes out(ne + names + 2);
    out[0] = 'M';
    out[1] = 'Z';
    put32(out, 60, ne);
    out[ne] = 'N';
    out[ne + 1] = 'E';
    put16(out, ne + 36, resources);
    put16(out, ne + 38, static_cast<unsigned>(names));
    const std::size_t table = ne + resources;
    put16(out, table, shift);
    put16(out, table + 2, 0x8008); // font resources
    put16(out, table + 4, static_cast<unsigned>(fonts.size()));
    for (std::size_t i = 0; i < fonts.size(); ++i) {
        out.resize((out.size() + 15) / 16 * 16);
        const std::size_t entry = table + 10 + 12 * i;
        put16(out, entry, static_cast<unsigned>(out.size() >> shift));
        put16(out, entry + 2, static_cast<unsigned>((fonts[i].size() + 15) >> shift));
        put16(out, entry + 4, 0x1C30);
        put16(out, entry + 6, static_cast<unsigned>(0x8001 + i));
        out.insert(out.end(), fonts[i].begin(), fonts[i].end());
    }
    return out;
}

TEST(FreeTypeFont, WindowsFontStrikesCodePagesAndPlacement)
{
    const struct font eight = random_font(1);
    fnt_face tall = face_of(random_font(2), 10, 7);
    tall.rows[0x67][9] = 1; // below the cell: the 10-pixel strike cannot come in whole
    // The tall face first, so the strike is chosen by height, not by order.
    const bytes fon = windows_fon({windows_fnt(tall), windows_fnt(face_of(eight, 8, 7))});

    struct font got {};
    ASSERT_EQ(read_freetype_font(fon, cp437_charset, std::nullopt, got), "");
    expect_same_font(got, eight, "an OEM font read as cp437");
    ASSERT_EQ(read_freetype_font(windows_fnt(face_of(eight, 8, 7)), cp437_charset, std::nullopt, got), "");
    expect_same_font(got, eight, "a bare FNT");

    // Read as latin1, each glyph moves to the code of its character there.
    struct font moved {};
    for (std::size_t code = 0; code < 256; ++code)
        if (const auto own = code_of(cp437_charset, static_cast<char32_t>(code)))
            moved.chr[code] = eight.chr[*own];
    ASSERT_EQ(read_freetype_font(fon, latin1_charset, std::nullopt, got), "");
    expect_same_font(got, moved, "an OEM font read as latin1");
    EXPECT_EQ(got.chr[0xE9].bitmap, eight.chr[0x82].bitmap); // e acute

    const struct font before = got;
    EXPECT_EQ(read_freetype_font(fon, cp437_charset, 10, got),
              "glyph 0x67 (U+0067) does not fit the 8 x 8 cell: its pixels span columns 0 to 7 and rows 0 to 9, "
              "row 0 being the font's ascent above the baseline");
    EXPECT_EQ(read_freetype_font(fon, cp437_charset, 12, got),
              "the font has no strike 12 pixels high; its strikes are 8, 10 pixels high");
    EXPECT_EQ(read_freetype_font(windows_fon({windows_fnt(tall)}), cp437_charset, std::nullopt, got),
              "every strike of the font is taller than the 8 x 8 cell (10 pixels high); choose one with --size");
    expect_same_font(got, before, "after failures");
}

// Debian's own X fonts: FreeType's glyphs must be the ones pcf2bdf dumps and the BDF
// reader places, in a Unicode font and in one with its own code page.
TEST(FreeTypeFont, DebianPcfFontsMatchTheirBdfDumps)
{
    temp_dir dir;
    for (const std::string name : {"5x8", "5x8-KOI8-R"}) {
        SCOPED_TRACE(name);
        const std::string path = "/usr/share/fonts/X11/misc/" + name + ".pcf.gz";
        const bytes pcf = read_file(path);
        ASSERT_FALSE(pcf.empty()) << path << " is missing; scripts/setup installs xfonts-base";
        const finished_run dump = run_program({"/usr/bin/pcf2bdf", "-o", dir.file("dump.bdf"), path}, dir.path);
        ASSERT_EQ(dump.status, 0) << dump.errors;
        struct font expected {};
        ASSERT_EQ(read_bdf(read_file(dir.file("dump.bdf")), expected), "");
        ASSERT_NE(expected.chr['A'].bitmap, fontchar{}.bitmap);

        struct font got {};
        ASSERT_EQ(read_freetype_font(pcf, latin1_charset, std::nullopt, got), "");
        expect_same_font(got, expected, name);
        if (name != "5x8")
            continue;
        // Through cp437, every character below U+0100 is the same glyph, and the box
        // drawing that latin1 lacks comes in too.
        ASSERT_EQ(read_freetype_font(pcf, cp437_charset, std::nullopt, got), "");
        for (std::size_t code = 0; code < 256; ++code) {
            if (const char32_t point = cp437_charset.code_points[code]; point < 256) {
                EXPECT_EQ(got.chr[code].bitmap, expected.chr[point].bitmap) << code;
            }
        }
        EXPECT_EQ(glyph_text(got.chr[0xC4]), "........\n........\n........\nXXXXX...\n"
                                             "........\n........\n........\n........\n");
    }
}

// Our own font through the X server's compiler bdftopcf, plain and gzipped, and what a
// damaged or foreign file gives.
TEST(FreeTypeFont, PcfFromBdftopcfRoundTripsAndDamageIsRefused)
{
    const struct font original = random_font(3);
    temp_dir dir;
    write_file(dir.file("font.bdf"), write_bdf(original, "random"));
    const finished_run made =
        run_program({"/usr/bin/bdftopcf", "-o", dir.file("font.pcf"), dir.file("font.bdf")}, dir.path);
    ASSERT_EQ(made.status, 0) << made.errors;
    const bytes pcf = read_file(dir.file("font.pcf"));

    struct font got {};
    ASSERT_EQ(read_freetype_font(pcf, latin1_charset, std::nullopt, got), "");
    expect_same_font(got, original, "PCF");
    got = {};
    ASSERT_EQ(read_freetype_font(gzipped(pcf), latin1_charset, std::nullopt, got), "");
    expect_same_font(got, original, "gzipped PCF");

    EXPECT_NE(read_freetype_font(bytes(pcf.begin(), pcf.begin() + pcf.size() / 2), latin1_charset, std::nullopt, got), "");
    EXPECT_EQ(read_freetype_font(bytes(100, 'x'), latin1_charset, std::nullopt, got),
              "the file ends early or is not a font that FreeType can read (FreeType error 0x55)");
    EXPECT_EQ(read_freetype_font(gzipped(gzipped(pcf)), latin1_charset, std::nullopt, got),
              "the font is compressed again inside, or with compress or bzip2; decompress it first");
    EXPECT_EQ(read_freetype_font(pcf, latin1_charset, 0, got), "the size must be 1 to 64 pixels");
    expect_same_font(got, original, "after failures");
}

// Outlines: our TrueType at its design size comes back as the same 2048 bytes under
// either code page; at twice the size the doubled glyphs no longer fit.
TEST(FreeTypeFont, TrueTypeRoundTripsAtEightPixels)
{
    const struct font original = random_font(4);
    for (const charset* set : all_charsets()) {
        SCOPED_TRACE(set->name);
        const bytes ttf = write_truetype(original, *set, "Lopsided");
        struct font got {};
        ASSERT_EQ(read_freetype_font(ttf, *set, std::nullopt, got), "");
        EXPECT_EQ(write_font_file(got), write_font_file(original));
        EXPECT_EQ(read_freetype_font(ttf, *set, 16, got).substr(0, 50),
                  "glyph 0x00 (U+0000) does not fit the 8 x 8 cell: i");
    }
}

} // namespace
