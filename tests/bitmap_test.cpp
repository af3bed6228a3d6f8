#include "art/bitmap.hpp"
#include "display/dbuff.hpp"
#include "support.hpp"
#include "testsprites.hpp"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::array<std::uint8_t, plane_count * plane_size> screen_filled_with(std::uint8_t color)
{
    fill_screen(color);
    return dbuff;
}

class Sprites : public ::testing::Test {
protected:
    void SetUp() override { dbuff.fill(0); }
    temp_dir dir;
};

// ---- The sprite file ----

TEST_F(Sprites, BytesAfterThePixelsAreIgnored)
{
    const std::string path = dir.file("long.spr");
    write_file(path, {2, 1, 7, 8, 99, 98, 97});
    owned_bitmap loaded;
    std::uint8_t width = 0;
    std::uint8_t height = 0;
    ASSERT_EQ(load_bitmap(path.c_str(), loaded.record, width, height), 0);
    EXPECT_EQ(pixels_of(loaded.record), (bytes{7, 8}));
}

TEST_F(Sprites, AMissingFileIsReportedQuietlyAndTheRecordLeftAlone)
{
    std::uint8_t pixel = 42;
    bitmap record{4, 5, &pixel};
    std::uint8_t width = 11;
    std::uint8_t height = 12;
    testing::internal::CaptureStdout();
    EXPECT_EQ(load_bitmap(dir.file("none.spr").c_str(), record, width, height), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(record.height, 4);
    EXPECT_EQ(record.width, 5);
    EXPECT_EQ(record.bitmap, &pixel);
    EXPECT_EQ(width, 11);
    EXPECT_EQ(height, 12);
}

TEST_F(Sprites, ShortFilesEndTheProcessWithStatusOne)
{
    const std::vector<bytes> short_files = {
        {},                    // no width
        {5},                   // no height
        {3, 2, 1, 2, 3, 4, 5}, // one pixel missing
        {1, 1},                // the only pixel missing
    };
    for (const bytes& contents : short_files) {
        const std::string path = dir.file("short.spr");
        write_file(path, contents);
        EXPECT_EXIT(
            {
                dup2(STDERR_FILENO, STDOUT_FILENO);
                bitmap record{};
                std::uint8_t width = 0;
                std::uint8_t height = 0;
                load_bitmap(path.c_str(), record, width, height);
                std::exit(0);
            },
            testing::ExitedWithCode(1), "^Error while loading\n$")
            << contents.size() << " bytes";
    }
}

// ---- Allocation and pixel access ----

TEST_F(Sprites, AllocationRecordsTheDimensionsAndFillSetsEveryPixel)
{
    owned_bitmap sprite(7, 3);
    EXPECT_EQ(sprite.record.width, 7);
    EXPECT_EQ(sprite.record.height, 3);
    ASSERT_NE(sprite.record.bitmap, nullptr);
    fill_bitmap(sprite.record, transparent);
    EXPECT_EQ(pixels_of(sprite.record), bytes(21, 255));
}

TEST_F(Sprites, StorePixelRefusesEverythingOutsideTheSprite)
{
    owned_bitmap sprite(4, 3);
    fill_bitmap(sprite.record, 0);
    const bytes before = pixels_of(sprite.record);
    EXPECT_EQ(store_pixel(sprite.record, 4, 0, 9), 1);
    EXPECT_EQ(store_pixel(sprite.record, 0, 3, 9), 1);
    EXPECT_EQ(store_pixel(sprite.record, 255, 255, 9), 1);
    EXPECT_EQ(pixels_of(sprite.record), before);

    EXPECT_EQ(store_pixel(sprite.record, 3, 2, 9), 0);
    EXPECT_EQ(store_pixel(sprite.record, 1, 0, 255), 0);
    EXPECT_EQ(recall_pixel(sprite.record, 3, 2), 9);
    EXPECT_EQ(recall_pixel(sprite.record, 1, 0), 255);
    EXPECT_EQ(pixels_of(sprite.record), (bytes{0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9}));

    owned_bitmap widest(255, 1);
    fill_bitmap(widest.record, 0);
    EXPECT_EQ(store_pixel(widest.record, 254, 0, 6), 0);
    EXPECT_EQ(recall_pixel(widest.record, 254, 0), 6);
}

// ---- Drawing ----

TEST_F(Sprites, DrawBitmapSkipsTransparentPixelsAndDrawsTheRestAsTheirLowFourBits)
{
    owned_bitmap sprite(3, 2, {0, 255, 0x1A, 255, 15, 7});
    const auto background = screen_filled_with(4);
    draw_bitmap(10, 20, sprite.record);
    for (std::uint32_t y = 0; y < screen_height; ++y)
        for (std::uint32_t x = 0; x < screen_width; ++x) {
            std::uint8_t expected = 4;
            if (y >= 20 && y < 22 && x >= 10 && x < 13) {
                const std::uint8_t value = sprite.record.bitmap[(y - 20) * 3 + (x - 10)];
                if (value != 255)
                    expected = value & 15;
            }
            ASSERT_EQ(get_pixel(x, y), expected) << "at " << x << ", " << y;
        }

    owned_bitmap clear(4, 4);
    fill_bitmap(clear.record, transparent);
    fill_screen(4);
    draw_bitmap(0, 0, clear.record);
    EXPECT_EQ(dbuff, background);
}

TEST_F(Sprites, DrawBitmapDropsWhatFallsOffTheScreen)
{
    owned_bitmap sprite(20, 20);
    fill_bitmap(sprite.record, 12);
    draw_bitmap(310, 190, sprite.record);
    draw_bitmap(400, 0, sprite.record);
    for (std::uint32_t y = 0; y < screen_height; ++y)
        for (std::uint32_t x = 0; x < screen_width; ++x)
            ASSERT_EQ(get_pixel(x, y), x >= 310 && y >= 190 ? 12 : 0) << "at " << x << ", " << y;
}

// A 2 x 3 x 4 (height x width x depth) entity; every face holds its own value, and the
// top face has one transparent byte.
struct sample_entity {
    bytes front = bytes(3 * 2, 1);
    bytes right = bytes(4 * 2, 2);
    bytes left = bytes(4 * 2, 3);
    bytes back = bytes(3 * 2, 4);
    bytes bottom = bytes(3 * 4, 5);
    bytes top = bytes(3 * 4, 6);
    entitybitmap record{2, 3, 4, front.data(), right.data(), left.data(), back.data(), bottom.data(), top.data()};
    sample_entity() { top[1] = 255; }
};

// How far pixels of value `color` reach from (10, 10), as columns x rows.
std::pair<std::uint32_t, std::uint32_t> painted_area(std::uint8_t color)
{
    std::uint32_t columns = 0;
    std::uint32_t rows = 0;
    for (std::uint32_t y = 0; y < screen_height; ++y)
        for (std::uint32_t x = 0; x < screen_width; ++x)
            if (get_pixel(x, y) == color) {
                EXPECT_GE(x, 10u);
                EXPECT_GE(y, 10u);
                columns = std::max(columns, x - 9);
                rows = std::max(rows, y - 9);
            }
    return {columns, rows};
}

TEST_F(Sprites, DrawMobSideChoosesTheFaceAndItsSizeBySideNumber)
{
    sample_entity entity;
    const std::vector<std::tuple<std::uint8_t, std::uint8_t, std::uint32_t, std::uint32_t>> cases = {
        // side, face value, columns, rows
        {0, 1, 3, 2}, {1, 3, 4, 2}, {2, 2, 4, 2}, {3, 4, 3, 2}, {4, 6, 3, 4}, {5, 5, 3, 4}, {200, 5, 3, 4},
    };
    for (const auto& [side, value, columns, rows] : cases) {
        dbuff.fill(0);
        draw_mob_side(10, 10, entity.record, side);
        EXPECT_EQ(painted_area(value), std::make_pair(columns, rows)) << "side " << int(side);
        for (std::uint8_t other = 1; other <= 6; ++other) {
            if (other != value) {
                EXPECT_EQ(painted_area(other), std::make_pair(0u, 0u)) << "side " << int(side);
            }
        }
    }
    dbuff.fill(0);
    draw_mob_side(10, 10, entity.record, 4);
    EXPECT_EQ(get_pixel(11, 10), 0) << "a transparent byte is skipped";
    EXPECT_EQ(get_pixel(12, 10), 6);
}

TEST_F(Sprites, ATransparentFaceLeavesTheScreenAlone)
{
    sample_entity entity;
    entity.front.assign(entity.front.size(), 255);
    const auto background = screen_filled_with(9);
    draw_mob_side(0, 0, entity.record, 0);
    EXPECT_EQ(dbuff, background);
}

} // namespace
