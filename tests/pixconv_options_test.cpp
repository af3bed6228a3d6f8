// The converter's tables: endings found as a user expects, and every option accepted
// where its row says it does something (a misspelt family would refuse it everywhere).
#include "pixconv_formats.hpp"
#include "pixconv_options.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// plan_conversion's verdict on a command line, "" when it may go ahead.
std::string plan(std::vector<std::string> args, conversion& result)
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
        {{"--scale", "65", "a.fnt", "b.png"}, "--scale takes a whole number from 1 to 64, not '65'"},
        {{"--nearest", "a.png", "b.fnt"}, "--nearest applies to a PNG read as a sprite"},
        {{"--invert", "a.spr", "b.png"}, "--invert applies to a PNG read as a font sheet"},
        {{"--psf1", "a.psf", "b.bdf"}, "--psf1 applies to a PSF output"},
        {{"--name", "x", "a.h", "b.fnt"}, "a.h: a C header can be written, not read"},
    };
    for (const auto& [args, expected] : cases) {
        conversion result;
        EXPECT_EQ(plan(args, result), expected) << args[0] << " " << args[args.size() - 1];
    }
    conversion named;
    ASSERT_EQ(plan({"a.fnt", "dir/9-lives.h"}, named), "");
    EXPECT_EQ(named.how.name, "_9_lives");
    EXPECT_FALSE(named.sprite);
}
