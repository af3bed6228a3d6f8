// The converter's tables: endings found as a user expects, and every option accepted
// where its row says it does something (a misspelt family would refuse it everywhere).
#include "pixconv/pixconv_formats.hpp"
#include "pixconv/pixconv_convert.hpp"
#include "pixconv/pixconv_options.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// plan_conversion's verdict on a command line, "" when it may go ahead.
std::string plan(std::vector<std::string> args, job& result)
{
    std::vector<char*> argv = {const_cast<char*>("pixconv")};
    for (std::string& arg : args)
        argv.push_back(arg.data());
    command_line line;
    if (std::string problem = parse_command_line(static_cast<int>(argv.size()), argv.data(), line); !problem.empty())
        return problem;
    return plan_conversion(line, result);
}

} // namespace

TEST(PixconvTables, EndingsAreFoundInAnyCaseTheLongestFirst)
{
    const format_row* compressed = format_of("dir.psf/Font.PSFU.GZ");
    ASSERT_NE(compressed, nullptr);
    EXPECT_EQ(compressed->ending, ".psfu.gz");
    EXPECT_EQ(format_of("font.psfu")->ending, ".psfu");
    const std::vector<std::string_view> bmfont = {"--bmfont"};
    EXPECT_EQ(format_of("a.fnt", bmfont)->family, "BMFont");
    EXPECT_EQ(format_of("a.fnt")->family, "font file");
        for (const char* unknown : {"font.gz", "hero.spr.gz", "hero", "hero.png.txt", ".h.bak"})
        EXPECT_EQ(format_of(unknown), nullptr) << unknown;
}

TEST(PixconvTables, EveryOptionIsAcceptedWhereItDoesSomethingAndRefusedElsewhere)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--scale", "64", "a.fnt", "b.png"}, ""},
        {{"--scale=2", "a.png", "b.spr"}, ""},
        {{"--nearest", "a.png", "b.h", "--sprite"}, ""},
        {{"--invert", "a.png", "b.psf"}, ""},
        {{"--psf1", "a.bdf", "B.PSFU.GZ"}, ""},
        {{"--name", "glyphs", "a.fnt", "b.h"}, ""},
        {{"--bmfont", "--scale", "3", "a.psf", "b.FNT"}, ""},
        {{"--bmfont", "--charset", "cp437", "--name", "My Font", "a.bdf", "b.xml"}, ""},
        {{"--charset=latin1", "a.fnt", "b.woff2"}, ""},
        {{"--name", "My Font", "a.fnt", "b.ttf"}, ""},
        {{"--size", "8", "a.pcf.gz", "b.fnt"}, ""},
        {{"--size", "13", "a.FON", "b.bdf"}, ""},
        {{"--size=16", "a.ttf", "b.psf"}, ""},
        {{"--size", "64", "a.otf", "b.fnt"}, ""},
        {{"--name", "Title Font", "a.fnt", "b.bdf"}, ""},
        {{"--name", "Title Font", "a.fnt", "b.h"}, "--name takes a C identifier for a C header, not 'Title Font'"},
        {{"--font", "a.fnt", "b.bdf"}, "--font does nothing here: the file names say what the data is"},
        {{"--scale", "65", "a.fnt", "b.png"}, "--scale takes a whole number from 1 to 64, not '65'"},
        {{"--nearest", "a.png", "b.fnt"}, "--nearest applies to a PNG or GIF read as a sprite"},
        {{"--invert", "a.spr", "b.png"}, "--invert applies to a PNG read as a font sheet"},
        {{"--psf1", "a.psf", "b.bdf"}, "--psf1 applies to a PSF output"},
        {{"--name", "x", "a.h", "b.fnt"}, "a.h: a C header can be written, not read"},
        {{"--size", "8", "a.fnt", "b.psf"}, "--size applies to a PCF, FON, TrueType or OpenType input"},
        {{"--size", "0", "a.pcf", "b.fnt"}, "--size takes a whole number of pixels from 1 to 64, not '0'"},
    };
    for (const auto& [args, expected] : cases) {
        job result;
        EXPECT_EQ(plan(args, result), expected) << args[0] << " " << args[args.size() - 1];
    }
    job named;
    ASSERT_EQ(plan({"a.fnt", "dir/9-lives.h"}, named), "");
    EXPECT_EQ(named.how.name, "font_9_lives");
    ASSERT_EQ(plan({"a.fnt", "dir/my-font.v2.bdf"}, named), "");
    EXPECT_EQ(named.how.name, "my-font.v2");
    EXPECT_FALSE(named.sprite);
}
