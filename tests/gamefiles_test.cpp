// Tilesets and sprite frames as bytes: the tileset written and read back, a tileset as
// the map editor itself saves one, the files the reader refuses, and the speed chosen
// for sprite frames against a brute-force search.
#include "formats/godotfile.hpp"
#include "formats/tiledfile.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::span<const std::uint8_t> as_bytes(const std::string& text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string read_problem(const std::string& xml)
{
    tileset tiles;
    return read_tsx(as_bytes(xml), tiles);
}

} // namespace

TEST(Tileset, WrittenAndReadBackWithItsAnimationAndAwkwardNames)
{
    tileset tiles{"caves & \"lakes\" <1>", "caves & lakes.png", 53, 21, 8, 6, 11, 6, 1, 0,
                  {{0, 100}, {3, 250}, {10, 1}}};
    std::string xml;
    ASSERT_EQ(write_tsx(tiles, xml), "");
    tileset read;
    ASSERT_EQ(read_tsx(as_bytes(xml), read), "") << xml;
    EXPECT_EQ(read.name, tiles.name);
    EXPECT_EQ(read.image, tiles.image);
    EXPECT_EQ(std::vector<std::uint32_t>({read.image_width, read.image_height, read.tile_width, read.tile_height,
                                          read.tile_count, read.columns, read.spacing, read.margin}),
              std::vector<std::uint32_t>({53, 21, 8, 6, 11, 6, 1, 0}));
    ASSERT_EQ(read.animation.size(), 3u);
    EXPECT_EQ(read.animation[1].tile, 3u);
    EXPECT_EQ(read.animation[1].duration_ms, 250u);
    const std::vector<atlas_frame> frames = tileset_frames(read);
    ASSERT_EQ(frames.size(), 11u);
    EXPECT_EQ(frames[7].name, "7");
    EXPECT_EQ(frames[7].area.x, 9u);
    EXPECT_EQ(frames[7].area.y, 7u);

    tiles.name = std::string("bad\x01", 4);
    EXPECT_NE(write_tsx(tiles, xml), "");
}

TEST(Tileset, AsTheMapEditorSavesOneWithMarginAndOtherTilesAnimated)
{
    const std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<!-- made by hand -->\n"
                            "<tileset version=\"1.10\" tiledversion=\"1.10.2\" name='d&#233;cor' tilewidth=\"16\"\n"
                            "         tileheight=\"8\" spacing=\"2\" margin=\"1\">\n"
                            " <tileoffset x=\"0\" y=\"4\"/>\n"
                            " <image source=\"../art/decor.png\" trans=\"ff00ff\" width=\"56\" height=\"30\"/>\n"
                            " <tile id=\"2\"><properties><property name=\"solid\" type=\"bool\" value=\"true\"/>"
                            "</properties><animation><frame tileid=\"1\" duration=\"90\"/></animation></tile>\n"
                            " <tile id=\"0\" type=\"water\">\n  <animation>\n   <frame tileid=\"5\" duration=\"40\"/>\n"
                            "  </animation>\n </tile>\n"
                            "</tileset>\n";
    tileset read;
    ASSERT_EQ(read_tsx(as_bytes(xml), read), "");
    EXPECT_EQ(read.name, "d\xC3\xA9" "cor");
    EXPECT_EQ(read.image, "../art/decor.png");
    // Inside the margins 54 x 28 pixels: tiles at x = 1, 19, 37 and y = 1, 11, 21.
    EXPECT_EQ(read.columns, 3u);
    EXPECT_EQ(read.tile_count, 9u);
    ASSERT_EQ(read.animation.size(), 1u);
    EXPECT_EQ(read.animation[0].tile, 5u);
    EXPECT_EQ(read.animation[0].duration_ms, 40u);
    EXPECT_EQ(tileset_frames(read)[4].area.x, 19u);
    EXPECT_EQ(tileset_frames(read)[4].area.y, 11u);
}

TEST(Tileset, FilesThatAreRefusedSayWhy)
{
    const std::string head = "<tileset tilewidth=\"8\" tileheight=\"8\" tilecount=\"4\" columns=\"2\">";
    const std::string image = "<image source=\"a.png\" width=\"16\" height=\"16\"/>";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "no <tileset>"},
        {"<map/>", "root element is <map>"},
        {head + image, "ends inside <tileset>"},
        {head + image + "</tile>", "closes no open element"},
        {head + "</tileset>", "no <image>"},
        {head + image + "</tileset><tileset/>", "more after"},
        {"<tileset tilewidth=\"8\">" + image + "</tileset>", "no tileheight"},
        {"<tileset tilewidth=\"8\" tileheight=\"-1\">" + image + "</tileset>", "not a whole number"},
        {"<tileset tilewidth=\"9000\" tileheight=\"8\">" + image + "</tileset>", "at most 8192"},
        {"<tileset tilewidth=\"8\" tileheight=\"8\" tilecount=\"99999\" columns=\"1\">" + image + "</tileset>",
         "at most 65536"},
        {"<tileset tilewidth=\"8\" tileheight=\"8\" tilecount=\"65536\" columns=\"1\">" + image + "</tileset>",
         "larger than 8192"},
        {head + image + "<tile id=\"0\"><animation><frame tileid=\"4\" duration=\"1\"/></animation></tile></tileset>",
         "shows tile 4 of 4"},
        {"<tileset name=\"a&bogus;\" tilewidth=\"8\" tileheight=\"8\">" + image + "</tileset>", "unknown reference"},
        {"<tileset tilewidth=8 tileheight=\"8\">", "not in quotes"},
        {"<tileset tilewidth=\"8\" tileheight=\"8\"><image source=\"a.png\"/></tileset>", "neither columns"},
        {"<!-- never closed <tileset>", "inside a comment"},
    };
    for (const auto& [xml, expected] : cases)
        EXPECT_NE(read_problem(xml).find(expected), std::string::npos)
            << xml << "\n gave: " << read_problem(xml);
    EXPECT_NE(read_problem(std::string(100000, '<') + "a"), "");
    std::string deep = head + image;
    for (int i = 0; i < 300; ++i)
        deep += "<x>";
    EXPECT_NE(read_problem(deep).find("nested more than 256"), std::string::npos);
}

TEST(SpriteFrames, SpeedIsTheSlowestThatMakesEveryDurationWholeFrames)
{
    std::mt19937 random(22);
    for (int round = 0; round < 1000; ++round) {
        std::vector<std::uint32_t> durations(1 + random() % 5);
        for (std::uint32_t& duration : durations)
            duration = round % 2 ? 1 + random() % 655350 : 10 * (1 + random() % 50);
        const std::uint32_t speed = sprite_frames_speed(durations);
        std::uint32_t slowest = 1;
        const auto whole = [&](std::uint32_t fps) {
            return std::all_of(durations.begin(), durations.end(),
                               [&](std::uint32_t ms) { return std::uint64_t{ms} * fps % 1000 == 0; });
        };
        while (!whole(slowest))
            ++slowest;
        ASSERT_EQ(speed, slowest) << "first duration " << durations[0];
    }
}

TEST(SpriteFrames, VersionThreeRefusesUnequalDurationsAndEveryVersionAZeroOne)
{
    sprite_frames frames{"walk", "walk.png", {{"a", {0, 0, 4, 4}, 100}, {"b", {4, 0, 4, 4}, 150}}, true};
    std::string text;
    EXPECT_NE(write_sprite_frames(frames, 3, text).find("\"b\" lasts 150 ms"), std::string::npos);
    ASSERT_EQ(write_sprite_frames(frames, 4, text), "");
    EXPECT_NE(text.find("\"duration\": 2.0"), std::string::npos) << text;
    EXPECT_NE(text.find("\"duration\": 3.0"), std::string::npos) << text;
    EXPECT_NE(text.find("\"speed\": 20.0"), std::string::npos) << text;
    frames.frames[1].duration_ms = 0;
    EXPECT_NE(write_sprite_frames(frames, 4, text).find("at least 1 ms"), std::string::npos);
}

TEST(Atlas, FrameDurationsAreReadWhenGivenWrittenWhenSetAndRefusedWhenNotWholeMilliseconds)
{
    const std::string json = R"({"frames": [
        {"filename": "a", "frame": {"x": 0, "y": 0, "w": 2, "h": 2}, "duration": 120},
        {"filename": "b", "frame": {"x": 2, "y": 0, "w": 2, "h": 2}, "duration": 0},
        {"filename": "c", "frame": {"x": 4, "y": 0, "w": 2, "h": 2}}]})";
    atlas read;
    ASSERT_EQ(read_atlas_json(as_bytes(json), read), "");
    ASSERT_EQ(read.frames.size(), 3u);
    EXPECT_EQ(read.frames[0].duration_ms, 120u);
    EXPECT_EQ(read.frames[1].duration_ms, 0u);
    EXPECT_FALSE(read.frames[2].duration_ms.has_value());
    for (atlas_layout layout : {atlas_layout::hash, atlas_layout::array}) {
        std::string written;
        ASSERT_EQ(write_atlas_json(read, layout, written), "");
        // Written for the two frames that have one, and only for them.
        EXPECT_EQ(written.find("\"duration\"", written.find("\"c\"")), std::string::npos) << written;
        EXPECT_NE(written.find("\"duration\":0"), std::string::npos) << written;
        atlas again;
        ASSERT_EQ(read_atlas_json(as_bytes(written), again), "");
        for (std::size_t i = 0; i < 3; ++i)
            EXPECT_EQ(again.frames[i].duration_ms, read.frames[i].duration_ms) << i;
    }
    for (const char* bad : {"-1", "1.5", "655351", "\"100\"", "null"}) {
        const std::string text = std::string(R"({"frames": {"walk": {"frame": {"x": 0, "y": 0, "w": 2, "h": 2}, "duration": )") +
                                 bad + "}}}";
        atlas refused;
        EXPECT_EQ(read_atlas_json(as_bytes(text), refused),
                  "frame \"walk\" has a \"duration\" that is not a whole number of milliseconds from 0 to 655350")
            << bad;
    }
}
