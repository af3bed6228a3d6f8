// Animations as the rest of the world reads them: pixconv's GIF and APNG read back by
// Pillow, gifsicle and apngdis; GIFs made by Pillow and ImageMagick read in as
// ImageMagick's -coalesce composes them (as browsers do); the palette files read by
// their formats' own rules. The GIF reader's bounds and the APNG's chunks are checked
// here too.
#include "formats/apngfile.hpp"
#include "formats/atlasjson.hpp"
#include "formats/giffile.hpp"
#include "support.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <zlib.h>

#include <sys/stat.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using json = nlohmann::json;

const std::string scripts = TESTS_DIR "/animations/";

finished_run pixconv(const temp_dir& dir, const std::vector<std::string>& args)
{
    std::vector<std::string> argv{PIXCONV_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(argv, dir.path, std::chrono::minutes(2));
}

finished_run python(const temp_dir& dir, const std::vector<std::string>& args)
{
    std::vector<std::string> argv{"/usr/bin/python3"};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(argv, dir.path, std::chrono::minutes(2));
}

// A sprite file's bytes: width, height, then the values.
bytes sprite_file(std::uint8_t width, std::uint8_t height, const std::vector<std::uint8_t>& values)
{
    bytes file{width, height};
    file.insert(file.end(), values.begin(), values.end());
    return file;
}

// The walk cycle: two 5 x 4 frames and a taller 3 x 6 one, with transparent pixels and
// a value over 15 (shown as its low four bits).
std::vector<bytes> walk_sprites()
{
    std::vector<bytes> sprites;
    for (int n = 0; n < 3; ++n) {
        const std::uint8_t width = n == 1 ? 3 : 5;
        const std::uint8_t height = n == 1 ? 6 : 4;
        std::vector<std::uint8_t> values;
        for (int i = 0; i < width * height; ++i)
            values.push_back(i % 7 == n ? 255 : static_cast<std::uint8_t>((i * 5 + n * 3) % 16));
        values[1] = 0x1C;
        sprites.push_back(sprite_file(width, height, values));
    }
    return sprites;
}

std::vector<std::string> write_walk(const temp_dir& dir)
{
    std::vector<std::string> names;
    const std::vector<bytes> sprites = walk_sprites();
    for (std::size_t n = 0; n < sprites.size(); ++n) {
        names.push_back("walk-" + std::to_string(n) + ".spr");
        write_file(dir.file(names.back()), sprites[n]);
    }
    return names;
}

std::array<int, 4> rgba_of(std::uint8_t value)
{
    if (value == 255)
        return {0, 0, 0, 0};
    const int v = value & 15;
    const int on = v & 8 ? 0xFF : 0xA0;
    const int off = v & 8 ? 0x5F : 0;
    return {v & 4 ? on : off, v & 2 ? on : off, v & 1 ? on : off, 255};
}

// What a viewer must show of each sprite: the canvas of the largest width and height,
// the sprite at its top left, enlarged `scale` times; transparent pixels as 0, 0, 0, 0.
json expected_pixels(const std::vector<bytes>& sprites, int scale)
{
    int width = 0;
    int height = 0;
    for (const bytes& sprite : sprites) {
        width = std::max<int>(width, sprite[0]);
        height = std::max<int>(height, sprite[1]);
    }
    json frames = json::array();
    for (const bytes& sprite : sprites) {
        json pixels = json::array();
        for (int y = 0; y < height * scale; ++y)
            for (int x = 0; x < width * scale; ++x) {
                const int sx = x / scale;
                const int sy = y / scale;
                const bool inside = sx < sprite[0] && sy < sprite[1];
                pixels.push_back(rgba_of(inside ? sprite[2 + sy * sprite[0] + sx] : 255));
            }
        frames.push_back(pixels);
    }
    return frames;
}

// Pillow gives transparent pixels whatever colour the palette entry has.
json clear_transparent(json frames)
{
    for (json& frame : frames)
        for (json& pixel : frame)
            if (pixel[3] == 0)
                pixel = {0, 0, 0, 0};
    return frames;
}

json read_with_pillow(const temp_dir& dir, const std::vector<std::string>& args)
{
    std::vector<std::string> argv{scripts + "read_animation.py"};
    argv.insert(argv.end(), args.begin(), args.end());
    const finished_run run = python(dir, argv);
    EXPECT_EQ(run.status, 0) << run.errors;
    return run.status == 0 ? json::parse(run.output) : json::object();
}

// `frames` as drawn in `colours` ([[r, g, b], ...]) instead of the editors' colours.
json in_colours(json frames, const json& colours)
{
    for (json& frame : frames)
        for (json& pixel : frame)
            for (std::uint8_t v = 0; v < 16 && pixel[3] == 255; ++v)
                if (pixel == json(rgba_of(v))) {
                    pixel = {colours[v][0], colours[v][1], colours[v][2], 255};
                    break;
                }
    return frames;
}

bytes as_bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

std::uint32_t load32(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

} // namespace

TEST(Animations, WalkCycleIsReadByPillowAsGifAndApng)
{
    temp_dir dir;
    std::vector<std::string> args = write_walk(dir);
    const json want = expected_pixels(walk_sprites(), 1);
    for (const std::string out : {"walk.gif", "walk.apng"}) {
        std::vector<std::string> command = args;
        command.insert(command.end(), {"--delay", "120", "--loop", "3", out});
        const finished_run run = pixconv(dir, command);
        ASSERT_EQ(run.status, 0) << run.errors;
        const json read = read_with_pillow(dir, {out});
        EXPECT_EQ(read["frames"], 3) << out;
        EXPECT_EQ(read["size"], json({5, 6})) << out;
        EXPECT_EQ(read["durations"], json({120, 120, 120})) << out;
        // A GIF stores the repeats after the first play, an APNG the plays.
        EXPECT_EQ(read["loop"], out == "walk.gif" ? 2 : 3) << out;
        EXPECT_EQ(clear_transparent(read["pixels"]), want) << out;
        // The same inputs give the same bytes.
        const bytes first = read_file(dir.file(out));
        ASSERT_EQ(pixconv(dir, command).status, 0);
        EXPECT_EQ(read_file(dir.file(out)), first) << out;
    }
    // Enlarged, playing once (a GIF without a loop extension), and for ever.
    std::vector<std::string> command = args;
    command.insert(command.end(), {"--scale", "2", "--loop", "1", "big.gif"});
    ASSERT_EQ(pixconv(dir, command).status, 0);
    const json big = read_with_pillow(dir, {"big.gif"});
    EXPECT_EQ(big["loop"], nullptr);
    EXPECT_EQ(big["durations"], json({100, 100, 100}));
    EXPECT_EQ(clear_transparent(big["pixels"]), expected_pixels(walk_sprites(), 2));
    args.push_back("ever.apng");
    ASSERT_EQ(pixconv(dir, args).status, 0);
    EXPECT_EQ(read_with_pillow(dir, {"ever.apng"})["loop"], 0);
}

TEST(Animations, GifsicleAndApngdisReadWhatIsWritten)
{
    temp_dir dir;
    std::vector<std::string> args = write_walk(dir);
    args.insert(args.end(), {"--delay", "130", "--loop", "4"});
    std::vector<std::string> gif_args = args;
    gif_args.push_back("walk.gif");
    ASSERT_EQ(pixconv(dir, gif_args).status, 0);
    args.push_back("walk.apng");
    ASSERT_EQ(pixconv(dir, args).status, 0);

    // gifsicle exits 0 even for a damaged file: its description is the verdict.
    const finished_run info = run_program({"/usr/bin/gifsicle", "--info", dir.file("walk.gif")}, dir.path);
    EXPECT_NE(info.output.find("3 images"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("logical screen 5x6"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("loop count 3"), std::string::npos) << info.output;
    std::size_t frames = 0;
    for (std::size_t at = 0; (at = info.output.find("disposal background delay 0.13s", at)) != std::string::npos; ++at)
        ++frames;
    EXPECT_EQ(frames, 3u) << info.output;
    EXPECT_EQ(info.output.find("transparent 16"), info.output.find("transparent")) << info.output;
    EXPECT_EQ(info.errors, "");

    // apngdis writes each frame as a PNG and its delay as a reduced fraction.
    const finished_run split = run_program({"/usr/bin/apngdis", dir.file("walk.apng"), "frame"}, dir.path);
    EXPECT_NE(split.output.find("all done"), std::string::npos) << split.output << split.errors;
    std::vector<std::string> pngs{"--pngs"};
    for (int n = 1; n <= 3; ++n) {
        const bytes delay = read_file(dir.file("frame" + std::to_string(n) + ".txt"));
        EXPECT_EQ(std::string(delay.begin(), delay.end()), "delay=13/100\n") << n;
        pngs.push_back("frame" + std::to_string(n) + ".png");
    }
    EXPECT_FALSE(file_exists(dir.file("frame4.png")));
    const json read = read_with_pillow(dir, pngs);
    EXPECT_EQ(clear_transparent(read["pixels"]), expected_pixels(walk_sprites(), 1));
}

TEST(Animations, SheetFramesKeepTheAtlasDurations)
{
    temp_dir dir;
    std::vector<std::string> args = write_walk(dir);
    args.push_back("sheet.png");
    ASSERT_EQ(pixconv(dir, args).status, 0);
    const bytes atlas_bytes = read_file(dir.file("sheet.json"));
    json atlas = json::parse(atlas_bytes.begin(), atlas_bytes.end());
    int duration = 50;
    for (auto& [name, frame] : atlas["frames"].items()) {
        frame["duration"] = duration;
        duration += 100;
    }
    const std::string text = atlas.dump();
    write_file(dir.file("sheet.json"), bytes(text.begin(), text.end()));

    const finished_run run = pixconv(dir, {"sheet.png", "walk.apng"});
    ASSERT_EQ(run.status, 0) << run.errors;
    json read = read_with_pillow(dir, {"walk.apng"});
    EXPECT_EQ(read["durations"], json({50, 150, 250}));
    EXPECT_EQ(clear_transparent(read["pixels"]), expected_pixels(walk_sprites(), 1));
    ASSERT_EQ(pixconv(dir, {"--delay", "70", "sheet.png", "walk.gif"}).status, 0);
    EXPECT_EQ(read_with_pillow(dir, {"walk.gif"})["durations"], json({70, 70, 70}));

    // Browsers show a GIF delay of 10 ms as 100 ms: the converter says so, and still writes it.
    const finished_run fast = pixconv(dir, {"--delay", "15", "sheet.png", "fast.gif"});
    EXPECT_EQ(fast.status, 0);
    EXPECT_NE(fast.errors.find("warning: frame 0 lasts 15 ms"), std::string::npos) << fast.errors;
    EXPECT_EQ(read_with_pillow(dir, {"fast.gif"})["durations"], json({20, 20, 20}));
}

TEST(Animations, GifsFromElsewhereComeInAsBrowsersComposeThem)
{
    temp_dir dir;
    const finished_run made = python(dir, {scripts + "make_gifs.py", dir.path});
    ASSERT_EQ(made.status, 0) << made.errors;
    std::vector<std::string> names{"im-interlaced"};
    for (int disposal = 0; disposal < 4; ++disposal)
        for (const std::string maker : {"pillow", "im"})
            names.push_back(maker + "-dispose" + std::to_string(disposal));
    for (const std::string& name : names) {
        mkdir(dir.file(name).c_str(), 0755);
        const finished_run run = pixconv(dir, {name + ".gif", name + "/"});
        ASSERT_EQ(run.status, 0) << name << ": " << run.errors;
        ASSERT_EQ(run_program({"/usr/bin/convert", name + ".gif", "-coalesce", "PNG32:" + name + "-%d.png"}, dir.path).status,
                  0);
        std::vector<std::string> compare{scripts + "compare_frames.py"};
        for (int n = 0; n < 4; ++n)
            compare.push_back(name + "/" + name + "-" + std::to_string(n) + ".spr");
        compare.push_back("--");
        for (int n = 0; n < 4; ++n)
            compare.push_back(name + "-" + std::to_string(n) + ".png");
        const finished_run compared = python(dir, compare);
        EXPECT_EQ(compared.status, 0) << name << ":\n" << compared.output << compared.errors;
    }
    // A pattern numbers the frames; a GIF of many frames is no single sprite.
    ASSERT_EQ(pixconv(dir, {"im-dispose2.gif", "f-%02d.spr"}).status, 0);
    EXPECT_EQ(read_file(dir.file("f-03.spr")), read_file(dir.file("im-dispose2/im-dispose2-3.spr")));
    const finished_run one = pixconv(dir, {"im-dispose2.gif", "one.spr"});
    EXPECT_EQ(one.status, 1);
    EXPECT_EQ(one.errors, "pixconv: im-dispose2.gif: the GIF holds 4 frames; name a folder or a pattern such as "
                          "walk-%02d.spr to write them all\n");
    EXPECT_FALSE(file_exists(dir.file("one.spr")));
}

TEST(Animations, StillSpritesGoThroughGifAndComeBack)
{
    temp_dir dir;
    write_walk(dir);
    ASSERT_EQ(pixconv(dir, {"walk-1.spr", "still.gif"}).status, 0);
    ASSERT_EQ(pixconv(dir, {"still.gif", "back.spr"}).status, 0);
    bytes want = walk_sprites()[1];
    want[3] = 0x1C & 15; // a GIF holds the colour shown
    EXPECT_EQ(read_file(dir.file("back.spr")), want);

    // A colour not among the 16 is refused, or with --nearest taken as the nearest.
    ASSERT_EQ(run_program({"/usr/bin/convert", "-size", "2x1", "xc:#FF8000", "orange.gif"}, dir.path).status, 0);
    const finished_run exact = pixconv(dir, {"orange.gif", "orange.spr"});
    EXPECT_EQ(exact.errors, "pixconv: orange.gif: frame 0: pixel (0, 0) is #FF8000, not one of the 16 colours\n");
    EXPECT_FALSE(file_exists(dir.file("orange.spr")));
    ASSERT_EQ(pixconv(dir, {"--nearest", "orange.gif", "orange.spr"}).status, 0);
    EXPECT_EQ(read_file(dir.file("orange.spr")), (bytes{2, 1, 6, 6}));
}

TEST(Animations, PaletteFilesHoldTheSixteenColoursInOrder)
{
    temp_dir dir;
    for (const std::string name : {"p.gpl", "p.pal", "p.hex", "p.png"})
        ASSERT_EQ(pixconv(dir, {"--palette", name}).status, 0) << name;
    std::vector<std::array<int, 3>> want;
    for (std::uint8_t v = 0; v < 16; ++v)
        want.push_back({rgba_of(v)[0], rgba_of(v)[1], rgba_of(v)[2]});

    // GIMP's rules: the header line, then optional Name:, Columns: and # lines in any
    // order, then "R G B name" lines (the name optional, blank lines allowed).
    const bytes gpl = read_file(dir.file("p.gpl"));
    std::istringstream lines(std::string(gpl.begin(), gpl.end()));
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "GIMP Palette");
    std::vector<std::array<int, 3>> gimp;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#' || line.starts_with("Name:") || line.starts_with("Columns:"))
            continue;
        std::istringstream fields(line);
        std::array<int, 3> rgb{-1, -1, -1};
        fields >> rgb[0] >> rgb[1] >> rgb[2];
        EXPECT_FALSE(fields.fail()) << line;
        gimp.push_back(rgb);
    }
    EXPECT_EQ(gimp, want);
    // The names of pixel-editors(5).
    EXPECT_NE(std::string(gpl.begin(), gpl.end()).find(" 95  95 255\tlight blue\n"), std::string::npos);

    const bytes pal = read_file(dir.file("p.pal"));
    std::istringstream jasc(std::string(pal.begin(), pal.end()));
    std::string magic;
    std::string version;
    int count = 0;
    jasc >> magic >> version >> count;
    EXPECT_EQ(magic + " " + version + " " + std::to_string(count), "JASC-PAL 0100 16");
    std::vector<std::array<int, 3>> jasc_colours(16);
    for (auto& rgb : jasc_colours)
        jasc >> rgb[0] >> rgb[1] >> rgb[2];
    EXPECT_EQ(jasc_colours, want);

    const bytes hex = read_file(dir.file("p.hex"));
    std::string hex_want;
    for (const auto& rgb : want) {
        char text[8];
        std::snprintf(text, sizeof text, "%02x%02x%02x", rgb[0], rgb[1], rgb[2]);
        hex_want += std::string(text) + "\n";
    }
    EXPECT_EQ(std::string(hex.begin(), hex.end()), hex_want);

    const json swatch = read_with_pillow(dir, {"--pngs", "p.png"});
    EXPECT_EQ(swatch["size"], json({16, 1}));
    for (std::size_t i = 0; i < 16 && swatch["pixels"].size() == 1; ++i)
        EXPECT_EQ(swatch["pixels"][0][i], json({want[i][0], want[i][1], want[i][2], 255})) << i;
}

// A palette from elsewhere, in every form it is read in, draws every picture in its
// colours as Pillow shows them, and reads them back to the same values.
TEST(Palettes, PicturesAreDrawnInTheFilesColoursAndReadBack)
{
    temp_dir dir;
    const std::vector<std::string> walk = write_walk(dir);
    const finished_run made = python(dir, {scripts + "make_palettes.py", dir.path});
    ASSERT_EQ(made.status, 0) << made.errors;
    const json colours = json::parse(made.output);
    const std::vector<bytes> sprites = walk_sprites();
    for (const std::string palette : {"p.gpl", "jasc.pal", "riff.pal", "p.hex", "p.png"}) {
        ASSERT_EQ(pixconv(dir, {"--palette", palette, walk[0], "one.png"}).status, 0) << palette;
        EXPECT_EQ(clear_transparent(read_with_pillow(dir, {"--pngs", "one.png"})["pixels"]),
                  in_colours(expected_pixels({sprites[0]}, 1), colours)) << palette;
        ASSERT_EQ(pixconv(dir, {"--palette", palette, "one.png", "back.spr"}).status, 0) << palette;
        // The picture carries the palette written, so even a value over 15 comes back.
        EXPECT_EQ(read_file(dir.file("back.spr")), sprites[0]) << palette;
    }
    // Every other picture: the animations and their frames back, a sheet, a font's page.
    for (const std::string out : {"walk.gif", "walk.apng"}) {
        ASSERT_EQ(pixconv(dir, {"--palette", "p.hex", walk[0], walk[1], walk[2], out}).status, 0);
        EXPECT_EQ(clear_transparent(read_with_pillow(dir, {out})["pixels"]),
                  in_colours(expected_pixels(sprites, 1), colours)) << out;
    }
    ASSERT_EQ(pixconv(dir, {"--palette", "p.hex", "walk.gif", "back-%d.spr"}).status, 0);
    const finished_run plain = pixconv(dir, {"walk.gif", "plain-%d.spr"});
    EXPECT_EQ(plain.status, 1) << plain.errors; // not in the editors' colours
    ASSERT_EQ(pixconv(dir, {"--palette", "p.hex", walk[0], walk[1], "sheet.png"}).status, 0);
    ASSERT_EQ(mkdir(dir.file("frames").c_str(), 0755), 0);
    ASSERT_EQ(pixconv(dir, {"--palette", "p.hex", "sheet.png", "frames/"}).status, 0);
    for (int n = 0; n < 2; ++n) {
        const bytes back = read_file(dir.file("back-" + std::to_string(n) + ".spr"));
        EXPECT_EQ(read_file(dir.file("frames/walk-" + std::to_string(n) + ".spr")), sprites[n]);
        EXPECT_EQ(back.size(), 2 + 5 * 6u) << "frames on the whole canvas";
    }
    write_file(dir.file("font.fnt"), bytes(2048, 0xFF));
    ASSERT_EQ(pixconv(dir, {"--palette", "p.png", "--bmfont", "font.fnt", "page.fnt"}).status, 0);
    const json page = read_with_pillow(dir, {"--pngs", "page_0.png"});
    EXPECT_EQ(page["pixels"][0][0], json({colours[15][0], colours[15][1], colours[15][2], 255}));
}

// Each palette written, read back as the palette to use, changes nothing; the swatch
// carries exactly its 16 colours, as a program taking a palette from a picture sees.
TEST(Palettes, WrittenPalettesAreReadAsTheEditorsColours)
{
    temp_dir dir;
    const std::vector<std::string> walk = write_walk(dir);
    ASSERT_EQ(pixconv(dir, {walk[0], "plain.png"}).status, 0);
    for (const std::string name : {"p.gpl", "p.pal", "p.hex", "p.png"}) {
        ASSERT_EQ(pixconv(dir, {"--palette", name}).status, 0) << name;
        ASSERT_EQ(pixconv(dir, {"--palette", name, walk[0], "used.png"}).status, 0) << name;
        EXPECT_EQ(read_file(dir.file("used.png")), read_file(dir.file("plain.png"))) << name;
    }
    const finished_run entries = python(dir, {"-c", "from PIL import Image; print(len(Image.open('p.png').getpalette()))"});
    EXPECT_EQ(entries.output, "48\n") << entries.errors;
}

// A palette that cannot be used is one line, status 1, and nothing written.
TEST(Palettes, UnusablePalettesWriteNothing)
{
    temp_dir dir;
    const std::vector<std::string> walk = write_walk(dir);
    ASSERT_EQ(python(dir, {scripts + "make_palettes.py", dir.path}).status, 0);
    write_file(dir.file("bad.gpl"), as_bytes("GIMP Palette\n0 0 0\n1 2\n"));
    write_file(dir.file("bad.pal"), as_bytes("JASC-PAL\r\n0100\r\n16\r\n0 0 0\r\n"));
    write_file(dir.file("bad.png"), as_bytes("not a picture"));
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"short.hex", "it holds 15 colours; a palette needs 16"},
        {"bad.gpl", "line 3 is not three whole numbers from 0 to 255"},
        {"bad.pal", "it ends after 1 of the 16 colours it names"},
        {"bad.png", "the file is not a PNG image"},
        {"none.hex", "No such file or directory"},
    };
    for (const auto& [palette, message] : cases) {
        const finished_run run = pixconv(dir, {"--palette", palette, walk[0], walk[1], "a.gif"});
        EXPECT_EQ(run.status, 1) << palette;
        EXPECT_EQ(run.errors, "pixconv: " + palette + ": " + message + "\n");
    }
    EXPECT_FALSE(file_exists(dir.file("a.gif")));
}

TEST(Animations, UsageErrorsWriteNothing)
{
    temp_dir dir;
    const std::vector<std::string> walk = write_walk(dir);
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--delay", "0", walk[0], walk[1], "a.gif"}, "--delay takes a whole number from 1 to 655350, not '0'"},
        {{"--loop", "65536", walk[0], walk[1], "a.gif"}, "--loop takes a whole number from 0 to 65535, not '65536'"},
        {{"--delay", "50", walk[0], "a.png"}, "--delay applies to an animation: a GIF or APNG output, a tileset with --animation, or sprite frames"},
        {{"--nearest", walk[0], walk[1], "a.apng"}, "--nearest does not apply to making an animation from these files"},
        {{"--palette", "a.txt"}, "--palette writes .png, .gpl, .pal, .hex, not 'a.txt'"},
        {{"--palette", "a.gpl", "--loop", "2"}, "--palette FILE alone takes no other options"},
        {{"--palette", "a.txt", walk[0], "a.png"}, "--palette reads .png, .gpl, .pal, .hex, not 'a.txt'"},
        {{"--palette", "a.gpl", walk[0], "a.h"}, "--palette FILE with files to convert applies to a PNG, GIF, APNG or BMFont side"},
        {{walk[0], "a.gpl"}, "a.gpl: a GIMP palette is written by --palette FILE alone"},
    };
    for (const auto& [args, message] : cases) {
        const finished_run run = pixconv(dir, args);
        EXPECT_EQ(run.status, 2) << message;
        EXPECT_EQ(run.errors, "pixconv: " + message + " (see pixconv --help)\n");
    }
    EXPECT_EQ(list_dir(dir.path).size(), walk.size());
}

// The reader hands back what the writer was given, the values over 15 as shown.
TEST(GifFile, RandomAnimationsComeBackAsWritten)
{
    std::mt19937 random(21);
    for (int round = 0; round < 40; ++round) {
        animation movie;
        movie.width = 1 + random() % 40;
        movie.height = 1 + random() % 40;
        movie.loops = random() % 3;
        const std::size_t frames = 1 + random() % 5;
        for (std::size_t f = 0; f < frames; ++f) {
            std::vector<std::uint8_t> values(movie.width * movie.height);
            for (std::uint8_t& value : values)
                value = random() % 4 == 0 ? 255 : static_cast<std::uint8_t>(random() % 255);
            movie.frames.push_back(values);
            movie.durations_ms.push_back(10 * (1 + random() % 300));
        }
        std::vector<std::uint8_t> gif;
        ASSERT_EQ(write_gif(movie, 1, gif), "");
        animation read;
        ASSERT_EQ(read_gif(gif, false, read), "") << round;
        for (auto& frame : movie.frames)
            for (std::uint8_t& value : frame)
                value = value == 255 ? 255 : value & 15;
        EXPECT_EQ(read.width, movie.width);
        EXPECT_EQ(read.frames, movie.frames) << round;
        EXPECT_EQ(read.durations_ms, movie.durations_ms) << round;
        EXPECT_EQ(read.loops, movie.loops) << round;
        // Frame by frame, the same frames; and the count, without decoding, agrees.
        std::vector<std::vector<std::uint8_t>> streamed;
        animation header;
        const gif_frame_taker keep = [&](animation& so_far) {
            streamed.push_back(std::move(so_far.frames.back()));
            return std::string();
        };
        ASSERT_EQ(read_gif_frames(gif, false, keep, header), "") << round;
        EXPECT_EQ(streamed, movie.frames) << round;
        EXPECT_EQ(header.durations_ms, movie.durations_ms) << round;
        EXPECT_EQ(count_gif_frames(gif), frames) << round;
        gif.pop_back(); // the trailer
        EXPECT_EQ(count_gif_frames(gif), frames) << round;
        gif.erase(gif.end() - 3, gif.end()); // into the last frame's data
        animation cut; // kept when its last pixel is still there, else the file is refused
        if (read_gif(gif, false, cut).empty()) {
            EXPECT_EQ(count_gif_frames(gif), cut.frames.size()) << round;
        }
    }
    // A taker's refusal ends the reading with its sentence.
    animation movie{1, 1, std::vector<std::vector<std::uint8_t>>(12, {3}), std::vector<std::uint32_t>(12, 100), 0};
    std::vector<std::uint8_t> gif;
    ASSERT_EQ(write_gif(movie, 1, gif), "");
    std::size_t taken = 0;
    animation header;
    EXPECT_EQ(read_gif_frames(gif, false, [&](animation&) { return std::string(++taken == 9 ? "stop" : ""); }, header), "stop");
    EXPECT_EQ(taken, 9u);
    EXPECT_EQ(gif_delay_of(4), 1);
    EXPECT_EQ(gif_delay_of(15), 2);
    EXPECT_EQ(gif_delay_of(655350), 65535);
}

TEST(GifFile, SizesAreRefusedBeforeDecoding)
{
    animation wide;
    wide.width = 256;
    wide.height = 1;
    wide.frames.assign(1, std::vector<std::uint8_t>(256, 3));
    wide.durations_ms = {100};
    std::vector<std::uint8_t> gif;
    ASSERT_EQ(write_gif(wide, 1, gif), "");
    animation read;
    EXPECT_EQ(read_gif(gif, false, read),
              "the canvas is 256 x 1 pixels; at least 1 x 1 and at most 255 x 255 can be read");
    animation noisy;
    noisy.width = noisy.height = 30;
    noisy.frames.assign(1, std::vector<std::uint8_t>(900));
    for (std::size_t i = 0; i < 900; ++i)
        noisy.frames[0][i] = static_cast<std::uint8_t>(i * 7919 % 17);
    noisy.durations_ms = {100};
    ASSERT_EQ(write_gif(noisy, 1, gif), "");
    EXPECT_EQ(read_gif(std::span(gif).first(gif.size() - 40), false, read).substr(0, 19), "the file is damaged");
    EXPECT_EQ(read_gif(std::vector<std::uint8_t>{'G', 'I', 'F'}, false, read).substr(0, 3), "not");
}

// Every chunk framed and checked as the PNG reader checks chunks; fcTL and fdAT
// numbered from 0 without a gap; acTL before the first IDAT.
TEST(ApngFile, ChunksAreFramedAndNumbered)
{
    animation movie;
    movie.width = 3;
    movie.height = 2;
    movie.loops = 5;
    movie.frames = {{1, 2, 3, 255, 4, 5}, {255, 255, 6, 7, 8, 9}, {9, 9, 9, 9, 9, 9}};
    movie.durations_ms = {100, 65537, 33};
    std::vector<std::uint8_t> apng;
    ASSERT_EQ(write_apng(movie, 2, apng), "");
    std::vector<std::string> types;
    std::vector<std::uint32_t> sequence;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> delays;
    std::size_t at = 8;
    while (at + 12 <= apng.size()) {
        const std::uint32_t length = load32(&apng[at]);
        ASSERT_LE(length, apng.size() - at - 12);
        const std::string type(apng.begin() + at + 4, apng.begin() + at + 8);
        const std::uint8_t* data = &apng[at + 8];
        EXPECT_EQ(load32(data + length), crc32(0, &apng[at + 4], length + 4)) << type;
        types.push_back(type);
        if (type == "acTL") {
            EXPECT_EQ(std::make_pair(load32(data), load32(data + 4)), std::make_pair(3u, 5u));
        }
        if (type == "fcTL" || type == "fdAT")
            sequence.push_back(load32(data));
        if (type == "fcTL") {
            EXPECT_EQ(length, 26u);
            EXPECT_EQ(std::make_pair(load32(data + 4), load32(data + 8)), std::make_pair(6u, 4u));
            delays.emplace_back(data[20] << 8 | data[21], data[22] << 8 | data[23]);
            EXPECT_EQ(data[24], 1) << "dispose op background";
            EXPECT_EQ(data[25], 0) << "blend op source";
        }
        at += 12 + std::size_t{length};
    }
    EXPECT_EQ(at, apng.size());
    ASSERT_GE(types.size(), 9u);
    EXPECT_EQ(types.front(), "IHDR");
    EXPECT_EQ(types.back(), "IEND");
    const auto first = [&](const std::string& type) { return std::find(types.begin(), types.end(), type) - types.begin(); };
    EXPECT_LT(first("PLTE"), first("acTL"));
    EXPECT_LT(first("tRNS"), first("acTL"));
    EXPECT_LT(first("acTL"), first("fcTL"));
    EXPECT_LT(first("fcTL"), first("IDAT"));
    EXPECT_LT(first("IDAT"), first("fdAT"));
    for (std::uint32_t i = 0; i < sequence.size(); ++i)
        EXPECT_EQ(sequence[i], i);
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> want = {{1, 10}, {6554, 100}, {33, 1000}};
    EXPECT_EQ(delays, want);
}

// A frame's "duration" is read where it is a whole number of milliseconds in range,
// written only when set, and anything else is refused naming the frame.
TEST(AtlasDurations, AreReadWrittenAndChecked)
{
    const auto atlas_text = [](const std::string& duration) {
        const std::string text = R"({"frames": {"w": {"frame": {"x": 0, "y": 0, "w": 2, "h": 2}, "duration": )" +
                                 duration + "}}}";
        return std::vector<std::uint8_t>(text.begin(), text.end());
    };
    atlas read;
    ASSERT_EQ(read_atlas_json(atlas_text("655350"), read), "");
    EXPECT_EQ(read.frames[0].duration_ms, 655350u);
    for (const std::string bad : {"-1", "1.5", "655351", "\"100\"", "null"})
        EXPECT_EQ(read_atlas_json(atlas_text(bad), read),
                  "frame \"w\" has a \"duration\" that is not a whole number of milliseconds from 0 to 655350")
            << bad;
    std::string json_text;
    read.frames.push_back({"v", {2, 0, 2, 2}});
    ASSERT_EQ(write_atlas_json(read, atlas_layout::array, json_text), "");
    EXPECT_NE(json_text.find("\"duration\":655350"), std::string::npos) << json_text;
    EXPECT_EQ(json_text.find("duration"), json_text.rfind("duration")) << json_text;
    atlas again;
    ASSERT_EQ(read_atlas_json(std::vector<std::uint8_t>(json_text.begin(), json_text.end()), again), "");
    EXPECT_EQ(again.frames[0].duration_ms, 655350u);
    EXPECT_EQ(again.frames[1].duration_ms, std::nullopt);
}

// Frames are written one by one into temporary files; a disk that fills part way
// leaves none of them, and none of the outputs, behind.
TEST(Animations, ACutShortByAFullDiskLeavesNoFileBehind)
{
    MOUNT_SMALL_DISK(disk, "size=64k");
    temp_dir dir;
    // 40 frames of 8 x 8: each file takes a page of the 16 the disk has.
    animation movie{8, 8, std::vector<std::vector<std::uint8_t>>(40, std::vector<std::uint8_t>(64, 5)),
                    std::vector<std::uint32_t>(40, 100), 0};
    std::vector<std::uint8_t> gif;
    ASSERT_EQ(write_gif(movie, 1, gif), "");
    write_file(dir.file("walk.gif"), gif);
    const finished_run run = pixconv(dir, {"walk.gif", disk.path + "/"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find(": cannot be written: No space left on device; nothing was written\n"),
              std::string::npos)
        << run.errors;
    EXPECT_EQ(list_dir(disk.path), std::vector<std::string>{});
    ASSERT_EQ(pixconv(dir, {"walk.gif", disk.path + "/w%02d.spr"}).status, 1);
    EXPECT_EQ(list_dir(disk.path), std::vector<std::string>{});

    movie.frames.resize(4);
    movie.durations_ms.resize(4);
    ASSERT_EQ(write_gif(movie, 1, gif), "");
    write_file(dir.file("walk.gif"), gif);
    ASSERT_EQ(pixconv(dir, {"walk.gif", disk.path + "/"}).status, 0);
    std::vector<std::string> written = list_dir(disk.path);
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"walk-0.spr", "walk-1.spr", "walk-2.spr", "walk-3.spr"}));
}
