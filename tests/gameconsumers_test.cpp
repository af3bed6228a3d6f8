// What pixconv writes for a map editor and a game engine, read by them: the map
// editor's own renderer (tmxrasterizer) draws a map of the written tileset and its
// animated tile, and the engine (godot3-server) loads the version 3 sprite frames and
// prints what it sees. The version 4 form is checked by parsing it against the same
// facts, since no version 4 engine is installed here.
#include "support.hpp"

#include "formats/pngimage.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr std::uint8_t tile_width = 6;
constexpr std::uint8_t tile_height = 5;

finished_run pixconv(const temp_dir& dir, const std::vector<std::string>& args)
{
    std::vector<std::string> argv{PIXCONV_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(argv, dir.path, std::chrono::minutes(2));
}

// Sprite n: every pixel its own colour from n on, one transparent pixel that moves.
bytes sprite(int n)
{
    bytes file{tile_width, tile_height};
    for (int i = 0; i < tile_width * tile_height; ++i)
        file.push_back(i == n * 7 ? 255 : static_cast<std::uint8_t>((n * 5 + i) % 16));
    return file;
}

// The four sprites as files a.spr ... d.spr in `dir`; returns their names.
std::vector<std::string> write_sprites(const temp_dir& dir, const std::string& folder = "")
{
    std::vector<std::string> names;
    for (int n = 0; n < 4; ++n) {
        names.push_back(folder + std::string(1, static_cast<char>('a' + n)) + ".spr");
        write_file(dir.file(names.back()), sprite(n));
    }
    return names;
}

// A one-row map of `gids` (1 is tile 0) over the tileset tiles.tsx.
std::string map_of(const std::vector<int>& gids)
{
    std::string csv;
    for (int gid : gids)
        csv += (csv.empty() ? "" : ",") + std::to_string(gid);
    const std::string width = std::to_string(gids.size());
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<map version=\"1.8\" orientation=\"orthogonal\" renderorder=\"right-down\" width=\"" + width +
           "\" height=\"1\" tilewidth=\"" + std::to_string(tile_width) + "\" tileheight=\"" +
           std::to_string(tile_height) + "\" infinite=\"0\" nextlayerid=\"2\" nextobjectid=\"1\">\n"
           " <tileset firstgid=\"1\" source=\"tiles.tsx\"/>\n"
           " <layer id=\"1\" name=\"ground\" width=\"" + width + "\" height=\"1\">\n"
           "  <data encoding=\"csv\">" + csv + "</data>\n </layer>\n</map>\n";
}

// Renders `map` with the map editor's renderer, `advance` ms into its animations, and
// reads the picture back as palette indices (255: transparent); a colour outside the
// palette fails the read, so this compares pixel for pixel.
std::string render(const temp_dir& dir, const std::string& map, int advance, bitmap& picture)
{
    write_file(dir.file("map.tmx"), bytes(map.begin(), map.end()));
    const std::string runtime = dir.file("xdg");
    mkdir(runtime.c_str(), 0700);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    std::vector<std::string> argv{"/usr/bin/tmxrasterizer"};
    if (advance > 0)
        argv.insert(argv.end(), {"--advance-animations", std::to_string(advance)});
    argv.insert(argv.end(), {"map.tmx", "map.png"});
    const finished_run result = run_program(argv, dir.path);
    if (result.status != 0)
        return "tmxrasterizer ended with " + std::to_string(result.status) + ": " + result.errors;
    const bytes png = read_file(dir.file("map.png"));
    std::free(picture.bitmap);
    picture = {};
    return read_png_sprite(png, 1, false, picture);
}

// Where the rendered picture differs from `sprites` side by side; "" when it does not.
std::string difference(const bitmap& picture, const std::vector<int>& sprites)
{
    if (picture.width != tile_width * sprites.size() || picture.height != tile_height)
        return "the map is " + std::to_string(picture.width) + " x " + std::to_string(picture.height);
    for (int y = 0; y < tile_height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const int n = sprites[static_cast<std::size_t>(x / tile_width)];
            const std::uint8_t expected = sprite(n)[2 + static_cast<std::size_t>(y * tile_width + x % tile_width)];
            const std::uint8_t drawn = picture.bitmap[y * picture.width + x];
            if (drawn != expected)
                return "at (" + std::to_string(x) + ", " + std::to_string(y) + ") " + std::to_string(drawn) +
                       " where sprite " + std::to_string(n) + " has " + std::to_string(expected);
        }
    return "";
}

// Gives the frames of sheet.json these durations, in order.
void add_durations(const temp_dir& dir, const std::vector<int>& durations)
{
    const bytes json = read_file(dir.file("sheet.json"));
    std::string text(json.begin(), json.end());
    std::size_t at = 0;
    for (int duration : durations) {
        at = text.find("{\"frame\":", at);
        ASSERT_NE(at, std::string::npos);
        const std::string insert = "{\"duration\": " + std::to_string(duration) + ", ";
        text.replace(at, 1, insert);
        at += insert.size();
    }
    write_file(dir.file("sheet.json"), bytes(text.begin(), text.end()));
}

} // namespace

TEST(GameConsumers, TheMapEditorDrawsEveryTileAndTheAnimationByItsDurations)
{
    temp_dir dir;
    std::vector<std::string> args = write_sprites(dir);
    args.push_back("sheet.png");
    ASSERT_EQ(pixconv(dir, args).status, 0);
    add_durations(dir, {100, 250, 50, 300});
    const finished_run made = pixconv(dir, {"sheet.png", "tiles.tsx", "--animation", "--padding", "1", "--columns", "3"});
    ASSERT_EQ(made.status, 0) << made.errors;

    bitmap picture{};
    ASSERT_EQ(render(dir, map_of({1, 2, 3, 4}), 0, picture), "");
    EXPECT_EQ(difference(picture, {0, 1, 2, 3}), "");
    // Frames run 0-100, 100-350, 350-400 and 400-700 ms, then again from the first.
    for (const auto& [time, frame] : std::vector<std::pair<int, int>>{{50, 0}, {225, 1}, {375, 2}, {550, 3}, {750, 0}}) {
        ASSERT_EQ(render(dir, map_of({1}), time, picture), "") << time << " ms";
        EXPECT_EQ(difference(picture, {frame}), "") << time << " ms";
    }
    std::free(picture.bitmap);

    // With no atlas beside it, the sheet is cut by its tileset.
    const std::string folder = dir.file("cut");
    mkdir(folder.c_str(), 0755);
    ASSERT_EQ(pixconv(dir, {"tiles.png", "cut/"}).status, 0);
    for (int n = 0; n < 4; ++n)
        EXPECT_EQ(read_file(dir.file("cut/" + std::to_string(n) + ".spr")), sprite(n)) << n;
}

namespace {

// The expected texture: the first three sprites in one row, one pixel apart.
std::string expected_texture()
{
    std::string rows;
    for (int y = 0; y < tile_height; ++y) {
        for (int x = 0; x < 3 * tile_width + 2; ++x) {
            const bool gap = x % (tile_width + 1) == tile_width;
            const std::uint8_t value =
                gap ? 255 : sprite(x / (tile_width + 1))[2 + static_cast<std::size_t>(y * tile_width + x % (tile_width + 1))];
            char text[16];
            std::snprintf(text, sizeof text, "%08x ", value == 255 ? 0u : 0xFF000000u | window_rgb(value));
            rows += text;
        }
        rows += "\n";
    }
    return rows;
}

// Prints what the engine sees in res://sprites/walk.tres: each animation's name, speed,
// loop and frames, every frame's region and texture, and the texture's pixels as
// AARRGGBB (transparent pixels as 00000000: the importer recolours them).
constexpr const char* check_script = R"(extends SceneTree

func _init():
	var frames = load("res://sprites/walk.tres")
	var texture = null
	for name in frames.get_animation_names():
		print("animation ", name, " speed ", frames.get_animation_speed(name), " loop ", frames.get_animation_loop(name), " frames ", frames.get_frame_count(name))
		for i in range(frames.get_frame_count(name)):
			var frame = frames.get_frame(name, i)
			texture = frame.atlas
			print("region ", frame.region.position.x, " ", frame.region.position.y, " ", frame.region.size.x, " ", frame.region.size.y, " ", texture.resource_path)
	var image = texture.get_data()
	image.lock()
	print("texture ", image.get_width(), " x ", image.get_height())
	for y in range(image.get_height()):
		var row = ""
		for x in range(image.get_width()):
			var colour = image.get_pixel(x, y)
			row += ("00000000" if colour.a == 0 else colour.to_html()) + " "
		print(row)
	quit()
)";

std::string engine_lines(const std::string& output)
{
    std::istringstream in(output);
    std::string lines;
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("animation") || line.starts_with("region") || line.starts_with("texture") ||
            std::regex_match(line, std::regex("([0-9a-f]{8} )+")))
            lines += line + "\n";
    return lines;
}

} // namespace

TEST(GameConsumers, TheEngineLoadsVersionThreeSpriteFramesWithTheirRegionsAndPixels)
{
    temp_dir dir;
    const std::string sprites = dir.file("project/sprites");
    ASSERT_EQ(std::system(("mkdir -p '" + sprites + "' '" + dir.file("home") + "'").c_str()), 0);
    std::vector<std::string> args = write_sprites(dir, "project/sprites/");
    args.pop_back();
    args.insert(args.end(), {"project/sprites/walk.tres", "--godot", "3", "--delay", "125", "--columns", "3",
                             "--padding", "1", "--name", "hero \"walk\""});
    const finished_run made = pixconv(dir, args);
    ASSERT_EQ(made.status, 0) << made.errors;
    const std::string project = "config_version=4\n\n[application]\n\nconfig/name=\"check\"\n";
    write_file(dir.file("project/project.godot"), bytes(project.begin(), project.end()));
    write_file(dir.file("project/check.gd"), bytes(check_script, check_script + std::strlen(check_script)));

    setenv("HOME", dir.file("home").c_str(), 1);
    const finished_run imported = run_program({"/usr/bin/godot3-server", "--path", "project", "--editor", "--quit"},
                                              dir.path);
    ASSERT_EQ(imported.status, 0) << imported.output << imported.errors;
    const finished_run checked = run_program({"/usr/bin/godot3-server", "--path", "project", "--script",
                                              "res://check.gd"}, dir.path);
    ASSERT_EQ(checked.status, 0) << checked.output << checked.errors;
    std::string expected = "animation hero \"walk\" speed 8 loop True frames 3\n";
    for (int n = 0; n < 3; ++n)
        expected += "region " + std::to_string(n * (tile_width + 1)) + " 0 " + std::to_string(tile_width) + " " +
                    std::to_string(tile_height) + " res://sprites/walk.png\n";
    expected += "texture " + std::to_string(3 * tile_width + 2) + " x " + std::to_string(tile_height) + "\n";
    EXPECT_EQ(engine_lines(checked.output), expected + expected_texture()) << checked.output;
}

TEST(GameConsumers, VersionFourSpriteFramesGiveEveryFrameItsExactMilliseconds)
{
    temp_dir dir;
    std::vector<std::string> args = write_sprites(dir);
    args.push_back("sheet.png");
    ASSERT_EQ(pixconv(dir, args).status, 0);
    add_durations(dir, {100, 250, 50, 30});
    ASSERT_EQ(pixconv(dir, {"sheet.png", "walk.tres", "--columns", "4"}).status, 0);
    const bytes file = read_file(dir.file("walk.tres"));
    const std::string text(file.begin(), file.end());
    ASSERT_TRUE(text.starts_with("[gd_resource type=\"SpriteFrames\" load_steps=6 format=3]\n")) << text;
    EXPECT_NE(text.find("[ext_resource type=\"Texture2D\" path=\"walk.png\" id=\"1\"]"), std::string::npos);
    EXPECT_NE(text.find("\"loop\": true,\n\"name\": &\"walk\","), std::string::npos) << text;

    std::smatch speed;
    ASSERT_TRUE(std::regex_search(text, speed, std::regex("\"speed\": ([0-9.]+)\n")));
    const double fps = std::stod(speed[1]);
    std::vector<int> durations;
    const std::regex frame("\"duration\": ([0-9.]+),\n\"texture\": SubResource\\(\"(AtlasTexture_[0-9]+)\"\\)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), frame); it != std::sregex_iterator(); ++it) {
        const double units = std::stod((*it)[1]);
        EXPECT_EQ(units, static_cast<double>(static_cast<long>(units))) << "not whole frames: " << (*it)[1];
        durations.push_back(static_cast<int>(units * 1000 / fps + 0.5));
        EXPECT_EQ(units * 1000 / fps, durations.back());
        const std::string region = "id=\"" + std::string((*it)[2]) + "\"]\natlas = ExtResource(\"1\")\nregion = Rect2(" +
                                   std::to_string((durations.size() - 1) * tile_width) + ", 0, 6, 5)";
        EXPECT_NE(text.find(region), std::string::npos) << region;
    }
    EXPECT_EQ(durations, (std::vector<int>{100, 250, 50, 30}));

    // The same inputs give the same bytes.
    ASSERT_EQ(pixconv(dir, {"sheet.png", "again.tres", "--columns", "4", "--name", "walk"}).status, 0);
    const bytes again = read_file(dir.file("again.tres"));
    std::string expected = text;
    expected.replace(expected.find("walk.png"), 8, "again.png");
    EXPECT_EQ(std::string(again.begin(), again.end()), expected);
    EXPECT_EQ(read_file(dir.file("again.png")), read_file(dir.file("walk.png")));
}

TEST(GameConsumers, UsageErrorsTheFilesShowWriteNothing)
{
    temp_dir dir;
    std::vector<std::string> args = write_sprites(dir);
    bytes big(2 + 7 * 5, 1);
    big[0] = 7;
    big[1] = 5;
    write_file(dir.file("big.spr"), big);
    const finished_run sizes = pixconv(dir, {"a.spr", "big.spr", "tiles.tsx"});
    EXPECT_EQ(sizes.status, 2);
    EXPECT_EQ(sizes.errors, "pixconv: the tiles of a tileset must all have one size, but a is 6 x 5 and big 7 x 5 "
                            "(see pixconv --help)\n");
    ASSERT_EQ(pixconv(dir, {"a.spr", "b.spr", "sheet.png"}).status, 0);
    add_durations(dir, {100, 90});
    const finished_run unequal = pixconv(dir, {"sheet.png", "walk.tres", "--godot", "3"});
    EXPECT_EQ(unequal.status, 2);
    EXPECT_NE(unequal.errors.find("--godot 3 plays every frame for as long, but a lasts 100 ms and b 90 ms"),
              std::string::npos)
        << unequal.errors;
    EXPECT_EQ(pixconv(dir, {"sheet.png", "walk.tres", "--godot", "3", "--delay", "90"}).status, 0);
    for (const char* name : {"tiles.tsx", "tiles.png"})
        EXPECT_FALSE(file_exists(dir.file(name))) << name;
}

// A tileset as the map editor's own examples give one, without columns, tile count or
// the picture's size, is laid out on the picture: every tile pixconv cuts is the tile the
// map editor draws, whole rows of them, with and without a margin.
TEST(GameConsumers, ATilesetWithoutColumnsIsCutAsTheMapEditorDrawsIt)
{
    temp_dir dir;
    std::vector<std::string> args = write_sprites(dir);
    args.insert(args.end(), {"--padding", "1", "--columns", "3", "tiles.tsx"});
    ASSERT_EQ(pixconv(dir, args).status, 0);
    for (const auto& [margin, tiles] : std::vector<std::pair<int, int>>{{0, 6}, {1, 2}, {4, 2}}) {
        const std::string tsx = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tileset name=\"tiles\" tilewidth=\"" +
                                std::to_string(tile_width) + "\" tileheight=\"" + std::to_string(tile_height) +
                                "\" spacing=\"1\" margin=\"" + std::to_string(margin) +
                                "\">\n <image source=\"tiles.png\"/>\n</tileset>\n";
        write_file(dir.file("tiles.tsx"), bytes(tsx.begin(), tsx.end()));
        const std::string folder = "cut-" + std::to_string(margin);
        ASSERT_EQ(mkdir(dir.file(folder).c_str(), 0755), 0);
        const finished_run cut = pixconv(dir, {"tiles.png", folder + "/"});
        ASSERT_EQ(cut.status, 0) << cut.errors;
        EXPECT_EQ(list_dir(dir.file(folder)).size(), static_cast<std::size_t>(tiles)) << "margin " << margin;
        std::vector<int> gids;
        for (int gid = 1; gid <= tiles; ++gid)
            gids.push_back(gid);
        bitmap picture{};
        ASSERT_EQ(render(dir, map_of(gids), 0, picture), "");
        ASSERT_EQ(picture.width, tile_width * tiles);
        for (int tile = 0; tile < tiles; ++tile) {
            const bytes sprite = read_file(dir.file(folder + "/" + std::to_string(tile) + ".spr"));
            ASSERT_EQ(sprite.size(), 2u + tile_width * tile_height) << tile;
            for (int y = 0; y < tile_height; ++y)
                for (int x = 0; x < tile_width; ++x)
                    ASSERT_EQ(picture.bitmap[y * picture.width + tile * tile_width + x], sprite[2 + y * tile_width + x])
                        << "margin " << margin << ", tile " << tile << " at (" << x << ", " << y << ")";
        }
        std::free(picture.bitmap);
    }
}
