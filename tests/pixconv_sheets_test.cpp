// pixconv's sprite-sheet modes run as a user runs them: the walk cycle packed and cut
// back by its atlas and by a grid, the usage errors, and no output at all when any
// part of a cut fails.
#include "support.hpp"
#include "testfonts.hpp"

#include "pixconv/pixconv_files.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

finished_run pixconv(const temp_dir& dir, const std::vector<std::string>& args)
{
    std::vector<std::string> argv{PIXCONV_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(argv, dir.path, std::chrono::minutes(2));
}

// walk-1.spr ... walk-N.spr, 5 x 4, each with a transparent corner; sprite `blank` is
// wholly transparent. Returns their names.
std::vector<std::string> write_walk(const temp_dir& dir, int count, int blank = 0)
{
    std::vector<std::string> names;
    for (int n = 1; n <= count; ++n) {
        bytes file{5, 4};
        for (int i = 0; i < 20; ++i)
            file.push_back(n == blank || i == 0 ? 255 : static_cast<std::uint8_t>((n * 3 + i) % 16));
        names.push_back("walk-" + std::to_string(n) + ".spr");
        write_file(dir.file(names.back()), file);
    }
    return names;
}

} // namespace

TEST(PixconvSheets, WalkCyclePacksAndCutsBackByAtlasAndByGrid)
{
    temp_dir dir;
    std::vector<std::string> args = write_walk(dir, 8, 6);
    args.insert(args.begin(), {"--scale", "2", "--padding", "1"});
    args.push_back("walk.png");
    ASSERT_EQ(pixconv(dir, args).status, 0);
    ASSERT_TRUE(file_exists(dir.file("walk.json")));

    mkdir(dir.file("frames").c_str(), 0755);
    const finished_run by_atlas = pixconv(dir, {"--scale", "2", "walk.png", "frames/"});
    ASSERT_EQ(by_atlas.status, 0) << by_atlas.errors;
    EXPECT_EQ(list_dir(dir.file("frames")).size(), 8u);
    for (int n = 1; n <= 8; ++n) {
        const std::string name = "walk-" + std::to_string(n) + ".spr";
        EXPECT_EQ(read_file(dir.file("frames/" + name)), read_file(dir.file(name))) << name;
    }

    // Three columns of 10 x 8 cells, 1 pixel apart; cell 5 (walk-6) is empty.
    const finished_run by_grid =
        pixconv(dir, {"--cell", "10x8", "--padding", "1", "--scale", "2", "--skip-empty", "walk.png", "g%02d.spr"});
    ASSERT_EQ(by_grid.status, 0) << by_grid.errors;
    EXPECT_FALSE(file_exists(dir.file("g05.spr")));
    EXPECT_EQ(read_file(dir.file("g02.spr")), read_file(dir.file("walk-3.spr")));
    EXPECT_EQ(read_file(dir.file("g07.spr")), read_file(dir.file("walk-8.spr")));
}

TEST(PixconvSheets, UsageErrorsSayWhatIsWrongAndWriteNothing)
{
    temp_dir dir;
    write_walk(dir, 2);
    write_file(dir.file("sub.spr"), read_file(dir.file("walk-1.spr")));
    mkdir(dir.file("a").c_str(), 0755);
    write_file(dir.file("a/walk-1.spr"), read_file(dir.file("walk-1.spr")));
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"walk-1.spr", "a/walk-1.spr", "s.png"}, "two inputs are named walk-1.spr; frames are named after their files"},
        {{"--nearest", "walk-1.spr", "walk-2.spr", "s.png"},
         "--nearest applies to cutting a sheet, or a sheet read into a tileset or sprite frames"},
        {{"--animation", "walk-1.spr", "walk-2.spr", "s.png"}, "--animation applies to a tileset (.tsx)"},
        {{"--animation", "walk-1.spr", "w.tres"}, "--animation applies to a tileset (.tsx)"},
        {{"--godot", "3", "walk-1.spr", "t.tsx"}, "--godot applies to sprite frames (.tres)"},
        {{"--godot", "5", "walk-1.spr", "w.tres"}, "--godot takes 3 or 4, not '5'"},
        {{"--delay", "655351", "walk-1.spr", "w.tres"}, "--delay takes a whole number from 1 to 655350, not '655351'"},
        {{"--delay", "50", "walk-1.spr", "t.tsx"}, "--delay applies to an animation: add --animation to animate tile 0"},
        {{"--delay", "50", "walk-1.spr", "w.png"},
         "--delay applies to an animation: a GIF or APNG output, a tileset with --animation, or sprite frames"},
        {{"--atlas", "hash", "walk-1.spr", "t.tsx"},
         "--atlas applies to packing sprites into a sheet"},
        {{"walk-1.spr", "a/walk-1.spr", "t.tsx"}, "two inputs are named walk-1.spr; frames are named after their files"},
        {{"--psf1", "s.png", "a/"}, "--psf1 does not apply to sprite sheets"},
        {{"--skip-empty", "walk-1.spr", "walk-2.spr", "s.png"}, "--skip-empty applies to cutting a sheet"},
        {{"--columns", "0", "walk-1.spr", "walk-2.spr", "s.png"},
         "--columns takes a whole number from 1 to 8192, not '0'"},
        {{"--columns", "2", "walk-1.spr", "s.png"},
         "--columns applies to sprite sheets: several sprites into one PNG, or a PNG cut into sprites"},
        {{"--cell", "8x8", "s.png", "a/"}, "cutting by --cell writes numbered files: name them with a pattern such as tile-%02d.spr"},
        {{"--cell", "8", "s.png", "t%d.spr"}, "--cell takes two whole numbers from 1 to 8192 as WxH, not '8'"},
        {{"--cell", "8x8", "s.png", "t%s.spr"},
         "the output name may hold one number as %d, %Nd or %0Nd (N from 1 to 9), and %% for a percent sign"},
        {{"s.png", "t%d.spr"}, "a numbered output name needs --cell WxH; without it the frames of the atlas are cut into a folder"},
        {{"--offset", "1x1", "s.png", "a/"}, "--offset applies to cutting a sheet by --cell"},
        {{"--atlas", "array", "s.png", "a/"}, "--atlas applies to packing sprites into a sheet"},
        {{"s.png", "missing/"}, "missing/: no such folder"},
    };
    for (const auto& [args, message] : cases) {
        const finished_run run = pixconv(dir, args);
        EXPECT_EQ(run.status, 2) << args.front();
        EXPECT_EQ(run.errors, "pixconv: " + message + " (see pixconv --help)\n");
    }
    EXPECT_FALSE(file_exists(dir.file("s.png")));
    EXPECT_EQ(list_dir(dir.file("a")).size(), 1u);
}

TEST(PixconvSheets, ACutThatFailsAnywhereWritesNoFileAndNeverAnInput)
{
    temp_dir dir;
    std::vector<std::string> args = write_walk(dir, 4);
    args.push_back("walk.png");
    ASSERT_EQ(pixconv(dir, args).status, 0);
    mkdir(dir.file("out").c_str(), 0755);
    // The last frame's file cannot be made: a folder stands in its place.
    mkdir(dir.file("out/walk-4.spr").c_str(), 0755);
    const finished_run blocked = pixconv(dir, {"walk.png", "out"});
    EXPECT_EQ(blocked.status, 1);
    EXPECT_EQ(blocked.errors, "pixconv: out/walk-4.spr: cannot be written: it is a folder; nothing was written\n");
    EXPECT_EQ(list_dir(dir.file("out")), std::vector<std::string>{"walk-4.spr"});

    // An output that leads to an input (here a link to the sheet) is refused.
    rmdir(dir.file("out/walk-4.spr").c_str());
    ASSERT_EQ(symlink("../walk.png", dir.file("out/walk-2.spr").c_str()), 0);
    const bytes sheet = read_file(dir.file("walk.png"));
    const finished_run onto_input = pixconv(dir, {"walk.png", "out/"});
    EXPECT_EQ(onto_input.status, 2);
    EXPECT_EQ(onto_input.errors, "pixconv: out/walk-2.spr: is also an input (walk.png); an input is never overwritten; "
              "nothing was written\n");
    EXPECT_EQ(read_file(dir.file("walk.png")), sheet);
    EXPECT_EQ(list_dir(dir.file("out")), std::vector<std::string>{"walk-2.spr"});
}

// Every mode writes through one path, which refuses an output that is an input however
// it is reached (the same name, a companion's name, a link) before writing anything.
TEST(PixconvSheets, AnOutputThatIsAnInputIsRefusedInEveryModeAndNothingIsWritten)
{
    temp_dir dir;
    std::vector<std::string> walk = write_walk(dir, 2);
    write_file(dir.file("mine.fnt"), write_font_file(lopsided_font()));
    std::vector<std::string> pack = walk;
    pack.push_back("walk.png");
    ASSERT_EQ(pixconv(dir, pack).status, 0);
    ASSERT_EQ(pixconv(dir, {"--bmfont", "mine.fnt", "page.fnt"}).status, 0);
    ASSERT_EQ(rename(dir.file("page_0.png").c_str(), dir.file("a_0.png").c_str()), 0);
    ASSERT_EQ(link(dir.file("mine.fnt").c_str(), dir.file("hard.fnt").c_str()), 0);
    ASSERT_EQ(symlink("walk-1.spr", dir.file("sheet.json").c_str()), 0);
    write_file(dir.file("twin.png"), {1, 2, 3});
    ASSERT_EQ(symlink("twin.png", dir.file("twin.json").c_str()), 0);
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--bmfont", "mine.fnt", "mine.fnt"}, "mine.fnt: is also an input (mine.fnt)"},
        {{"--bmfont", "a_0.png", "a.fnt"}, "a_0.png: is also an input (a_0.png)"}, // the page
        {{"mine.fnt", "hard.fnt"}, "hard.fnt: is also an input (mine.fnt)"}, // a hard link
        {{walk[0], walk[1], "sheet.png"}, "sheet.json: is also an input (walk-1.spr)"}, // the atlas
        {{"walk.png", "walk.tsx"}, "walk.png: is also an input (walk.png)"},
        {{"walk.png", "./walk.tres"}, "./walk.png: is also an input (walk.png)"},
        {{walk[0], walk[1], "twin.png"}, "twin.json: is also the output twin.png; two outputs cannot share a file"},
    };
    const std::vector<std::string> before = list_dir(dir.path);
    std::vector<bytes> contents;
    for (const std::string& name : before)
        contents.push_back(read_file(dir.file(name)));
    for (const auto& [args, message] : cases) {
        const finished_run run = pixconv(dir, args);
        const std::string why = message.find("input") != std::string::npos ? "; an input is never overwritten" : "";
        EXPECT_EQ(run.status, 2) << args.back();
        EXPECT_EQ(run.errors, "pixconv: " + message + why + "; nothing was written\n");
        EXPECT_EQ(list_dir(dir.path), before) << args.back();
        for (std::size_t i = 0; i < before.size(); ++i)
            EXPECT_EQ(read_file(dir.file(before[i])), contents[i]) << before[i] << " after " << args.back();
    }
}

// Outputs not made yet are one file when their folders are one: another spelling, or a
// link to the folder.
TEST(PixconvSheets, TwoOutputsNotYetMadeAreOneFileWhenTheirFoldersAre)
{
    temp_dir dir;
    mkdir(dir.file("a").c_str(), 0755);
    ASSERT_EQ(symlink("a", dir.file("link").c_str()), 0);
    const std::vector<std::pair<std::string, std::string>> twins = {
        {dir.file("a/x.spr"), dir.file("a/../a/x.spr")}, {dir.file("a/x.spr"), dir.file("link/x.spr")}};
    for (const auto& [first, second] : twins) {
        output_set set;
        const complaint refused = open_outputs({}, {first, second}, set);
        EXPECT_TRUE(refused.usage);
        EXPECT_EQ(refused.path, second);
        EXPECT_EQ(refused.problem, "is also the output " + first + "; two outputs cannot share a file; nothing was written");
        output_set apart;
        EXPECT_EQ(open_outputs({first}, {dir.file("a/y.spr")}, apart).problem, "");
    }
    EXPECT_EQ(list_dir(dir.file("a")), std::vector<std::string>{});
}
