#include "formats/bdffile.hpp"
#include "art/bitmap.hpp"
#include "formats/cheader.hpp"
#include "art/fonts.hpp"
#include "formats/gzipdata.hpp"
#include "formats/psffile.hpp"
#include "support.hpp"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// Every glyph different from every other, from its own mirror image and from its rows
// in another order, so a missing mirror or a transposition cannot round-trip.
struct font distinct_font()
{
    struct font result {};
    for (std::size_t b = 0; b < 256; ++b)
        result.chr[b].bitmap = {static_cast<std::uint8_t>(b), 0x01, 0x03, 0x07, 0x0F, 0x1F,
                                static_cast<std::uint8_t>(b * 7), static_cast<std::uint8_t>(0x3F ^ b)};
    return result;
}

bytes font_bytes(const struct font& f)
{
    return write_font_file(f);
}

bytes gzipped(const bytes& data)
{
    bytes packed;
    EXPECT_EQ(gzip(data, packed), "");
    return packed;
}

bytes text_bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

// A glyph drawn as 8 rows of '.' and 'X', column 0 at the left.
fontchar drawn(const std::vector<std::string>& rows)
{
    fontchar glyph{};
    for (std::size_t r = 0; r < 8; ++r)
        for (std::size_t c = 0; c < 8; ++c)
            if (rows[r][c] == 'X')
                glyph.bitmap[r] |= static_cast<std::uint8_t>(1u << c);
    return glyph;
}

TEST(FontFormats, PsfAndBdfRoundTripsAreExactAndMirrorRows)
{
    const struct font original = distinct_font();
    const bytes psf1 = write_psf(original, 1);
    const bytes psf2 = write_psf(original, 2);
    ASSERT_EQ(psf1.size(), 4u + 2048u);
    ASSERT_EQ(psf2.size(), 32u + 2048u);
    EXPECT_EQ(bytes(psf1.begin(), psf1.begin() + 4), (bytes{0x36, 0x04, 0, 8}));
    EXPECT_EQ(bytes(psf2.begin(), psf2.begin() + 32),
              (bytes{0x72, 0xB5, 0x4A, 0x86, 0, 0, 0, 0, 32, 0, 0, 0, 0, 0, 0, 0,
                     0, 1, 0, 0, 8, 0, 0, 0, 8, 0, 0, 0, 8, 0, 0, 0}));
    // Glyph 0x41, row 1 holds only the leftmost pixel: the top bit in PSF and BDF.
    EXPECT_EQ(psf2[32 + 0x41 * 8 + 1], 0x80);
    const bytes bdf_bytes = write_bdf(original, "distinct");
    const std::string bdf(bdf_bytes.begin(), bdf_bytes.end());
    EXPECT_NE(bdf.find("ENCODING 65\nSWIDTH 1000 0\nDWIDTH 8 0\nBBX 8 8 0 -1\nBITMAP\n82\n80\nC0\n"),
              std::string::npos);

    const std::vector<std::pair<std::string, bytes>> encoded = {
        {"PSF1", psf1}, {"PSF2", psf2}, {"gzip PSF2", gzipped(psf2)}, {"BDF", bdf_bytes}};
    for (const auto& [format, data] : encoded) {
        struct font back {};
        std::string warning = "stale";
        std::string error;
        if (format == "BDF") {
            error = read_bdf(data, back);
            warning.clear();
        } else {
            bytes plain = data;
            if (is_gzip(data))
                error = gunzip(data, plain);
            if (error.empty())
                error = read_psf(plain, back, warning);
        }
        EXPECT_EQ(error, "") << format;
        EXPECT_EQ(warning, "") << format;
        EXPECT_EQ(font_bytes(back), font_bytes(original)) << format;
    }
    // No time stamp: the same data compresses to the same bytes.
    const bytes packed = gzipped(psf2);
    EXPECT_EQ(gzipped(psf2), packed);
    EXPECT_EQ(bytes(packed.begin() + 4, packed.begin() + 8), (bytes{0, 0, 0, 0}));
}

TEST(FontFormats, ConsoleFontReadsWithAnAAndWritesBackTheSameRows)
{
    const bytes packed = read_file("/usr/share/consolefonts/Lat15-VGA8.psf.gz");
    ASSERT_FALSE(packed.empty()) << "console-setup-linux is not installed";
    ASSERT_TRUE(is_gzip(packed));
    bytes psf;
    ASSERT_EQ(gunzip(packed, psf), "");
    struct font console {};
    std::string warning;
    ASSERT_EQ(read_psf(psf, console, warning), "");
    EXPECT_EQ(warning, "");
    EXPECT_EQ(console.chr['A'].bitmap, drawn({"..XXX...",
                                              ".XX.XX..",
                                              "XX...XX.",
                                              "XXXXXXX.",
                                              "XX...XX.",
                                              "XX...XX.",
                                              "XX...XX.",
                                              "........"}).bitmap);
    // Written again, the glyph rows are the original file's, byte for byte.
    const bytes again = write_psf(console, 1);
    EXPECT_EQ(bytes(again.begin() + 4, again.end()), bytes(psf.begin() + 4, psf.begin() + 4 + 2048));
}

// What FreeType renders of glyph `code` of the face, as font rows (bit 0 leftmost),
// or a message saying why it is not an 8 x 8 bitmap on the cell's baseline.
std::string freetype_glyph(FT_Face face, std::uint32_t code, fontchar& glyph)
{
    const FT_UInt index = FT_Get_Char_Index(face, code);
    if (index == 0 || FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0)
        return "no glyph";
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_MONO || bitmap.width != 8 || bitmap.rows != 8 || slot->bitmap_left != 0 ||
        slot->bitmap_top != 7 || slot->advance.x != 8 * 64)
        return "a " + std::to_string(bitmap.width) + " x " + std::to_string(bitmap.rows) + " bitmap at (" +
               std::to_string(slot->bitmap_left) + ", " + std::to_string(slot->bitmap_top) + ")";
    // FreeType's rows hold the leftmost pixel in the top bit.
    for (std::size_t row = 0; row < 8; ++row)
        glyph.bitmap[row] = mirror_row(bitmap.buffer[static_cast<std::ptrdiff_t>(row) * bitmap.pitch]);
    return "";
}

TEST(FontFormats, TheWrittenBdfIsAcceptedByBdftopcfBdf2psfAndFreeType)
{
    temp_dir dir;
    const struct font original = distinct_font();
    write_file(dir.file("font.bdf"), write_bdf(original, "my-font \xC3\xBC?2"));
    const finished_run pcf = run_program({"/usr/bin/bdftopcf", "-o", dir.file("font.pcf"), dir.file("font.bdf")}, dir.path);
    EXPECT_EQ(pcf.status, 0) << pcf.errors;
    EXPECT_FALSE(read_file(dir.file("font.pcf")).empty());

    // The console font builder puts the ASCII set's glyphs at their own codes.
    const finished_run psf = run_program({"/usr/bin/bdf2psf", dir.file("font.bdf"), "/usr/share/bdf2psf/standard.equivalents",
                                          "/usr/share/bdf2psf/ascii.set", "256", dir.file("font.psf")},
                                         dir.path);
    ASSERT_EQ(psf.status, 0) << psf.errors;
    struct font console {};
    std::string warning;
    ASSERT_EQ(read_psf(read_file(dir.file("font.psf")), console, warning), "");
    for (std::size_t code = 0x20; code < 0x7F; ++code)
        EXPECT_EQ(console.chr[code].bitmap, original.chr[code].bitmap) << "glyph " << code;

    FT_Library library = nullptr;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    FT_Face face = nullptr;
    ASSERT_EQ(FT_New_Face(library, dir.file("font.bdf").c_str(), 0, &face), 0);
    EXPECT_STREQ(face->family_name, "my font 2");
    EXPECT_STREQ(face->style_name, "Regular");
    ASSERT_EQ(face->num_fixed_sizes, 1);
    EXPECT_EQ(face->available_sizes[0].height, 8);
    ASSERT_EQ(FT_Select_Size(face, 0), 0);
    for (std::uint32_t code = 0; code < 256; ++code) {
        fontchar glyph{};
        EXPECT_EQ(freetype_glyph(face, code, glyph), "") << "glyph " << code;
        EXPECT_EQ(glyph.bitmap, original.chr[code].bitmap) << "glyph " << code;
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}

TEST(FontFormats, BdfGlyphsOfOtherSizesLandWhereTheirBoxesSay)
{
    // Ascent 6: the cell's top is 6 rows above the baseline. CRLF line ends throughout.
    std::string text = "STARTFONT 2.2\nCOMMENT drawn by hand\nFONTBOUNDINGBOX 8 8 0 -2\n"
                       "STARTPROPERTIES 1\nFONT_ASCENT 6\nENDPROPERTIES\nCHARS 5\n"
                       // 3 x 2 at (2, 1): top row at 6 - (1 + 2) = 3; padded to 16 bits.
                       "STARTCHAR a\nENCODING 97\nBBX 3 2 2 1\nBITMAP\nE000\nA000\nENDCHAR\n"
                       // No BBX: the font's box, 8 x 8 from the top row.
                       "STARTCHAR b\nENCODING 98\nBITMAP\n01\n02\n04\n08\n10\n20\n40\n80\nENDCHAR\n"
                       // 1 x 1 in the bottom-right corner: (7, -2).
                       "STARTCHAR c\nENCODING 99\nBBX 1 1 7 -2\nBITMAP\n80\nENDCHAR\n"
                       // Too wide, but skipped: not a code of the font.
                       "STARTCHAR x\nENCODING -1\nBBX 16 2 0 0\nBITMAP\nFFFF\nFFFF\nENDCHAR\n"
                       "STARTCHAR y\nENCODING 300\nBBX 1 1 0 0\nBITMAP\n80\nENDCHAR\nENDFONT\n";
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2))
        text.insert(at, "\r");
    struct font expected {};
    expected.chr['a'] = drawn({"........", "........", "........", "..XXX...",
                               "..X.X...", "........", "........", "........"});
    expected.chr['b'] = drawn({".......X", "......X.", ".....X..", "....X...",
                               "...X....", "..X.....", ".X......", "X......."});
    expected.chr['c'].bitmap[7] = 0x80;
    struct font result {};
    ASSERT_EQ(read_bdf(text_bytes(text), result), "");
    EXPECT_EQ(font_bytes(result), font_bytes(expected));
}

TEST(FontFormats, ReadersNameWhatIsWrong)
{
    const bytes psf2 = write_psf(distinct_font(), 2);
    bytes tall = {0x36, 0x04, 0, 16};
    tall.resize(4 + 256 * 16);
    bytes short_header = psf2;
    short_header[8] = 31;
    const std::vector<std::pair<bytes, std::string>> psf_cases = {
        {tall, "glyphs are 8 x 16; only 8 x 8 fonts can be read"},
        {bytes(psf2.begin(), psf2.end() - 1),
         "the glyph data is truncated: 256 glyphs of 8 bytes need 2080 bytes, the file has 2079"},
        {bytes{0x72, 0xB5, 0x4A, 0x87}, "this is not a PSF font: it starts with neither 36 04 nor 72 B5 4A 86"},
        {short_header, "the header size 31 is not between 32 and the file size 2080"},
    };
    for (const auto& [data, message] : psf_cases) {
        struct font untouched = distinct_font();
        std::string warning;
        EXPECT_EQ(read_psf(data, untouched, warning), message);
        EXPECT_EQ(font_bytes(untouched), font_bytes(distinct_font())) << "a failed read changed the font";
    }

    const std::string head = "STARTFONT 2.1\nFONTBOUNDINGBOX 8 8 0 -1\nCHARS 1\nSTARTCHAR A\n";
    const std::vector<std::pair<std::string, std::string>> bdf_cases = {
        {head + "ENCODING 65\nBBX 9 8 0 -1\nBITMAP\n",
         "glyph 0x41 (line 4) is 9 x 8 at offset (0, -1) and does not fit the 8 x 8 cell"},
        {head + "ENCODING 65\nBBX 2 2 0 7\nBITMAP\n",
         "glyph 0x41 (line 4) is 2 x 2 at offset (0, 7) and does not fit the 8 x 8 cell"},
        {head + "ENCODING 65\nBBX 8 1 0 0\nBITMAP\n4G\nENDCHAR\nENDFONT\n",
         "line 8: a bitmap row of glyph 0x41 (line 4) holds a character that is not a hexadecimal digit"},
        {head + "ENCODING 65\nBBX 8 2 0 0\nBITMAP\n40\nENDCHAR\nENDFONT\n",
         "line 9: glyph 0x41 (line 4) has 1 bitmap row; its BBX says 2"},
        {head + "ENCODING A\n", "line 5: ENCODING needs a number"},
        {head + "ENCODING 65\nBITMAP\n00\n00\n00\n00\n00\n00\n00\n00\nENDCHAR\n", "the file ends before ENDFONT"},
    };
    for (const auto& [text, message] : bdf_cases) {
        struct font result {};
        EXPECT_EQ(read_bdf(text_bytes(text), result), message);
    }

    // Counts in messages agree with their nouns.
    struct font untouched {};
    EXPECT_EQ(read_font_file(bytes{7}, untouched), "the file is 1 byte long; a font file has 2048");
    bitmap sprite{};
    EXPECT_EQ(read_sprite_file(bytes{1}, sprite), "the file is 1 byte long; a sprite file has at least 2");
    EXPECT_EQ(read_sprite_file(bytes{}, sprite), "the file is 0 bytes long; a sprite file has at least 2");

    bytes packed = gzipped(psf2);
    bytes plain;
    EXPECT_EQ(gunzip(bytes(packed.begin(), packed.end() - 9), plain), "the gzip data is truncated");
    packed[packed.size() / 2] ^= 0xFF;
    EXPECT_EQ(gunzip(packed, plain), "the gzip data is corrupt");
    EXPECT_EQ(gunzip(gzipped(bytes(max_gunzip_size + 1)), plain),
              "the gzip data decompresses to more than 4 MiB");
    EXPECT_TRUE(plain.empty()) << "a failed gunzip changed its output";
}

TEST(FontFormats, PsfWithOtherGlyphCountsWarns)
{
    bytes psf1 = write_psf(distinct_font(), 1);
    psf1[2] = 0x01; // 512 glyphs
    psf1.resize(4 + 512 * 8, 0xFF);
    struct font result {};
    std::string warning;
    ASSERT_EQ(read_psf(psf1, result, warning), "");
    EXPECT_EQ(warning, "the font has 512 glyphs; only the first 256 were read");
    EXPECT_EQ(font_bytes(result), font_bytes(distinct_font()));

    bytes psf2 = write_psf(distinct_font(), 2);
    psf2[16] = 200;
    psf2[17] = 0;
    ASSERT_EQ(read_psf(psf2, result, warning), "");
    EXPECT_EQ(warning, "the font has 200 glyphs; the other 56 were left blank");
    EXPECT_EQ(result.chr[199].bitmap, distinct_font().chr[199].bitmap);
    EXPECT_EQ(result.chr[200].bitmap, fontchar{}.bitmap);
}

TEST(FontFormats, CHeadersCompileAsCAndCxx)
{
    temp_dir dir;
    std::uint8_t pixels[] = {0, 15, 255, 7, 8, 9};
    const bitmap sprite{.height = 3, .width = 2, .bitmap = pixels};
    std::string sprite_header;
    ASSERT_EQ(write_sprite_header(sprite, c_identifier("3-hero", "sprite"), sprite_header), "");
    write_file(dir.file("sprite.h"), text_bytes(sprite_header));
    std::string font_header;
    ASSERT_EQ(write_font_header(distinct_font(), c_identifier("_Bool", "font"), font_header), "");
    write_file(dir.file("font.h"), text_bytes(font_header));
    // Included twice: the guard must hold. The sizes must be constants C can size arrays with.
    const std::string program =
        "#include \"sprite.h\"\n#include \"font.h\"\n#include \"sprite.h\"\n#include <stdio.h>\n"
        "int main(void) {\n"
        "    char size_check[sprite_3_hero_width * sprite_3_hero_height == 6 ? 1 : -1];\n"
        "    (void)size_check;\n"
        "    printf(\"%d %d %d %d %d\\n\", sprite_3_hero_width, sprite_3_hero_height, sprite_3_hero[2],\n"
        "           sprite_3_hero[5], (int)sizeof sprite_3_hero);\n"
        "    printf(\"%d %d %d\\n\", font_Bool[0x41][0], font_Bool[0x41][7], font_Bool[0xFF][6]);\n"
        "    return 0;\n}\n";
    write_file(dir.file("main.c"), text_bytes(program));
    write_file(dir.file("main.cpp"), text_bytes(program));
    // clang also says when a name is reserved to the implementation.
    for (const auto& [compiler, source] : {std::pair{"cc", "main.c"}, std::pair{"c++", "main.cpp"},
                                           std::pair{"clang", "main.c"}, std::pair{"clang++", "main.cpp"}}) {
        std::vector<std::string> command = {std::string("/usr/bin/") + compiler, "-Wall", "-Wextra", "-pedantic",
                                            "-Werror", "-o", dir.file("main"), dir.file(source)};
        if (compiler[0] == 'c' && compiler[1] == 'l')
            command.insert(command.begin() + 1, "-Wreserved-identifier");
        const finished_run build = run_program(command, dir.path, std::chrono::seconds(60));
        ASSERT_EQ(build.status, 0) << compiler << ": " << build.errors;
        const finished_run run = run_program({dir.file("main")}, dir.path);
        EXPECT_EQ(run.output, "2 3 255 9 6\n65 126 249\n") << compiler;
    }
    EXPECT_EQ(write_sprite_header(bitmap{.height = 0, .width = 4, .bitmap = nullptr}, "empty", sprite_header),
              "the sprite is 4 x 0 and has no pixels to write");
    const std::vector<std::pair<std::string, std::string>> names = {
        {"my font.v2", "my_font_v2"}, {"866_8x8", "font_866_8x8"}, {"\xC3\xBC" "ber", "font_ber"},
        {"gr\xC3\xBC\xC3\x9F" "e", "gr_e"}, {"_Bool", "font_Bool"}, {"int", "font_int"}, {"a.b.c", "a_b_c"},
        {"x__y_", "x_y"}, {"", "font"}, {"...", "font"}};
    for (const auto& [name, identifier] : names)
        EXPECT_EQ(c_identifier(name, "font"), identifier) << name;
}

} // namespace
