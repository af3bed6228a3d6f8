#include "formats/bdffile.hpp"
#include "formats/charset.hpp"
#include "formats/freetypefont.hpp"
#include "formats/gzipdata.hpp"
#include "art/words.hpp"
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

const charset& code_page(const char* name)
{
    const charset* found = nullptr;
    EXPECT_EQ(find_charset(name, found), "") << name;
    return found ? *found : latin1_charset;
}

// Reads through FreeType expecting no warning.
std::string read_font(const bytes& data, const charset& set, std::optional<std::uint32_t> size, struct font& got)
{
    std::string warning;
    const std::string problem = read_freetype_font(data, set, size, got, warning);
    EXPECT_EQ(warning, "");
    return problem;
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
    ASSERT_EQ(read_font(fon, code_page("cp437"), std::nullopt, got), "");
    expect_same_font(got, eight, "an OEM font read as cp437");
    ASSERT_EQ(read_font(windows_fnt(face_of(eight, 8, 7)), code_page("cp437"), std::nullopt, got), "");
    expect_same_font(got, eight, "a bare FNT");

    const struct font before = got;
    EXPECT_EQ(read_font(fon, code_page("cp437"), 10, got),
              "glyph 0x67 (U+0067) does not fit the 8 x 8 cell: its pixels span columns 0 to 7 and rows 0 to 9, "
              "row 0 being the font's ascent above the baseline");
    EXPECT_EQ(read_font(fon, code_page("cp437"), 12, got),
              "the font has no strike 12 pixels high; its strikes are 8, 10 pixels high");
    EXPECT_EQ(read_font(windows_fon({windows_fnt(tall)}), code_page("cp437"), std::nullopt, got),
              "every strike of the font is taller than the 8 x 8 cell (10 pixels high); choose one with --size");
    expect_same_font(got, before, "after failures");
}

// A Windows font of each kind of code page, read into other pages: code b gets the glyph
// of the character the chosen page puts at b, wherever the font's own page holds it;
// the rest are blank, and the warning counts those that are not control characters.
TEST(FreeTypeFont, WindowsFontsAreMappedThroughUnicodeIntoTheChosenPage)
{
    const struct font eight = random_font(5);
    const std::pair<std::uint8_t, const char*> fonts[] = {{0, "cp1252"}, {255, "cp437"}, {204, "cp1251"}};
    for (const auto& [id, own_name] : fonts)
        for (const char* target_name : {"latin1", "cp437", "cp1252", "cp1251", "koi8-r"}) {
            SCOPED_TRACE(std::string(own_name) + " font read as " + target_name);
            const charset& own = code_page(own_name);
            const charset& target = code_page(target_name);
            struct font expected {};
            std::uint32_t missing = 0;
            for (std::size_t code = 0; code < 256; ++code) {
                const char32_t point = target.code_points[code];
                if (const auto at = code_of(own, point))
                    expected.chr[code] = eight.chr[*at];
                else if (point != no_character && !is_control(point))
                    ++missing;
            }
            fnt_face face = face_of(eight, 8, 7);
            face.charset = id;
            struct font got {};
            std::string warning;
            ASSERT_EQ(read_freetype_font(windows_fnt(face), target, std::nullopt, got, warning), "");
            expect_same_font(got, expected, "");
            EXPECT_EQ(warning, missing == 0 ? "" : "the font lacks " + std::to_string(missing) + " characters of " +
                                                      target_name + "; their glyphs are left blank");
        }
    // The bullet and the florin of an ANSI font, where cp437 puts them.
    fnt_face ansi = face_of(eight, 8, 7);
    ansi.charset = 0;
    struct font got {};
    std::string warning;
    ASSERT_EQ(read_freetype_font(windows_fnt(ansi), code_page("cp437"), std::nullopt, got, warning), "");
    EXPECT_EQ(got.chr[0x07].bitmap, eight.chr[0x95].bitmap);
    EXPECT_EQ(got.chr[0x9F].bitmap, eight.chr[0x83].bitmap);
}

// Debian's own X fonts: FreeType's glyphs must be the ones pcf2bdf dumps and the BDF
// reader places, in a Unicode font and in ones with their own code page, read into it.
TEST(FreeTypeFont, DebianPcfFontsMatchTheirBdfDumps)
{
    temp_dir dir;
    const std::pair<std::string, const char*> fonts[] = {
        {"5x8", "latin1"}, {"5x8-KOI8-R", "koi8-r"}, {"5x8-ISO8859-2", "iso-8859-2"}};
    for (const auto& [name, page] : fonts) {
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
        ASSERT_EQ(read_font(pcf, code_page(page), std::nullopt, got), "");
        expect_same_font(got, expected, name);
        // The BDF reader maps the dump through its charset properties as FreeType maps the font.
        for (const char* target : {"cp437", "cp866", "koi8-r", "latin1"}) {
            struct font from_bdf {};
            std::string freetype_warning, bdf_warning;
            ASSERT_EQ(read_freetype_font(pcf, code_page(target), std::nullopt, got, freetype_warning), "");
            ASSERT_EQ(read_bdf(read_file(dir.file("dump.bdf")), code_page(target), from_bdf, bdf_warning), "");
            expect_same_font(from_bdf, got, name + " read as " + target);
            EXPECT_EQ(bdf_warning, freetype_warning) << target;
        }
        if (name == "5x8-KOI8-R") {
            // Its Cyrillic goes where cp866 has it, and nowhere near latin1's letters.
            std::string warning;
            ASSERT_EQ(read_freetype_font(pcf, code_page("cp866"), std::nullopt, got, warning), "");
            EXPECT_EQ(got.chr[0x80].bitmap, expected.chr[0xE1].bitmap); // CYRILLIC CAPITAL A
            EXPECT_EQ(got.chr[0xA0].bitmap, expected.chr[0xC1].bitmap); // cyrillic small a
            ASSERT_EQ(read_freetype_font(pcf, latin1_charset, std::nullopt, got, warning), "");
            EXPECT_EQ(got.chr[0xC0].bitmap, fontchar{}.bitmap);
            EXPECT_EQ(warning, "the font lacks 90 characters of latin1; their glyphs are left blank");
        }
        if (name != "5x8")
            continue;
        // Through cp437, every character below U+0100 is the same glyph, and the box
        // drawing that latin1 lacks comes in too.
        ASSERT_EQ(read_font(pcf, code_page("cp437"), std::nullopt, got), "");
        for (std::size_t code = 0; code < 256; ++code) {
            if (const char32_t point = code_page("cp437").code_points[code]; point < 256) {
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
    ASSERT_EQ(read_font(pcf, latin1_charset, std::nullopt, got), "");
    expect_same_font(got, original, "PCF");
    got = {};
    ASSERT_EQ(read_font(gzipped(pcf), latin1_charset, std::nullopt, got), "");
    expect_same_font(got, original, "gzipped PCF");

    EXPECT_NE(read_font(bytes(pcf.begin(), pcf.begin() + pcf.size() / 2), latin1_charset, std::nullopt, got), "");
    EXPECT_EQ(read_font(bytes(100, 'x'), latin1_charset, std::nullopt, got),
              "the file ends early or is not a font that FreeType can read (FreeType error 0x55)");
    EXPECT_EQ(read_font(gzipped(gzipped(pcf)), latin1_charset, std::nullopt, got),
              "the font is compressed again inside, or with compress or bzip2; decompress it first");
    EXPECT_EQ(read_font(pcf, latin1_charset, 0, got), "the size must be 1 to 64 pixels");
    expect_same_font(got, original, "after failures");
}

// Outlines: our TrueType at its design size comes back as the same 2048 bytes under
// either code page; at twice the size the doubled glyphs no longer fit.
TEST(FreeTypeFont, TrueTypeRoundTripsAtEightPixels)
{
    const struct font original = random_font(4);
    for (const charset* set : {&latin1_charset, &code_page("cp437")}) {
        SCOPED_TRACE(set->name);
        const bytes ttf = write_truetype(original, *set, "Lopsided");
        struct font got {};
        ASSERT_EQ(read_font(ttf, *set, std::nullopt, got), "");
        EXPECT_EQ(write_font_file(got), write_font_file(original));
        EXPECT_EQ(read_font(ttf, *set, 16, got).substr(0, 50),
                  "glyph 0x00 (U+0000) does not fit the 8 x 8 cell: i");
    }
}

// A TrueType font made by fontTools whose grave accent lies wholly above the ascent and
// whose tilde lies below the cell: the grave is named, being first in code order.
TEST(FreeTypeFont, AGlyphOutsideTheCellOnAnySideIsNamedFirstInCodeOrder)
{
    const temp_dir dir;
    const char* script = R"(import sys
from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen
def box(x0, y0, x1, y1):
    pen = TTGlyphPen(None)
    pen.moveTo((x0, y0)); pen.lineTo((x0, y1)); pen.lineTo((x1, y1)); pen.lineTo((x1, y0)); pen.closePath()
    return pen.glyph()
boxes = {".notdef": (0, 0, 512, 512), "A": (128, 0, 512, 768), "grave": (256, 1024, 512, 1152),
         "asciitilde": (128, -384, 512, -256)}
builder = FontBuilder(1024, isTTF=True)
builder.setupGlyphOrder(list(boxes))
builder.setupCharacterMap({0x41: "A", 0x60: "grave", 0x7E: "asciitilde"})
builder.setupGlyf({name: box(*b) for name, b in boxes.items()})
builder.setupHorizontalMetrics({name: (1024, b[0]) for name, b in boxes.items()})
builder.setupHorizontalHeader(ascent=896, descent=-128)
builder.setupNameTable({"familyName": "Above", "styleName": "Regular"})
builder.setupOS2(sTypoAscender=896, sTypoDescender=-128, usWinAscent=896, usWinDescent=128)
builder.setupPost()
builder.save(sys.argv[1])
)";
    const finished_run made = run_program({"/usr/bin/python3", "-c", script, dir.file("above.ttf")}, dir.path);
    ASSERT_EQ(made.status, 0) << made.errors;
    struct font got {};
    std::string warning;
    EXPECT_EQ(read_freetype_font(read_file(dir.file("above.ttf")), latin1_charset, std::nullopt, got, warning),
              "glyph 0x60 (U+0060) does not fit the 8 x 8 cell: its pixels span columns 2 to 3 and rows -2 to -2, "
              "row 0 being the font's ascent above the baseline");

    // Debian's 9-pixel Courier: FreeType puts its grave at rows -2 and -1.
    const std::string courier = "/usr/share/fonts/X11/75dpi/courB08.pcf.gz";
    const bytes pcf = read_file(courier);
    ASSERT_FALSE(pcf.empty()) << courier << " is missing; scripts/setup installs xfonts-75dpi";
    EXPECT_EQ(read_freetype_font(pcf, latin1_charset, 9, got, warning),
              "glyph 0x60 (U+0060) does not fit the 8 x 8 cell: its pixels span columns 2 to 3 and rows -2 to -1, "
              "row 0 being the font's ascent above the baseline");
}

// A gzipped font may unpack to what FreeType reads: unifont's 16-pixel strike comes in
// and is refused for its height, not for the console fonts' smaller limit.
TEST(FreeTypeFont, GzippedFontsUnpackToFreeTypesLimitAndLimitsAreSaidInMebibytes)
{
    const std::string unifont = "/usr/share/fonts/X11/misc/unifont.pcf.gz";
    const bytes packed = read_file(unifont);
    ASSERT_FALSE(packed.empty()) << unifont << " is missing; scripts/setup installs xfonts-unifont";
    bytes plain;
    EXPECT_EQ(gunzip(packed, plain), "the gzip data decompresses to more than 4 MiB");
    struct font got {};
    EXPECT_EQ(read_font(packed, latin1_charset, std::nullopt, got),
              "every strike of the font is taller than the 8 x 8 cell (16 pixels high); choose one with --size");
    EXPECT_EQ(read_font(packed, latin1_charset, 16, got).substr(0, 64),
              "glyph 0x00 (U+0000) does not fit the 8 x 8 cell: its pixels span");

    const bytes too_large = gzipped(bytes(max_freetype_input + 1));
    EXPECT_EQ(gunzip(too_large, plain, max_freetype_input), "the gzip data decompresses to more than 64 MiB");
    EXPECT_EQ(read_font(too_large, latin1_charset, std::nullopt, got),
              "the gzip data decompresses to more than 64 MiB");
    EXPECT_EQ(byte_size(std::size_t{16} << 10), "16 KiB");
    EXPECT_EQ(byte_size(1536), "1536 bytes");
    EXPECT_EQ(byte_size(1), "1 byte");
}

// A font written as BDF in a code page names it, and FreeType, reading the compiled
// font, maps its glyphs through that page into another.
TEST(FreeTypeFont, BdfNamesItsCodePageAndFreeTypeFollowsIt)
{
    const struct font original = random_font(6);
    const temp_dir dir;
    const bytes bdf = write_bdf(original, "Paged", code_page("koi8-r"));
    const std::string text(bdf.begin(), bdf.end());
    EXPECT_NE(text.find("CHARSET_REGISTRY \"KOI8\"\nCHARSET_ENCODING \"R\"\n"), std::string::npos);
    EXPECT_NE(text.find("-c-80-koi8-r\n"), std::string::npos);
    write_file(dir.file("paged.bdf"), bdf);
    const finished_run made =
        run_program({"/usr/bin/bdftopcf", "-o", dir.file("paged.pcf"), dir.file("paged.bdf")}, dir.path);
    ASSERT_EQ(made.status, 0) << made.errors;
    const bytes pcf = read_file(dir.file("paged.pcf"));
    struct font got {};
    ASSERT_EQ(read_font(pcf, code_page("koi8-r"), std::nullopt, got), "");
    expect_same_font(got, original, "read in its own page");
    std::string warning;
    ASSERT_EQ(read_freetype_font(pcf, code_page("cp866"), std::nullopt, got, warning), "");
    EXPECT_EQ(got.chr[0x80].bitmap, original.chr[0xE1].bitmap); // CYRILLIC CAPITAL A
}

} // namespace
