#include "display/dbuff.hpp"
#include "art/fonts.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using point = std::pair<std::uint32_t, std::uint32_t>;

class Fonts : public ::testing::Test {
protected:
    void SetUp() override
    {
        dbuff.fill(0);
        font = {};
    }
};

// Every pixel that is not 0, as (x, y).
std::set<point> lit_pixels()
{
    std::set<point> lit;
    for (std::uint32_t y = 0; y < screen_height; ++y)
        for (std::uint32_t x = 0; x < screen_width; ++x)
            if (get_pixel(x, y) != 0)
                lit.insert({x, y});
    return lit;
}

// Gives glyph `chr` a single pixel, at its top-left corner, so where it lands is
// exactly one lit pixel.
void mark(std::uint8_t chr)
{
    font.chr[chr].bitmap = {0x01, 0, 0, 0, 0, 0, 0, 0};
}

bytes font_bytes()
{
    bytes image(font_file_size);
    std::memcpy(image.data(), &font, font_file_size);
    return image;
}

bytes pattern(std::size_t size, std::uint8_t seed)
{
    bytes data(size);
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<std::uint8_t>(i * 7 + seed);
    return data;
}

TEST_F(Fonts, GlyphRowsRunFromTheTopAndBitZeroIsTheLeftmostColumn)
{
    font.chr[1].bitmap = {0x01, 0, 0, 0, 0, 0, 0, 0x80};
    draw_chr(100, 50, 15, 1);
    EXPECT_EQ(lit_pixels(), (std::set<point>{{100, 50}, {107, 57}}));
    EXPECT_EQ(get_pixel(100, 50), 15);
}

TEST_F(Fonts, DrawChrMatchesAPixelByPixelModelAndLeavesTheBackgroundAlone)
{
    std::mt19937 random(4);
    for (int round = 0; round < 200; ++round) {
        const auto chr = static_cast<std::uint8_t>(random());
        for (std::uint8_t& row : font.chr[chr].bitmap)
            row = static_cast<std::uint8_t>(random());
        const std::uint32_t x = random() % 330; // also past the right and bottom edges
        const std::uint32_t y = random() % 210;
        const auto color = static_cast<std::uint8_t>(random() % 16);
        fill_screen(3);
        draw_chr(x, y, color, chr);
        for (std::uint32_t py = 0; py < screen_height; ++py)
            for (std::uint32_t px = 0; px < screen_width; ++px) {
                const bool inside = px >= x && px < x + 8 && py >= y && py < y + 8;
                const bool set = inside && (font.chr[chr].bitmap[py - y] >> (px - x) & 1) != 0;
                ASSERT_EQ(get_pixel(px, py), set ? color : 3)
                    << "glyph " << int(chr) << " at (" << x << ", " << y << "), pixel (" << px << ", " << py << ")";
            }
    }
}

TEST_F(Fonts, ABlankFontDrawsNothing)
{
    draw_chr(0, 0, 15, 'A');
    print_text(10, 10, 15, "Hello\nworld");
    teletype_print(0, 100, 15, "Hello, world, and a long line that wraps around the right edge");
    EXPECT_TRUE(lit_pixels().empty());
}

TEST_F(Fonts, PrintTextAdvancesNinePixelsAndALineFeedGoesBackToTheStart)
{
    for (const char c : std::string("abcd"))
        mark(static_cast<std::uint8_t>(c));
    print_text(10, 40, 15, "ab\ncd");
    EXPECT_EQ(lit_pixels(), (std::set<point>{{10, 40}, {19, 40}, {10, 49}, {19, 49}}));
}

TEST_F(Fonts, PrintTextTakesBytesAsUnsignedAndClipsAtTheEdges)
{
    mark(200);
    mark('x');
    print_text(0, 0, 9, "\xC8");
    print_text(312, 196, 9, "xx\nx");                 // the second x starts at 321, the third at y = 205
    print_text(0, 0, 9, "\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\nx"); // y = 207
    EXPECT_EQ(lit_pixels(), (std::set<point>{{0, 0}, {312, 196}}));
}

TEST_F(Fonts, TeletypeWrapsSoThatNoGlyphStartsRightOfColumn310)
{
    mark('a');
    mark('b');
    teletype_print(0, 0, 15, std::string(35, 'a').append(5, 'b').c_str());
    std::set<point> expected;
    for (std::uint32_t i = 0; i < 35; ++i)
        expected.insert({i * 9, 0});
    for (std::uint32_t i = 0; i < 5; ++i)
        expected.insert({i * 9, 9});
    EXPECT_EQ(lit_pixels(), expected);

    // All ones for x and y continue right after the fifth character of the second line.
    dbuff.fill(0);
    teletype_print(0xFFFFFFFF, 0xFFFFFFFF, 15, "a");
    EXPECT_EQ(lit_pixels(), (std::set<point>{{45, 9}}));
}

TEST_F(Fonts, TeletypeLeavesAnEmptyLineWhenAWrapIsFollowedByALineFeed)
{
    mark('a');
    mark('z');
    teletype_print(0, 0, 15, (std::string(35, 'a') + "\nz").c_str());
    EXPECT_EQ(get_pixel(0, 18), 15);
    EXPECT_EQ(lit_pixels().size(), 36u);
    EXPECT_FALSE(lit_pixels().contains({0, 9}));
}

TEST_F(Fonts, TeletypeKeepsItsMarginOnEveryLine)
{
    mark('a');
    teletype_print(100, 20, 15, std::string(50, 'a').c_str());
    std::set<point> expected;
    for (std::uint32_t i = 0; i < 50; ++i)
        expected.insert({100 + i % 24 * 9, 20 + i / 24 * 9}); // 24 a line: columns 100 to 307
    EXPECT_EQ(lit_pixels(), expected);

    dbuff.fill(0);
    teletype_print(305, 0, 15, "aaa");
    EXPECT_EQ(lit_pixels(), (std::set<point>{{305, 0}, {305, 9}, {305, 18}}));

    // A glyph may still start at column 310 itself.
    dbuff.fill(0);
    teletype_print(301, 0, 15, "aaa");
    EXPECT_EQ(lit_pixels(), (std::set<point>{{301, 0}, {310, 0}, {301, 9}}));
}

TEST_F(Fonts, TeletypeKeepsWhicheverCoordinateIsAllOnes)
{
    mark('a');
    teletype_print(10, 30, 15, "aa");
    teletype_print(0xFFFFFFFF, 60, 15, "a"); // same line position, new y
    teletype_print(200, 0xFFFFFFFF, 15, "a"); // new margin, same y
    teletype_print(50, 100, 15, "a\n");
    teletype_print(0xFFFFFFFF, 0xFFFFFFFF, 15, "a"); // a line feed at the end carries over
    EXPECT_EQ(lit_pixels(), (std::set<point>{{10, 30}, {19, 30}, {28, 60}, {200, 60}, {50, 100}, {50, 109}}));
}

TEST_F(Fonts, TeletypeNeverScrollsAndDrawsNothingBelowTheScreen)
{
    mark('a');
    teletype_print(0, 190, 15, std::string(35 * 3, 'a').c_str()); // lines at y = 190, 199 and 208
    EXPECT_EQ(lit_pixels().size(), 70u);
    teletype_print(0xFFFFFFFF, 0xFFFFFFFF, 15, "a"); // y = 217 by now: still off the screen
    EXPECT_EQ(lit_pixels().size(), 70u);
    teletype_print(0xFFFFFFFF, 0, 15, "a"); // only a new y brings it back
    EXPECT_TRUE(lit_pixels().contains({9, 0}));
}

TEST_F(Fonts, LoadingAnExactFileReplacesTheWholeFont)
{
    temp_dir dir;
    const bytes image = pattern(2048, 1);
    write_file(dir.file("f.fnt"), image);
    EXPECT_EQ(load_font(dir.file("f.fnt").c_str()), 0);
    EXPECT_EQ(font_bytes(), image);
}

TEST_F(Fonts, LoadingALongerFileUsesItsFirst2048Bytes)
{
    temp_dir dir;
    const bytes image = pattern(3000, 2);
    write_file(dir.file("f.fnt"), image);
    EXPECT_EQ(load_font(dir.file("f.fnt").c_str()), 0);
    EXPECT_EQ(font_bytes(), bytes(image.begin(), image.begin() + 2048));
}

TEST_F(Fonts, LoadingAShortFileFillsTheGlyphsItCoversAndReportsFailure)
{
    temp_dir dir;
    const bytes before = pattern(2048, 3);
    std::memcpy(&font, before.data(), before.size());
    const bytes part = pattern(100, 4); // glyphs 0-11 and the first four rows of glyph 12
    write_file(dir.file("f.fnt"), part);
    EXPECT_EQ(load_font(dir.file("f.fnt").c_str()), -1);
    bytes expected = before;
    std::copy(part.begin(), part.end(), expected.begin());
    EXPECT_EQ(font_bytes(), expected);

    write_file(dir.file("empty.fnt"), {});
    EXPECT_EQ(load_font(dir.file("empty.fnt").c_str()), -1);
    EXPECT_EQ(font_bytes(), expected);
    EXPECT_EQ(load_font(dir.file("missing.fnt").c_str()), -1);
    EXPECT_EQ(load_font(dir.path.c_str()), -1); // a folder opens but cannot be read
    EXPECT_EQ(font_bytes(), expected);
}

// The default font is drawn by hand; these catch slips in its drawing.
TEST(DefaultFont, CoversPrintableAsciiWithDistinctGlyphsInsideTheirCells)
{
    const bytes image = read_file(DEFAULT_FONT_PATH);
    ASSERT_EQ(image.size(), 2048u);
    const std::string descenders = "gjpqy,;_";
    std::set<bytes> shapes;
    for (int chr = 0; chr < 256; ++chr) {
        const bytes glyph(image.begin() + chr * 8, image.begin() + chr * 8 + 8);
        const bool printable = chr >= 33 && chr <= 126;
        if (!printable) {
            EXPECT_EQ(glyph, bytes(8, 0)) << "glyph " << chr << " should be blank";
            continue;
        }
        EXPECT_TRUE(shapes.insert(glyph).second) << "glyph '" << char(chr) << "' looks like another one";
        int top = 8;
        int bottom = -1;
        int left = 8;
        int right = -1;
        for (int r = 0; r < 8; ++r)
            for (int c = 0; c < 8; ++c)
                if (glyph[r] >> c & 1) {
                    top = std::min(top, r);
                    bottom = std::max(bottom, r);
                    left = std::min(left, c);
                    right = std::max(right, c);
                }
        ASSERT_GE(bottom, 0) << "glyph '" << char(chr) << "' is blank";
        EXPECT_LE(bottom - top + 1, 7) << "glyph '" << char(chr) << "' is taller than 7 rows";
        EXPECT_LE(right, 6) << "glyph '" << char(chr) << "' uses column 7";
        if (descenders.find(static_cast<char>(chr)) == std::string::npos) {
            EXPECT_EQ(glyph[7], 0) << "glyph '" << char(chr) << "' reaches below the baseline";
        }
    }
}

} // namespace
