#include "display/dbuff.hpp"
#include "display/palette.hpp"
#include "display/presentation.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr std::size_t words_per_frame = screen_width * screen_height;

class Conversion : public ::testing::Test {
protected:
    void SetUp() override { dbuff.fill(0); }
};

TEST_F(Conversion, FilledScreensGiveOneWordEverywhere)
{
    std::vector<std::uint32_t> pixels(words_per_frame, 0xDEADBEEF);
    for (std::uint8_t color = 0; color < 16; ++color) {
        fill_screen(color);
        convert_frame(pixels.data(), screen_width * 4);
        for (std::size_t i = 0; i < words_per_frame; ++i)
            ASSERT_EQ(pixels[i], rgbx_of(color)) << "colour " << int(color) << " word " << i;
    }
}

TEST_F(Conversion, EveryPathGivesThePerPixelWordsAndKeepsToThePitch)
{
    // A pitch wider than a row: the bytes between rows must stay untouched.
    constexpr std::size_t pitch_words = screen_width + 16;
    std::mt19937 random(3);
    for (int round = 0; round < 8; ++round) {
        for (auto& byte : dbuff)
            byte = static_cast<std::uint8_t>(random());
        std::vector<std::uint32_t> expected(pitch_words * screen_height, 0x12345678);
        convert_frame_per_pixel(expected.data(), pitch_words * 4);
        for (const convert_path path : {convert_path::portable, convert_path::sse2, convert_path::avx2}) {
            std::vector<std::uint32_t> pixels(pitch_words * screen_height, 0x12345678);
            if (!convert_frame_using(path, pixels.data(), pitch_words * 4))
                continue; // this processor cannot run that path
            ASSERT_EQ(pixels, expected) << "path " << static_cast<int>(path) << " round " << round;
        }
        std::vector<std::uint32_t> chosen(pitch_words * screen_height, 0x12345678);
        convert_frame(chosen.data(), pitch_words * 4);
        ASSERT_EQ(chosen, expected);
    }
}

TEST_F(Conversion, PixelsLandInReadingOrder)
{
    put_pixel(0, 0, 15);
    put_pixel(9, 0, 1);
    put_pixel(319, 199, 12);
    std::vector<std::uint32_t> pixels(words_per_frame);
    convert_frame(pixels.data(), screen_width * 4);
    EXPECT_EQ(pixels[0], 0xFFFFFF00u);
    EXPECT_EQ(pixels[1], 0u);
    EXPECT_EQ(pixels[9], 0x0000A000u);
    EXPECT_EQ(pixels[words_per_frame - 1], 0xFF5F5F00u);
}

} // namespace
