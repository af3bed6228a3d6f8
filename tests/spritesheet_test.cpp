// Sprite sheets and atlases: pack -> atlas JSON -> cut gives back every sprite byte for
// byte, the layouts are where the header says, foreign atlases and sheets are read or
// refused as they should be, and output names are safe.
#include "formats/atlasjson.hpp"
#include "art/bitmap.hpp"
#include "formats/pngimage.hpp"
#include "formats/spritesheet.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

// Sprite files with random values 0-15 and transparent.
std::vector<bytes> random_sprite_files(std::mt19937& random, const std::vector<std::pair<int, int>>& sizes)
{
    std::vector<bytes> files;
    for (const auto& [width, height] : sizes) {
        bytes file{static_cast<std::uint8_t>(width), static_cast<std::uint8_t>(height)};
        for (int i = 0; i < width * height; ++i) {
            const auto value = static_cast<std::uint8_t>(random() % 17);
            file.push_back(value == 16 ? transparent : value);
        }
        files.push_back(file);
    }
    return files;
}

// Reads the files into sprites, which free themselves.
struct sprite_set {
    explicit sprite_set(const std::vector<bytes>& files)
    {
        for (const bytes& file : files) {
            bitmap sprite{};
            EXPECT_EQ(read_sprite_file(file, sprite), "");
            sprites.push_back(sprite);
            names.push_back("frame-" + std::to_string(names.size()));
        }
    }
    ~sprite_set()
    {
        for (bitmap& sprite : sprites)
            std::free(sprite.bitmap);
    }
    std::vector<bitmap> sprites;
    std::vector<std::string> names;
};

bool overlap(const image_area& a, const image_area& b)
{
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

// Packs, writes and reads the atlas, cuts, and checks every file comes back whole.
void expect_round_trip(const std::vector<bytes>& files, const pack_options& options, atlas_layout layout)
{
    const std::string context = "scale " + std::to_string(options.scale) + ", padding " +
                                std::to_string(options.padding) + ", columns " + std::to_string(options.columns);
    sprite_set set(files);
    bytes png;
    atlas packed;
    ASSERT_EQ(pack_sheet(set.sprites, set.names, options, png, packed), "") << context;
    for (std::size_t i = 0; i < packed.frames.size(); ++i)
        for (std::size_t j = i + 1; j < packed.frames.size(); ++j)
            ASSERT_FALSE(overlap(packed.frames[i].area, packed.frames[j].area)) << context << ": " << i << ", " << j;
    packed.image = "sheet.png";

    std::string json;
    ASSERT_EQ(write_atlas_json(packed, layout, json), "");
    atlas read;
    ASSERT_EQ(read_atlas_json(bytes(json.begin(), json.end()), read), "") << json;
    EXPECT_EQ(read.image, "sheet.png");
    EXPECT_EQ(read.width, packed.width);
    EXPECT_EQ(read.height, packed.height);
    std::vector<cut_sprite> cut;
    ASSERT_EQ(cut_sheet(png, read.frames, options.scale, false, false, cut), "") << context;
    ASSERT_EQ(cut.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(read.frames[i].name, set.names[i]);
        EXPECT_EQ(cut[i].file, files[i]) << context << ", sprite " << i;
    }
}

bytes text_bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

std::string read_error(const std::string& json)
{
    atlas result;
    return read_atlas_json(text_bytes(json), result);
}

} // namespace

TEST(SpriteSheet, PackThenCutGivesBackEverySpriteUniformAndMixed)
{
    std::mt19937 random(15);
    const std::vector<std::pair<int, int>> uniform(8, {16, 24});
    const std::vector<std::pair<int, int>> mixed = {{16, 16}, {3, 40}, {255, 1}, {1, 255}, {7, 9}, {32, 8}, {5, 5}};
    for (const pack_options options : {pack_options{0, 1, 0}, pack_options{3, 3, 2}, pack_options{0, 2, 5}})
        for (const atlas_layout layout : {atlas_layout::hash, atlas_layout::array}) {
            expect_round_trip(random_sprite_files(random, uniform), options, layout);
            expect_round_trip(random_sprite_files(random, mixed), options, layout);
        }
}

TEST(SpriteSheet, RandomMixedSetsNeverOverlapAndStayOnTheSheet)
{
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::pair<int, int>> sizes(1 + random() % 30);
        for (auto& [width, height] : sizes) {
            width = 1 + static_cast<int>(random() % 64);
            height = 1 + static_cast<int>(random() % 64);
        }
        const pack_options options{static_cast<std::uint32_t>(random() % 6), 1 + static_cast<std::uint32_t>(random() % 3),
                                   static_cast<std::uint32_t>(random() % 4)};
        sprite_set set(random_sprite_files(random, sizes));
        atlas layout;
        ASSERT_EQ(layout_sheet(set.sprites, set.names, options, layout), "");
        for (std::size_t i = 0; i < layout.frames.size(); ++i) {
            const image_area& a = layout.frames[i].area;
            ASSERT_LE(a.x + a.width, layout.width);
            ASSERT_LE(a.y + a.height, layout.height);
            ASSERT_EQ(a.width, sizes[i].first * options.scale);
            for (std::size_t j = i + 1; j < layout.frames.size(); ++j)
                ASSERT_FALSE(overlap(a, layout.frames[j].area)) << "round " << round << ": " << i << ", " << j;
        }
    }
}

TEST(SpriteSheet, UniformGridIsAsSquareAsItGetsOrHasTheColumnsAsked)
{
    std::mt19937 random(1);
    sprite_set eight(random_sprite_files(random, std::vector<std::pair<int, int>>(8, {16, 16})));
    atlas layout;
    ASSERT_EQ(layout_sheet(eight.sprites, eight.names, {0, 1, 0}, layout), "");
    EXPECT_EQ(layout.width, 48u);
    EXPECT_EQ(layout.height, 48u);
    EXPECT_EQ(layout.frames[4].area.x, 16u);
    EXPECT_EQ(layout.frames[4].area.y, 16u);

    ASSERT_EQ(layout_sheet(eight.sprites, eight.names, {4, 2, 3}, layout), "");
    EXPECT_EQ(layout.width, 4u * 32 + 3 * 3);
    EXPECT_EQ(layout.height, 2u * 32 + 3);
    EXPECT_EQ(layout.frames[5].area.x, 35u);
    EXPECT_EQ(layout.frames[5].area.y, 35u);

    // Tall sprites: squareness is in pixels, not cells (3 columns would be 24 x 96).
    sprite_set tall(random_sprite_files(random, std::vector<std::pair<int, int>>(8, {8, 32})));
    ASSERT_EQ(layout_sheet(tall.sprites, tall.names, {0, 1, 0}, layout), "");
    EXPECT_EQ(layout.width, 32u);
    EXPECT_EQ(layout.height, 64u);
}

TEST(SpriteSheet, PackRefusesEmptySpritesAndSheetsTooLarge)
{
    std::mt19937 random(2);
    sprite_set set(random_sprite_files(random, {{4, 4}, {5, 0}}));
    atlas layout;
    EXPECT_EQ(layout_sheet(set.sprites, set.names, {}, layout), "the sprite \"frame-1\" is 5 x 0 pixels: a frame needs at least one");
    sprite_set wide(random_sprite_files(random, std::vector<std::pair<int, int>>(3, {255, 1})));
    EXPECT_EQ(layout_sheet(wide.sprites, wide.names, {3, 64, 0}, layout),
              "the sheet would be 48960 x 64 pixels; a sheet is at most 8192 x 8192");
    EXPECT_TRUE(layout.frames.empty());
}

TEST(SpriteSheet, GridKeepsWholeCellsRowByRowAndSkipsEmptyOnes)
{
    // A 2 x 2 grid of 4 x 3 cells at offset (1, 2), 1 pixel apart, in a 12 x 10 image
    // (a third column would need 14 pixels). Cell 2 is wholly transparent.
    std::vector<std::uint8_t> values(12 * 10, 9);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            values[(2 + y) * 12 + 1 + x] = static_cast<std::uint8_t>(y * 4 + x);
            values[(2 + y) * 12 + 6 + x] = 14;
            values[(6 + y) * 12 + 1 + x] = transparent;
            values[(6 + y) * 12 + 6 + x] = x == y ? 1 : transparent;
        }
    bytes png;
    ASSERT_EQ(write_png_picture(12, 10, values, png), "");
    std::vector<atlas_frame> frames;
    ASSERT_EQ(grid_frames(12, 10, {4, 3, 1, 2, 1}, frames), "");
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[3].name, "3");
    EXPECT_EQ(frames[3].area.x, 6u);
    EXPECT_EQ(frames[3].area.y, 6u);

    std::vector<cut_sprite> cut;
    ASSERT_EQ(cut_sheet(png, frames, 1, false, true, cut), "");
    ASSERT_EQ(cut.size(), 3u);
    EXPECT_EQ(cut[0].file, (bytes{4, 3, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(cut[2].frame, 3u);
    EXPECT_EQ(cut[2].file, (bytes{4, 3, 1, 255, 255, 255, 255, 1, 255, 255, 255, 255, 1, 255}));

    EXPECT_EQ(grid_frames(12, 10, {12, 9, 1, 0, 0}, frames), "no 12 x 9 cell at offset (1, 0) fits in the 12 x 10 image");
    EXPECT_EQ(cut_sheet(png, frames, 2, false, false, cut), "the 4 x 3 frame at (1, 2) is not a whole number of 2 x 2 blocks");
}

TEST(SpriteSheet, ThirdPartySheetCutsIntoTheSpritesDrawn)
{
    // An RGBA sheet with an off-palette background, as a paint program writes it: two
    // 3 x 2 sprites at 2x, at offset (1, 1), 2 pixels apart; one has a transparent pixel.
    temp_dir dir;
    const std::string script = R"(
from PIL import Image
import sys
colours = {1: (0, 0, 0xA0, 255), 12: (0xFF, 0x5F, 0x5F, 255), 15: (255, 255, 255, 255), 255: (9, 9, 9, 0)}
sprites = [[1, 12, 15, 15, 12, 1], [255, 1, 1, 12, 12, 15]]
sheet = Image.new('RGBA', (17, 7), (200, 0, 200, 255))
for n, sprite in enumerate(sprites):
    for i, value in enumerate(sprite):
        x, y = 1 + n * 8 + (i % 3) * 2, 1 + (i // 3) * 2
        for dy in range(2):
            for dx in range(2):
                sheet.putpixel((x + dx, y + dy), colours[value])
sheet.save(sys.argv[1])
)";
    write_file(dir.file("make.py"), text_bytes(script));
    ASSERT_EQ(run_program({"/usr/bin/python3", dir.file("make.py"), dir.file("sheet.png")}, dir.path).status, 0);
    const bytes png = read_file(dir.file("sheet.png"));
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    ASSERT_EQ(read_png_size(png, width, height), "");
    std::vector<atlas_frame> frames;
    ASSERT_EQ(grid_frames(width, height, {6, 4, 1, 1, 2}, frames), "");
    std::vector<cut_sprite> cut;
    ASSERT_EQ(cut_sheet(png, frames, 2, false, false, cut), "");
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_EQ(cut[0].file, (bytes{3, 2, 1, 12, 15, 15, 12, 1}));
    EXPECT_EQ(cut[1].file, (bytes{3, 2, 255, 1, 1, 12, 12, 15}));
    // The background is no sprite colour: a grid that reaches it says where.
    ASSERT_EQ(grid_frames(width, height, {6, 4, 0, 0, 2}, frames), "");
    EXPECT_EQ(cut_sheet(png, frames, 2, false, false, cut), "pixel (0, 0) is #C800C8, not one of the 16 colours");
}

TEST(Atlas, ForeignAtlasesReadWithUnknownKeysAndTheArrayLayout)
{
    atlas result;
    ASSERT_EQ(read_atlas_json(text_bytes(R"({"frames": [
        {"filename": "a.png", "frame": {"x": 1, "y": 2, "w": 3, "h": 4}, "rotated": false, "trimmed": true,
         "spriteSourceSize": {"x": 0, "y": 0, "w": 3, "h": 4}, "sourceSize": {"w": 3, "h": 4}, "duration": 100},
        {"filename": "b", "frame": {"x": 5.0, "y": 0, "w": 1, "h": 1}, "pivot": {"x": 0.5, "y": 0.5}}],
        "meta": {"image": "s.png", "size": {"w": 8, "h": 8}, "frameTags": []}})"),
                              result),
              "");
    ASSERT_EQ(result.frames.size(), 2u);
    EXPECT_EQ(result.frames[0].name, "a.png");
    EXPECT_EQ(result.frames[0].area.height, 4u);
    EXPECT_EQ(result.frames[1].area.x, 5u);
    EXPECT_EQ(result.image, "s.png");
    EXPECT_EQ(result.width, 8u);
}

TEST(Atlas, RefusesRotatedTrimmedAndMalformedFramesSayingWhich)
{
    EXPECT_EQ(read_error(R"({"frames": {"a": {"frame": {"x": 0, "y": 0, "w": 2, "h": 2}, "rotated": true}}})"),
              "frame \"a\" is rotated; only unrotated frames can be cut");
    EXPECT_EQ(read_error(R"({"frames": {"a": {"frame": {"x": 0, "y": 0, "w": 2, "h": 2}, "trimmed": true,
                 "spriteSourceSize": {"x": 1, "y": 0, "w": 2, "h": 2}, "sourceSize": {"w": 3, "h": 2}}}})"),
              "frame \"a\" is trimmed; only frames kept whole can be cut");
    EXPECT_EQ(read_error(R"({"frames": {"a": {"frame": {"x": 0, "y": 0, "w": 2, "h": 2}, "trimmed": true}}})"),
              "frame \"a\" is trimmed; only frames kept whole can be cut");
    EXPECT_EQ(read_error(R"({"frames": {"a": {"frame": {"x": -1, "y": 0, "w": 2, "h": 2}}}})"),
              "frame \"a\" \"frame\" \"x\" is not between 0 and 8192");
    EXPECT_EQ(read_error(R"({"frames": {"a": {"frame": {"x": 0.5, "y": 0, "w": 2, "h": 2}}}})"),
              "frame \"a\" \"frame\" \"x\" is not a whole number");
    EXPECT_EQ(read_error(R"({"frames": {"a": {"frame": {"x": 0, "y": 0, "w": 0, "h": 2}}}})"), "frame \"a\" is empty");
    EXPECT_EQ(read_error(R"({"frames": [{"frame": {"x": 0, "y": 0, "w": 1, "h": 2}}]})"),
              "frame 0 has no \"filename\"");
    EXPECT_EQ(read_error(R"({"textures": []})"), "not an atlas: it has no \"frames\" object or array");
    EXPECT_EQ(read_error("{\"frames\": {]"), "not valid JSON: it breaks off or goes wrong at line 1, column 13");
    EXPECT_EQ(read_error("{\"frames\": {\n  \"a\": "), "not valid JSON: it breaks off or goes wrong at line 2, column 8");
}

// What the JSON library says is its own; messages name the frame or the field instead.
TEST(Atlas, NumbersPastRangeAndDeepNestingAreSaidInOurWords)
{
    EXPECT_EQ(read_error(R"({"frames": {"a": {"frame": {"x": 1e400, "y": 0, "w": 2, "h": 2}}}})"),
              "frame \"a\" \"frame\" \"x\" is a number too large to read (1e400)");
    EXPECT_EQ(read_error(R"({"frames": [{"filename": "a", "frame": {"x": 0, "y": 0, "w": 1, "h": 1}},
                                        {"filename": "b", "frame": {"x": 0, "y": -1e999}}]})"),
              "frame 1 \"frame\" \"y\" is a number too large to read (-1e999)");
    EXPECT_EQ(read_error(R"({"meta": {"size": [1, 2, 1e400]}})"),
              "\"meta\" \"size\" [2] is a number too large to read (1e400)");
    const std::string deep = "{\"frames\": [" + std::string(200000, '[') + std::string(200000, ']') + "]}";
    EXPECT_EQ(read_error(deep), "the JSON nests arrays or objects more than 64 deep, inside frame 0; an atlas needs five");
}

TEST(Atlas, WriterRefusesNamesThatWouldNotReadBack)
{
    atlas source;
    source.frames = {{"a", {0, 0, 1, 1}}, {"a", {1, 0, 1, 1}}};
    std::string json;
    EXPECT_EQ(write_atlas_json(source, atlas_layout::hash, json), "two frames are named \"a\"");
    EXPECT_EQ(write_atlas_json(source, atlas_layout::array, json), "");
    source.frames = {{"caf\xE9", {0, 0, 1, 1}}};
    EXPECT_EQ(write_atlas_json(source, atlas_layout::hash, json), "the frame name \"caf\xE9\" is not valid UTF-8");
}
