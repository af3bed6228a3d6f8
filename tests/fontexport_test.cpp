// The fonts written for engines and web pages, checked by the programs that read them:
// FreeType, the OpenType sanitizer browsers run, fontTools, and loaders that read
// BMFont lines by position.
#include "formats/bmfont.hpp"
#include "formats/charset.hpp"
#include "formats/pngimage.hpp"
#include "support.hpp"
#include "testfonts.hpp"
#include "formats/truetype.hpp"
#include "formats/woff2data.hpp"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

namespace {

// latin1, cp437 with its pictures, and a page with unassigned codes.
std::vector<const charset*> test_pages()
{
    std::vector<const charset*> pages{&latin1_charset};
    for (const char* name : {"cp437", "cp1252"}) {
        const charset* found = nullptr;
        EXPECT_EQ(find_charset(name, found), "");
        pages.push_back(found ? found : &latin1_charset);
    }
    return pages;
}

struct font default_font()
{
    struct font result {};
    EXPECT_EQ(read_font_file(read_file(DEFAULT_FONT_PATH), result), "");
    return result;
}

// The font FreeType draws from `ttf` at `scale` times 8 pixels per em, each glyph read
// back from the scale x scale blocks of its cell; `problems` collects every glyph that
// is misplaced, has a wrong advance, or is missing from the character map.
struct font drawn_by_freetype(const bytes& ttf, const charset& set, int scale, std::string& problems)
{
    struct font drawn {};
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    if (FT_Init_FreeType(&library) || FT_New_Memory_Face(library, ttf.data(), static_cast<FT_Long>(ttf.size()), 0, &face) ||
        FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(8 * scale))) {
        problems = "FreeType cannot open the font";
        FT_Done_FreeType(library);
        return drawn;
    }
    const int cell = 8 * scale;
    for (int code = 0; code < 256; ++code) {
        const char32_t point = set.code_points[static_cast<std::size_t>(code)];
        if (point == no_character)
            continue; // no character to look the glyph up by
        const FT_UInt index = FT_Get_Char_Index(face, point);
        if (index != static_cast<FT_UInt>(code + 1) ||
            FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_NO_HINTING | FT_LOAD_TARGET_MONO)) {
            problems += " code " + std::to_string(code) + " not mapped or not loaded;";
            continue;
        }
        const FT_GlyphSlot slot = face->glyph;
        if (slot->advance.x != cell * 64)
            problems += " code " + std::to_string(code) + " advances " + std::to_string(slot->advance.x / 64) + ";";
        const FT_Bitmap& image = slot->bitmap;
        for (unsigned int j = 0; j < image.rows; ++j)
            for (unsigned int i = 0; i < image.width; ++i) {
                if (!(image.buffer[j * static_cast<unsigned int>(image.pitch) + i / 8] & (0x80u >> (i % 8))))
                    continue;
                const int x = slot->bitmap_left + static_cast<int>(i);
                const int y = 7 * scale - slot->bitmap_top + static_cast<int>(j); // from the cell's top
                if (x < 0 || x >= cell || y < 0 || y >= cell)
                    problems += " code " + std::to_string(code) + " draws outside its cell;";
                else
                    drawn.chr[static_cast<std::size_t>(code)].bitmap[static_cast<std::size_t>(y / scale)] |=
                        static_cast<std::uint8_t>(1u << (x / scale));
            }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return drawn;
}

TEST(FontExport, FreeTypeDrawsEveryGlyphExactlyAt8AndDoubledAt16Pixels)
{
    for (const struct font& source : {default_font(), lopsided_font()})
        for (const charset* set : test_pages()) {
            const bytes ttf = write_truetype(source, *set, "Test Face");
            for (const int scale : {1, 2}) {
                std::string problems;
                const struct font drawn = drawn_by_freetype(ttf, *set, scale, problems);
                EXPECT_EQ(problems, "") << set->name << " at scale " << scale;
                // Drawn at 16 pixels, each block of four must have been all set or all clear
                // for the glyph to come back; so one comparison covers both sizes.
                struct font mapped = source; // a code with no character is in no character map
                for (std::size_t code = 0; code < 256; ++code)
                    if (set->code_points[code] == no_character)
                        mapped.chr[code] = {};
                EXPECT_EQ(write_font_file(drawn), write_font_file(mapped)) << set->name << " at scale " << scale;
            }
        }
}

TEST(FontExport, TrueTypeHasItsWholeFontChecksumAndTheSanitizerAndFontToolsTakeIt)
{
    const temp_dir dir;
    for (const charset* set : test_pages()) {
        const bytes ttf = write_truetype(lopsided_font(), *set, "Lop Sided");
        std::uint32_t sum = 0;
        for (std::size_t i = 0; i < ttf.size(); ++i)
            sum += static_cast<std::uint32_t>(ttf[i]) << (24 - 8 * (i % 4));
        EXPECT_EQ(sum, 0xB1B0AFBAu) << "checkSumAdjustment is wrong";
        EXPECT_EQ(write_truetype(lopsided_font(), *set, "Lop Sided"), ttf) << "the same font gives other bytes";

        bytes woff2;
        ASSERT_EQ(write_woff2(ttf, woff2), "");
        ASSERT_EQ(bytes(woff2.begin(), woff2.begin() + 4), (bytes{'w', 'O', 'F', '2'}));
        write_file(dir.file("font.ttf"), ttf);
        write_file(dir.file("font.woff2"), woff2);
        for (const char* name : {"font.ttf", "font.woff2"}) {
            const finished_run sanitized = run_program({"/usr/bin/ots-sanitize", dir.file(name), "/dev/null"}, dir.path);
            EXPECT_EQ(sanitized.status, 0) << name << ' ' << set->name << ": " << sanitized.output << sanitized.errors;
            EXPECT_NE(sanitized.output.find("File sanitized successfully!"), std::string::npos) << sanitized.output;
            // ttx logs on standard error, with a warning for anything it had to mend.
            const finished_run dumped = run_program({"/usr/bin/ttx", "-o", dir.file("dump.ttx"), dir.file(name)}, dir.path);
            EXPECT_EQ(dumped.status, 0) << name << ": " << dumped.errors;
            EXPECT_EQ(dumped.errors.find("WARNING"), std::string::npos) << name << ' ' << set->name << dumped.errors;
            EXPECT_EQ(dumped.errors.find("ERROR"), std::string::npos) << name << ' ' << set->name << dumped.errors;
            const bytes dump = read_file(dir.file("dump.ttx"));
            const std::string xml(dump.begin(), dump.end());
            EXPECT_NE(xml.find("<GlyphID id=\"256\""), std::string::npos) << "not 257 glyphs";
            EXPECT_NE(xml.find("<namerecord nameID=\"1\" platformID=\"3\" platEncID=\"1\" langID=\"0x409\">\n      Lop Sided"),
                      std::string::npos);
        }
    }
}

TEST(FontExport, FamilyNamesThatNoFontCanCarryAreRefused)
{
    EXPECT_EQ(family_name_problem("My Font 2"), "");
    EXPECT_EQ(family_name_problem(std::string(63, 'a')), "");
    EXPECT_EQ(family_name_problem(std::string(64, 'a')), "the family name is longer than 63 characters");
    EXPECT_EQ(family_name_problem(""), "the family name is empty");
    EXPECT_EQ(family_name_problem("say \"hi\""), "the family name may hold only printable ASCII characters other than '\"'");
    EXPECT_EQ(family_name_problem("caf\xc3\xa9"), "the family name may hold only printable ASCII characters other than '\"'");
    EXPECT_EQ(family_name_problem("(--)"), "the family name needs at least one letter or digit");
}

// Reads a "char" line field by field, in order, as loaders that use sscanf do.
struct char_line {
    unsigned id, x, y, width, height, page, channel;
    int xoffset, yoffset, xadvance;
};

bool read_char_line(const std::string& line, char_line& c)
{
    return std::sscanf(line.c_str(),
                       "char id=%u x=%u y=%u width=%u height=%u xoffset=%d yoffset=%d xadvance=%d page=%u chnl=%u",
                       &c.id, &c.x, &c.y, &c.width, &c.height, &c.xoffset, &c.yoffset, &c.xadvance, &c.page,
                       &c.channel) == 10;
}

TEST(FontExport, BmfontTextHoldsEveryFieldInTheOrderLoadersReadThem)
{
    bytes descriptor, page;
    ASSERT_EQ(write_bmfont(lopsided_font(), *test_pages()[1], "Lop Sided", "lop_0.png", 3, bmfont_form::text, descriptor, page),
              "");
    std::istringstream lines(std::string(descriptor.begin(), descriptor.end()));
    std::string line;
    const char* const head[] = {
        "info face=\"Lop Sided\" size=24 bold=0 italic=0 charset=\"\" unicode=1 stretchH=100 smooth=0 aa=1 "
        "padding=0,0,0,0 spacing=0,0 outline=0",
        "common lineHeight=24 base=21 scaleW=384 scaleH=384 pages=1 packed=0", "page id=0 file=\"lop_0.png\"",
        "chars count=256"};
    for (const char* expected : head) {
        std::getline(lines, line);
        EXPECT_EQ(line, expected);
    }
    // Every glyph's cell, in code order, with its cp437 character as the id.
    for (std::uint32_t code = 0; code < 256; ++code) {
        char_line c{};
        ASSERT_TRUE(std::getline(lines, line) && read_char_line(line, c)) << line;
        EXPECT_EQ(c.id, static_cast<unsigned>(test_pages()[1]->code_points[code])) << line;
        EXPECT_TRUE(c.x == code % 16 * 24 && c.y == code / 16 * 24 && c.width == 24 && c.height == 24) << line;
        EXPECT_TRUE(c.xoffset == 0 && c.yoffset == 0 && c.xadvance == 24 && c.page == 0 && c.channel == 15) << line;
    }
    EXPECT_FALSE(std::getline(lines, line)) << "after the last char: " << line;
}

TEST(FontExport, BmfontPageIsRgbaAndReadsBackAsTheSameFont)
{
    for (const std::uint32_t scale : {1u, 3u}) {
        bytes descriptor, page;
        ASSERT_EQ(write_bmfont(lopsided_font(), latin1_charset, "Lop", "lop_0.png", scale, bmfont_form::xml, descriptor,
                               page),
                  "");
        // IHDR: width and height 128 x scale, 8 bits, colour type 6 (RGBA).
        ASSERT_GE(page.size(), 33u);
        EXPECT_EQ(page[19], 128 * scale % 256);
        EXPECT_EQ(page[24], 8);
        EXPECT_EQ(page[25], 6);
        struct font back {};
        ASSERT_EQ(read_png_sheet(page, scale, false, back), "");
        EXPECT_EQ(write_font_file(back), write_font_file(lopsided_font())) << "scale " << scale;
    }
    bytes descriptor, page;
    ASSERT_EQ(write_bmfont(lopsided_font(), latin1_charset, "A&B <x>", "p.png", 1, bmfont_form::xml, descriptor, page), "");
    const std::string xml(descriptor.begin(), descriptor.end());
    EXPECT_EQ(xml.substr(0, 79), "<?xml version=\"1.0\"?>\n<font>\n  <info face=\"A&amp;B &lt;x&gt;\" size=\"8\" bold=\"0\"");
    EXPECT_NE(xml.find("\n    <char id=\"65\" x=\"8\" y=\"32\" width=\"8\" height=\"8\" xoffset=\"0\" yoffset=\"0\" "
                       "xadvance=\"8\" page=\"0\" chnl=\"15\"/>\n"),
              std::string::npos);
}

} // namespace
