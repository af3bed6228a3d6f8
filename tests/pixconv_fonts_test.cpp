// pixconv's outputs for game engines and web pages, run as a user runs it: how BMFont is
// asked for, the page beside its descriptor, --charset and --name, what is refused.
#include "support.hpp"
#include "testfonts.hpp"

#include "art/fonts.hpp"
#include "formats/charset.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

finished_run pixconv(const temp_dir& dir, const std::vector<std::string>& args)
{
    std::vector<std::string> argv{PIXCONV_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(argv, dir.path, std::chrono::minutes(2));
}

std::string text_of(const bytes& data)
{
    return {data.begin(), data.end()};
}

std::string first_line(const std::string& text)
{
    return text.substr(0, text.find('\n'));
}

class PixconvFonts : public ::testing::Test {
protected:
    void SetUp() override { write_file(dir.file("mine.fnt"), write_font_file(lopsided_font())); }
    temp_dir dir;
};

TEST_F(PixconvFonts, BmfontIsAskedForAndItsPageReadsBackAsTheFont)
{
    // Without --bmfont a .fnt output stays the editors' own font file.
    ASSERT_EQ(pixconv(dir, {"mine.fnt", "copy.fnt"}).status, 0);
    EXPECT_EQ(read_file(dir.file("copy.fnt")), read_file(dir.file("mine.fnt")));

    const finished_run text = pixconv(dir, {"--bmfont", "--scale", "2", "mine.fnt", "pixel.fnt"});
    ASSERT_EQ(text.status, 0) << text.errors;
    EXPECT_EQ(text.errors, "");
    const std::string descriptor = text_of(read_file(dir.file("pixel.fnt")));
    EXPECT_EQ(first_line(descriptor).substr(0, 27), "info face=\"pixel\" size=16 b");
    EXPECT_NE(descriptor.find("\npage id=0 file=\"pixel_0.png\"\n"), std::string::npos);
    const finished_run back = pixconv(dir, {"--scale", "2", "pixel_0.png", "back.fnt"});
    ASSERT_EQ(back.status, 0) << back.errors;
    EXPECT_EQ(read_file(dir.file("back.fnt")), read_file(dir.file("mine.fnt")));

    const finished_run xml = pixconv(dir, {"--name", "Pixel Art", "--charset", "cp437", "mine.fnt", "web.XML"});
    ASSERT_EQ(xml.status, 0) << xml.errors;
    const std::string xml_text = text_of(read_file(dir.file("web.XML")));
    EXPECT_NE(xml_text.find("<info face=\"Pixel Art\""), std::string::npos);
    EXPECT_NE(xml_text.find("<char id=\"9786\" x=\"8\" y=\"0\""), std::string::npos) << "cp437's 1 is U+263A";
    EXPECT_TRUE(file_exists(dir.file("web_0.png")));
}

TEST_F(PixconvFonts, TrueTypeAndWoff2CarryTheFamilyName)
{
    for (const char* name : {"my-font.ttf", "my-font.woff2"}) {
        const finished_run run = pixconv(dir, {"mine.fnt", name});
        ASSERT_EQ(run.status, 0) << run.errors;
        EXPECT_EQ(run.errors, "") << name;
    }
    const bytes ttf = read_file(dir.file("my-font.ttf"));
    ASSERT_GE(ttf.size(), 4u);
    EXPECT_EQ(bytes(ttf.begin(), ttf.begin() + 4), (bytes{0, 1, 0, 0}));
    const bytes utf16 = {0, 'm', 0, 'y', 0, '-', 0, 'f', 0, 'o', 0, 'n', 0, 't'};
    EXPECT_NE(std::search(ttf.begin(), ttf.end(), utf16.begin(), utf16.end()), ttf.end()) << "family from the file name";
    const bytes woff2 = read_file(dir.file("my-font.woff2"));
    ASSERT_GE(woff2.size(), 4u);
    EXPECT_EQ(bytes(woff2.begin(), woff2.begin() + 4), (bytes{'w', 'O', 'F', '2'}));
}

TEST_F(PixconvFonts, MisusedOptionsAndNamesAreUsageErrorsThatWriteNothing)
{
    const std::vector<std::vector<std::string>> cases = {
        {"--bmfont", "mine.fnt", "out.ttf"},          // --bmfont without a BMFont output
        {"--charset", "cp437", "mine.fnt", "out.png"}, // a sheet names no characters
        {"--charset", "koi9", "mine.fnt", "out.ttf"},  // no such code page
        {"--charset", "utf-8", "mine.fnt", "out.ttf"}, // not a single-byte one
        {"--name", "say \"hi\"", "mine.fnt", "out.ttf"},
        {"--scale", "2", "mine.fnt", "out.ttf"},
        {"mine.fnt", "caf\xc3\xa9.woff2"}, // a default family name that no font can carry
    };
    for (const auto& args : cases) {
        const finished_run run = pixconv(dir, args);
        EXPECT_EQ(run.status, 2) << args[args.size() - 2] << ' ' << run.errors;
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
        EXPECT_EQ(list_dir(dir.path), std::vector<std::string>{"mine.fnt"}) << run.errors;
    }
}

TEST_F(PixconvFonts, DescriptorIsNotWrittenWhenItsPageCannotBe)
{
    // A folder where the page should go: the page fails, so the descriptor must not appear.
    ASSERT_EQ(run_program({"/bin/mkdir", dir.file("pixel_0.png")}, dir.path).status, 0);
    const finished_run run = pixconv(dir, {"--bmfont", "mine.fnt", "pixel.fnt"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors.rfind("pixconv: pixel_0.png: cannot be written: ", 0), 0u) << run.errors;
    EXPECT_FALSE(file_exists(dir.file("pixel.fnt")));

    // And the other way round: a descriptor that cannot be written leaves no new page.
    ASSERT_EQ(run_program({"/bin/mkdir", dir.file("out.fnt")}, dir.path).status, 0);
    const finished_run folder = pixconv(dir, {"--bmfont", "mine.fnt", "out.fnt"});
    EXPECT_EQ(folder.status, 1);
    EXPECT_EQ(folder.errors, "pixconv: out.fnt: cannot be written: it is a folder; nothing was written\n");
    EXPECT_FALSE(file_exists(dir.file("out_0.png")));
}

// kbd's own reader of console fonts, code by code: the characters psfgettable lists.
std::map<unsigned, std::string> console_table(const temp_dir& dir, const std::string& name)
{
    const finished_run table = run_program({"/usr/bin/psfgettable", dir.file(name)}, dir.path);
    EXPECT_EQ(table.status, 0) << table.errors;
    std::map<unsigned, std::string> characters;
    std::size_t at = 0;
    while (at < table.output.size()) {
        const std::size_t end = std::min(table.output.find('\n', at), table.output.size());
        const std::string line = table.output.substr(at, end - at);
        unsigned code = 0;
        if (std::sscanf(line.c_str(), "0x%x", &code) == 1 && line.find('\t') != std::string::npos)
            characters[code] = line.substr(line.find('\t') + 1);
        at = end + 1;
    }
    return characters;
}

// With --charset a console font names each glyph's character, in both PSF versions,
// as the console's own reader sees it; without, it names none.
TEST_F(PixconvFonts, PsfNamesEachGlyphsCharacterWhenACodePageIsGiven)
{
    for (const char* page : {"cp437", "KOI8-R", "cp1252"})
        for (const bool psf1 : {false, true}) {
            SCOPED_TRACE(std::string(page) + (psf1 ? " version 1" : " version 2"));
            std::vector<std::string> args{"--charset", page, "mine.fnt", "out.psf"};
            if (psf1)
                args.insert(args.begin(), "--psf1");
            const finished_run run = pixconv(dir, args);
            ASSERT_EQ(run.status, 0) << run.errors;
            const charset* set = nullptr;
            ASSERT_EQ(find_charset(page, set), "");
            const std::map<unsigned, std::string> characters = console_table(dir, "out.psf");
            ASSERT_EQ(characters.size(), 256u);
            for (unsigned code = 0; code < 256; ++code) {
                const char32_t point = set->code_points[code];
                char expected[16] = "";
                if (point != no_character && !is_control(point))
                    std::snprintf(expected, sizeof expected, "U+%04x", static_cast<unsigned>(point));
                EXPECT_EQ(characters.at(code), expected) << "code " << code;
            }
        }
    EXPECT_EQ(console_table(dir, "out.psf").at(0x95), "U+2022"); // the last written was cp1252
    ASSERT_EQ(pixconv(dir, {"mine.fnt", "plain.psf"}).status, 0);
    const std::map<unsigned, std::string> none = console_table(dir, "plain.psf");
    EXPECT_TRUE(std::all_of(none.begin(), none.end(), [](const auto& each) { return each.second.empty(); }));
    // The same glyphs read back whatever the table says.
    ASSERT_EQ(pixconv(dir, {"out.psf", "back.fnt"}).status, 0);
    EXPECT_EQ(read_file(dir.file("back.fnt")), read_file(dir.file("mine.fnt")));
}

// OpenType bitmap fonts come named .otb; such a file is read as an OpenType font, and
// --charset applies to a BDF output, naming the page in its properties.
TEST_F(PixconvFonts, OtbReadsLikeOtfAndBdfNamesItsCodePage)
{
    ASSERT_EQ(pixconv(dir, {"mine.fnt", "mine.ttf"}).status, 0);
    write_file(dir.file("mine.otb"), read_file(dir.file("mine.ttf")));
    const finished_run run = pixconv(dir, {"mine.otb", "back.fnt"});
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(read_file(dir.file("back.fnt")), read_file(dir.file("mine.fnt")));

    ASSERT_EQ(pixconv(dir, {"--charset", "cp866", "mine.fnt", "mine.bdf"}).status, 0);
    const std::string bdf = text_of(read_file(dir.file("mine.bdf")));
    EXPECT_NE(bdf.find("CHARSET_REGISTRY \"IBM\"\nCHARSET_ENCODING \"CP866\"\n"), std::string::npos);
}

} // namespace
