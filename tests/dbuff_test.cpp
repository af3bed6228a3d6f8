#include "display/dbuff.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>

namespace {

using buffer = std::array<std::uint8_t, plane_count * plane_size>;

class FrameBuffer : public ::testing::Test {
protected:
    void SetUp() override { dbuff.fill(0); }
};

// Byte `index` of row y in every plane.
std::array<std::uint8_t, 4> planes_at(std::uint32_t y, std::uint32_t index)
{
    std::array<std::uint8_t, 4> bytes{};
    for (std::uint32_t p = 0; p < plane_count; ++p)
        bytes[p] = dbuff[p * plane_size + y * row_bytes + index];
    return bytes;
}

std::array<std::uint8_t, 4> all_planes(std::uint8_t byte)
{
    return {byte, byte, byte, byte};
}

// The plainest possible rectangle: every clipped pixel through put_pixel.
void model_rectangle(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h, std::uint8_t color)
{
    for (std::int64_t row = std::max<std::int64_t>(y, 0); row < std::min<std::int64_t>(y + h, screen_height); ++row)
        for (std::int64_t col = std::max<std::int64_t>(x, 0); col < std::min<std::int64_t>(x + w, screen_width); ++col)
            put_pixel(static_cast<std::uint32_t>(col), static_cast<std::uint32_t>(row), color);
}

// A random picture, so that a rectangle that touches bits outside itself shows.
const buffer& noise()
{
    static const buffer picture = [] {
        std::mt19937 random(7);
        buffer b{};
        for (auto& byte : b)
            byte = static_cast<std::uint8_t>(random());
        return b;
    }();
    return picture;
}

// Draws the rectangle both ways over the same random picture; returns whether they agree.
testing::AssertionResult agrees_with_model(std::int32_t x, std::int32_t y, std::uint32_t w, std::uint32_t h,
                                           std::uint8_t color)
{
    const buffer& before = noise();
    dbuff = before;
    model_rectangle(x, y, w, h, color);
    const buffer expected = dbuff;
    dbuff = before;
    draw_rectangle(x, y, w, h, color);
    if (dbuff == expected)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "draw_rectangle(" << x << ", " << y << ", " << w << ", " << h << ", "
                                       << int(color) << ") differs from the per-pixel model";
}

TEST_F(FrameBuffer, OffsetAndMaskPlaceBitZeroLeftmost)
{
    std::uint8_t mask = 0;
    EXPECT_EQ(dbuff_offset(0, 0, mask), 0u);
    EXPECT_EQ(mask, 0x01);
    EXPECT_EQ(dbuff_offset(13, 2, mask), 81u);
    EXPECT_EQ(mask, 0x20);
    EXPECT_EQ(dbuff_offset(319, 199, mask), plane_size - 1);
    EXPECT_EQ(mask, 0x80);
}

TEST_F(FrameBuffer, PutPixelSetsOneBitPerPlaneFromIntensityToBlue)
{
    put_pixel(5, 0, 12);
    EXPECT_EQ(get_pixel(5, 0), 12);
    EXPECT_EQ(planes_at(0, 0), (std::array<std::uint8_t, 4>{0x20, 0x20, 0x00, 0x00}));

    put_pixel(5, 0, 0x13); // bits 7-4 are ignored, and clear bits are cleared
    EXPECT_EQ(get_pixel(5, 0), 3);
    EXPECT_EQ(planes_at(0, 0), (std::array<std::uint8_t, 4>{0x00, 0x00, 0x20, 0x20}));

    for (std::uint8_t color = 0; color < 16; ++color) {
        put_pixel(319, 199, color);
        EXPECT_EQ(get_pixel(319, 199), color);
        EXPECT_EQ(get_pixel(318, 199), 0) << "the neighbour changed";
    }
}

TEST_F(FrameBuffer, PutPixelOffTheScreenChangesNothing)
{
    put_pixel(320, 0, 15);
    put_pixel(0, 200, 15);
    put_pixel(static_cast<std::uint32_t>(-1), 0, 15);
    put_pixel(0, static_cast<std::uint32_t>(-1), 15);
    EXPECT_EQ(dbuff, buffer{});
}

TEST_F(FrameBuffer, FillScreenSetsWholePlanes)
{
    for (std::uint32_t color = 0; color < 16; ++color) {
        fill_screen(static_cast<std::uint8_t>(color | 0x30));
        for (std::uint32_t p = 0; p < plane_count; ++p) {
            const std::uint8_t expected = (color >> (3 - p)) & 1 ? 0xFF : 0x00;
            for (std::uint32_t i = 0; i < plane_size; ++i)
                ASSERT_EQ(dbuff[p * plane_size + i], expected) << "colour " << color << " plane " << p << " byte " << i;
        }
    }
    fill_screen(9);
    EXPECT_EQ(get_pixel(0, 0), 9);
    EXPECT_EQ(get_pixel(173, 88), 9);
    EXPECT_EQ(get_pixel(319, 199), 9);
}

TEST_F(FrameBuffer, RectangleEdgesRunsAndSingleBytes)
{
    draw_rectangle(21, 0, 2, 1, 15);
    EXPECT_EQ(planes_at(0, 2), all_planes(0x60));
    EXPECT_EQ(planes_at(0, 3), all_planes(0x00));

    dbuff.fill(0);
    draw_rectangle(16, 0, 8, 1, 15);
    EXPECT_EQ(planes_at(0, 2), all_planes(0xFF));
    EXPECT_EQ(planes_at(0, 1), all_planes(0x00));
    EXPECT_EQ(planes_at(0, 3), all_planes(0x00));

    dbuff.fill(0);
    draw_rectangle(16, 0, 3, 1, 15);
    EXPECT_EQ(planes_at(0, 2), all_planes(0x07));

    dbuff.fill(0);
    draw_rectangle(21, 0, 3, 1, 15);
    EXPECT_EQ(planes_at(0, 2), all_planes(0xE0));

    // The editors' 8 x 8 box: two masked edge bytes and no run.
    dbuff.fill(0);
    draw_rectangle(20, 20, 8, 8, 10);
    for (std::uint32_t y = 20; y < 28; ++y) {
        EXPECT_EQ(planes_at(y, 2), (std::array<std::uint8_t, 4>{0xF0, 0x00, 0xF0, 0x00}));
        EXPECT_EQ(planes_at(y, 3), (std::array<std::uint8_t, 4>{0x0F, 0x00, 0x0F, 0x00}));
    }
    EXPECT_EQ(planes_at(19, 2), all_planes(0x00));
    EXPECT_EQ(planes_at(28, 3), all_planes(0x00));
}

TEST_F(FrameBuffer, RectangleClearsOnlyItsOwnBits)
{
    fill_screen(15);
    draw_rectangle(20, 0, 8, 1, 0);
    EXPECT_EQ(planes_at(0, 2), all_planes(0x0F));
    EXPECT_EQ(planes_at(0, 3), all_planes(0xF0));
    EXPECT_EQ(planes_at(1, 2), all_planes(0xFF));

    fill_screen(15);
    draw_rectangle(16, 0, 3, 1, 0);
    EXPECT_EQ(planes_at(0, 2), all_planes(0xF8));
}

TEST_F(FrameBuffer, RectangleIsClippedOnEverySide)
{
    draw_rectangle(310, 195, 50, 50, 4);
    for (std::uint32_t y = 190; y < 200; ++y)
        for (std::uint32_t x = 300; x < 320; ++x)
            ASSERT_EQ(get_pixel(x, y), (x >= 310 && y >= 195) ? 4 : 0) << x << ", " << y;

    dbuff.fill(0);
    draw_rectangle(-3, 0, 5, 1, 15);
    EXPECT_EQ(planes_at(0, 0), all_planes(0x03));

    dbuff.fill(0);
    draw_rectangle(0, -2, 1, 3, 15);
    EXPECT_EQ(get_pixel(0, 0), 15);
    EXPECT_EQ(get_pixel(0, 1), 0);
}

TEST_F(FrameBuffer, RectanglesOutsideTheScreenOrEmptyDrawNothing)
{
    const struct {
        std::int32_t x, y;
        std::uint32_t w, h;
    } cases[] = {
        {320, 0, 5, 5},       {0, 200, 5, 5},         {-10, 0, 5, 5},          {0, -10, 5, 5},
        {-5, 0, 5, 1},        {0, -5, 1, 5},          {10, 10, 0, 5},          {10, 10, 5, 0},
        {INT32_MIN, 0, 5, 5}, {0, INT32_MIN, 5, 5},   {INT32_MAX, 0, 5, 5},    {0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        draw_rectangle(c.x, c.y, c.w, c.h, 15);
        ASSERT_EQ(dbuff, buffer{}) << "draw_rectangle(" << c.x << ", " << c.y << ", " << c.w << ", " << c.h << ")";
    }
}

TEST_F(FrameBuffer, RectangleSweepMatchesThePerPixelModel)
{
    for (std::int32_t x = -9; x <= 330; ++x)
        for (std::uint32_t w : {1u, 2u, 7u, 8u, 9u, 15u, 16u, 17u, 25u, 300u, 320u, 400u})
            ASSERT_TRUE(agrees_with_model(x, static_cast<std::int32_t>(x % 7) - 2, w, 3,
                                          static_cast<std::uint8_t>(x & 15)));
}

TEST_F(FrameBuffer, RandomRectanglesMatchThePerPixelModel)
{
    std::mt19937 random(2);
    std::uniform_int_distribution<std::int32_t> position(-340, 340);
    std::uniform_int_distribution<std::uint32_t> size(0, 120);
    for (int i = 0; i < 4000; ++i) {
        const std::int32_t x = position(random);
        const std::int32_t y = position(random);
        const std::uint32_t w = i % 10 == 0 ? static_cast<std::uint32_t>(random()) : size(random);
        const std::uint32_t h = i % 10 == 5 ? static_cast<std::uint32_t>(random()) : size(random);
        ASSERT_TRUE(agrees_with_model(x, y, w, h, static_cast<std::uint8_t>(random())));
    }
    // Full-width rectangles take the whole-rows path.
    for (std::int32_t y = -3; y < 203; y += 7)
        ASSERT_TRUE(agrees_with_model(0, y, 320, 11, static_cast<std::uint8_t>(y & 15)));
}

TEST_F(FrameBuffer, DarkenScreenDropsIntensityOrGoesBlack)
{
    for (std::uint8_t color = 0; color < 16; ++color)
        put_pixel(color, 7, color);
    darken_screen();
    for (std::uint8_t color = 0; color < 16; ++color)
        EXPECT_EQ(get_pixel(color, 7), (color & 8) ? color - 8 : 0) << "colour " << int(color);
    EXPECT_EQ(get_pixel(100, 100), 0);
}

} // namespace
