// pixconv run as a user runs it: exit statuses, one-line errors, outputs left alone on
// failure, the sample knight through an enlarged PNG, and a real console font in and out.
#include "support.hpp"

#include "formats/bdffile.hpp"
#include "art/fonts.hpp"
#include "formats/gzipdata.hpp"
#include "formats/psffile.hpp"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

finished_run pixconv(const temp_dir& dir, const std::vector<std::string>& args)
{
    std::vector<std::string> argv{PIXCONV_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(argv, dir.path, std::chrono::minutes(2));
}

bool is_one_line(const std::string& text)
{
    return !text.empty() && text.back() == '\n' && std::count(text.begin(), text.end(), '\n') == 1;
}

// Reads a PSF file as a font, gzip-compressed or not; fails the test when it cannot.
struct font psf_font(const std::string& path)
{
    bytes data = read_file(path);
    if (is_gzip(data)) {
        bytes plain;
        EXPECT_EQ(gunzip(data, plain), "") << path;
        data = plain;
    }
    struct font result{};
    std::string warning;
    EXPECT_EQ(read_psf(data, result, warning), "") << path;
    EXPECT_EQ(warning, "") << path;
    return result;
}

bool same_glyphs(const struct font& a, const struct font& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

TEST(Pixconv, UsageErrorsExitWithTwoAndOneLineAndWriteNothing)
{
    temp_dir dir;
    write_file(dir.file("in.spr"), {1, 1, 4});
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus", "in.spr", "out.png"},
        {"in.spr"},
        {"in.spr", "out.png", "third.png"},
        {"in.spr", "out.txt"},
        {"in.png", "out.png"},
        {"in.png", "out.h"},
        {"in.h", "out.spr"},
        {"in.spr", "out.fnt"},
        {"--font", "in.spr", "out.png"},
        {"in.spr", "out.h", "--scale", "4"},
        {"in.spr", "out.png", "--scale", "65"},
        {"in.spr", "out.png", "--scale"},
        {"in.spr", "out.h", "--name", "2cool"},
        // Options that change nothing are refused alike, --sprite and --font too.
        {"--font", "in.fnt", "out.bdf"},
        {"--sprite", "in.spr", "out.png"},
        {"--name", "x", "in.spr", "out.png"},
    };
    for (const auto& args : cases) {
        std::string joined;
        for (const std::string& arg : args)
            joined += arg + " ";
        const finished_run run = pixconv(dir, args);
        EXPECT_EQ(run.status, 2) << joined;
        EXPECT_TRUE(is_one_line(run.errors) && run.errors.rfind("pixconv: ", 0) == 0) << joined << run.errors;
        EXPECT_EQ(run.output, "") << joined;
    }
    EXPECT_EQ(list_dir(dir.path), std::vector<std::string>{"in.spr"});
}

TEST(Pixconv, HelpAndVersionGoToStandardOutput)
{
    temp_dir dir;
    const finished_run help = pixconv(dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output.rfind("Usage: pixconv [options] INPUT OUTPUT\n", 0), 0u) << help.output;
    const finished_run version = pixconv(dir, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, "pixconv 1.0.0\n");
}

TEST(Pixconv, AFailedConversionNamesTheFileAndLeavesTheOutputAsItWas)
{
    temp_dir dir;
    const bytes old = {'o', 'l', 'd'};
    write_file(dir.file("out.png"), old);
    write_file(dir.file("short.spr"), {3, 2, 1, 2});
    write_file(dir.file("empty.spr"), {5, 0});
    write_file(dir.file("short.fnt"), bytes(2047, 0xFF));
    write_file(dir.file("one.fnt"), {7});
    write_file(dir.file("empty.png"), {});

    struct expected_failure {
        std::vector<std::string> args;
        std::string errors;
    };
    const std::vector<expected_failure> cases = {
        {{"short.spr", "out.png"}, "pixconv: short.spr: a 3 x 2 sprite needs 8 bytes; the file has 4\n"},
        {{"missing.spr", "out.png"}, "pixconv: missing.spr: No such file or directory\n"},
        {{"short.fnt", "out.png"}, "pixconv: short.fnt: the file is 2047 bytes long; a font file has 2048\n"},
        {{"one.fnt", "out.png"}, "pixconv: one.fnt: the file is 1 byte long; a font file has 2048\n"},
        {{"--sprite", "empty.png", "out.png"}, "pixconv: empty.png: the file is 0 bytes long\n"},
        {{"--sprite", "out.png", "out.h"}, ""}, // not a PNG at all: the reader's own words
        {{"empty.spr", "out.png"}, ""},         // nothing to draw: blamed on the output
    };
    for (const auto& [args, errors] : cases) {
        const finished_run run = pixconv(dir, args);
        EXPECT_EQ(run.status, 1) << args[0];
        if (!errors.empty()) {
            EXPECT_EQ(run.errors, errors);
        }
        const std::string blamed = args[0] == "empty.spr" ? "out.png" : args[args.size() - 2];
        EXPECT_TRUE(is_one_line(run.errors) && run.errors.rfind("pixconv: " + blamed + ": ", 0) == 0)
            << run.errors;
        EXPECT_EQ(read_file(dir.file("out.png")), old) << args[0];
    }
    EXPECT_FALSE(file_exists(dir.file("out.h")));

    const finished_run nowhere = pixconv(dir, {"empty.spr", "no/such/folder/out.spr"});
    EXPECT_EQ(nowhere.status, 1);
    EXPECT_EQ(nowhere.errors, "pixconv: no/such/folder/out.spr: cannot be written: No such file or directory; nothing was written\n");
}

TEST(Pixconv, TheKnightGoesToAnEnlargedPngAndBackByteForByte)
{
    temp_dir dir;
    const bytes knight = read_file(std::string(ASSETS_DIR) + "/hero.spr");
    ASSERT_GE(knight.size(), 2u);
    write_file(dir.file("hero.spr"), knight);

    // Options may stand before or after the file names.
    ASSERT_EQ(pixconv(dir, {"hero.spr", "--scale", "8", "Hero.PNG"}).status, 0);
    const bytes png = read_file(dir.file("Hero.PNG"));
    ASSERT_GE(png.size(), 24u);
    const auto be32 = [&](std::size_t at) {
        return std::uint32_t{png[at]} << 24 | std::uint32_t{png[at + 1]} << 16 | std::uint32_t{png[at + 2]} << 8 | png[at + 3];
    };
    EXPECT_EQ(be32(16), 8u * knight[0]); // IHDR width and height
    EXPECT_EQ(be32(20), 8u * knight[1]);
    EXPECT_EQ(std::system(("pngcheck -q " + dir.file("Hero.PNG") + " > /dev/null").c_str()), 0);

    ASSERT_EQ(pixconv(dir, {"--scale=8", "Hero.PNG", "back.spr"}).status, 0);
    EXPECT_EQ(read_file(dir.file("back.spr")), knight);
    // At the wrong scale the blocks do not line up with the pixels.
    EXPECT_EQ(pixconv(dir, {"--scale", "3", "Hero.PNG", "wrong.spr"}).status, 1);
}

TEST(Pixconv, AConsoleFontComesInAndGoesOutWithTheSameGlyphRows)
{
    const std::string console_font = "/usr/share/consolefonts/Lat15-VGA8.psf.gz";
    ASSERT_TRUE(file_exists(console_font)) << "scripts/setup installs console-setup-linux";
    temp_dir dir;
    const finished_run in = pixconv(dir, {console_font, "console.fnt"});
    ASSERT_EQ(in.status, 0) << in.errors;
    EXPECT_EQ(in.errors, "");

    struct font imported{};
    ASSERT_EQ(read_font_file(read_file(dir.file("console.fnt")), imported), "");
    const std::array<const char*, 8> letter_a = {
        "..###...",
        ".##.##..",
        "##...##.",
        "#######.",
        "##...##.",
        "##...##.",
        "##...##.",
        "........",
    };
    for (std::size_t row = 0; row < 8; ++row)
        for (std::size_t column = 0; column < 8; ++column)
            EXPECT_EQ((imported.chr['A'].bitmap[row] >> column & 1) != 0, letter_a[row][column] == '#')
                << "row " << row << ", column " << column;

    // Out again, compressed and in both versions: every glyph row as it came.
    const struct font original = psf_font(console_font);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"console.fnt", "again.psf.gz"}, {"--psf1", "console.fnt", "again.psfu"}}) {
        ASSERT_EQ(pixconv(dir, args).status, 0) << args[1];
        EXPECT_TRUE(same_glyphs(psf_font(dir.file(args.back())), original)) << args.back();
    }
    EXPECT_TRUE(is_gzip(read_file(dir.file("again.psf.gz"))));
}

TEST(Pixconv, AFontHeaderIsNamedAfterItsFile)
{
    temp_dir dir;
    write_file(dir.file("my-font.fnt"), read_file(DEFAULT_FONT_PATH));
    ASSERT_EQ(pixconv(dir, {"my-font.fnt", "my-font.h"}).status, 0);
    const bytes header = read_file(dir.file("my-font.h"));
    EXPECT_NE(std::string(header.begin(), header.end()).find("my_font[256][8]"), std::string::npos);
    ASSERT_EQ(pixconv(dir, {"my-font.fnt", "named.h", "--name", "title_font"}).status, 0);
    const bytes named = read_file(dir.file("named.h"));
    EXPECT_NE(std::string(named.begin(), named.end()).find("title_font[256][8]"), std::string::npos);
}

// Fonts from elsewhere through FreeType: Debian's 8-pixel X font comes in as pcf2bdf
// dumps it for the BDF reader; a font of taller strikes is refused, and --size is a
// usage error where nothing reads it.
TEST(Pixconv, XFontsComeInThroughFreeType)
{
    temp_dir dir;
    const std::string five = "/usr/share/fonts/X11/misc/5x8.pcf.gz";
    ASSERT_EQ(run_program({"/usr/bin/pcf2bdf", "-o", dir.file("dump.bdf"), five}, dir.path).status, 0);
    ASSERT_EQ(pixconv(dir, {"dump.bdf", "dump.fnt"}).status, 0);
    const finished_run in = pixconv(dir, {five, "five.fnt"});
    ASSERT_EQ(in.status, 0) << in.errors;
    EXPECT_EQ(read_file(dir.file("five.fnt")), read_file(dir.file("dump.fnt")));

    const std::string thirteen = "/usr/share/fonts/X11/misc/6x13.pcf.gz";
    const finished_run tall = pixconv(dir, {thirteen, "tall.fnt"});
    EXPECT_EQ(tall.status, 1);
    EXPECT_EQ(tall.errors, "pixconv: " + thirteen + ": every strike of the font is taller than the 8 x 8 cell " +
                               "(13 pixels high); choose one with --size\n");
    EXPECT_FALSE(file_exists(dir.file("tall.fnt")));
    EXPECT_EQ(pixconv(dir, {"--size", "8", "dump.bdf", "x.fnt"}).status, 2);
    EXPECT_EQ(pixconv(dir, {"--size", "65", five, "x.fnt"}).status, 2);
}
TEST(Pixconv, AFifoOutputIsFedAndAFolderIsRefused)
{
    temp_dir dir;
    write_file(dir.file("default.fnt"), read_file(DEFAULT_FONT_PATH));
    ASSERT_EQ(mkfifo(dir.file("ff.bdf").c_str(), 0644), 0);
    // Opened first, so that the converter's writing end need not wait; a font's BDF
    // fits in the pipe.
    const int reader = open(dir.file("ff.bdf").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const finished_run fed = pixconv(dir, {"default.fnt", "ff.bdf"});
    EXPECT_EQ(fed.status, 0) << fed.errors;
    std::string text(65536, '\0');
    const ssize_t got = read(reader, text.data(), text.size());
    close(reader);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    struct font back{};
    EXPECT_EQ(read_bdf(bytes(text.begin(), text.end()), back), "");
    EXPECT_EQ(write_font_file(back), read_file(DEFAULT_FONT_PATH));
    struct stat st{};
    EXPECT_TRUE(stat(dir.file("ff.bdf").c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) << "the FIFO was replaced";

    ASSERT_EQ(mkdir(dir.file("out.bdf").c_str(), 0755), 0);
    const finished_run refused = pixconv(dir, {"default.fnt", "out.bdf"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.errors, "pixconv: out.bdf: cannot be written: it is a folder; nothing was written\n");
    EXPECT_TRUE(list_dir(dir.file("out.bdf")).empty());
}

TEST(Pixconv, ABdfFontIsNamedAfterItsFileOrName)
{
    temp_dir dir;
    write_file(dir.file("default.fnt"), read_file(DEFAULT_FONT_PATH));
    const auto family_of = [&](const std::string& name) {
        const bytes bdf = read_file(dir.file(name));
        const std::string text(bdf.begin(), bdf.end());
        const std::size_t at = text.find("\nFAMILY_NAME ");
        return at == std::string::npos ? "" : text.substr(at + 13, text.find('\n', at + 1) - at - 13);
    };
    ASSERT_EQ(pixconv(dir, {"default.fnt", "my-font.v2.bdf"}).status, 0);
    EXPECT_EQ(family_of("my-font.v2.bdf"), "\"my font.v2\"");
    ASSERT_EQ(pixconv(dir, {"default.fnt", "--name", "Title Font", "out.bdf"}).status, 0);
    EXPECT_EQ(family_of("out.bdf"), "\"Title Font\"");
}

TEST(Pixconv, ALongEditorFileUsesItsFirstBytes)
{
    temp_dir dir;
    // A font file followed by a 100 MiB hole: only the first 2048 bytes count.
    const bytes font_file = read_file(DEFAULT_FONT_PATH);
    write_file(dir.file("long.fnt"), font_file);
    ASSERT_EQ(truncate(dir.file("long.fnt").c_str(), 100 << 20), 0);
    const finished_run run = pixconv(dir, {"long.fnt", "copy.fnt"});
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(read_file(dir.file("copy.fnt")), font_file);

    write_file(dir.file("long.spr"), {2, 1, 3, 4, 5, 6});
    ASSERT_EQ(truncate(dir.file("long.spr").c_str(), 100 << 20), 0);
    ASSERT_EQ(pixconv(dir, {"long.spr", "copy.spr"}).status, 0);
    EXPECT_EQ(read_file(dir.file("copy.spr")), (bytes{2, 1, 3, 4}));
}

TEST(Pixconv, ReadingAnEnlargedSpriteTakesMemoryForTheSpriteNotThePicture)
{
    // 255 x 255 at scale 24 is 6120 x 6120 pixels, 37 million: decoded whole, even one
    // byte a pixel is more than the limit below.
    temp_dir dir;
    bytes sprite = {255, 255};
    for (std::size_t i = 0; i < 255 * 255; ++i)
        sprite.push_back(static_cast<std::uint8_t>(i * 7 % 17 == 16 ? 255 : i * 7 % 17));
    write_file(dir.file("big.spr"), sprite);
    ASSERT_EQ(pixconv(dir, {"--scale", "24", "big.spr", "big.png"}).status, 0);
    ASSERT_EQ(pixconv(dir, {"--scale", "24", "big.png", "back.spr"}).status, 0);
    EXPECT_EQ(read_file(dir.file("back.spr")), sprite);
    // The largest resident size of any program this test has run, in KiB.
    rusage usage{};
    ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
    EXPECT_LT(usage.ru_maxrss, 32 << 10);
}

