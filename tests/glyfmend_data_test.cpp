#include "art/fonts.hpp"
#include "editors/glyfmend.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace {

class GlyfmendData : public ::testing::Test {
protected:
    void SetUp() override { font = {}; }
};

bytes font_bytes()
{
    bytes image(font_file_size);
    std::memcpy(image.data(), &font, font_file_size);
    return image;
}

bytes pattern(std::size_t size, std::uint8_t seed)
{
    bytes data(size);
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<std::uint8_t>(i * 7 + seed);
    return data;
}

TEST_F(GlyfmendData, SavedFontIsAPlainImageOfTheGlyphsAndLoadsBackTheSame)
{
    temp_dir dir;
    const std::string path = dir.file("f.fnt");
    write_file(path, pattern(5000, 9)); // a longer old file must not leave a tail
    const bytes image = pattern(2048, 5);
    std::memcpy(&font, image.data(), image.size());
    ASSERT_EQ(save_font(path.c_str()), 0);
    EXPECT_EQ(read_file(path), image);

    font = {};
    ASSERT_EQ(load_font(path.c_str()), 0);
    EXPECT_EQ(font_bytes(), image);
    EXPECT_EQ(list_dir(dir.path), std::vector<std::string>{"f.fnt"}); // no temporary file left
}

TEST_F(GlyfmendData, SetFontPixelTogglesOneBitAndResetChrClearsOneGlyph)
{
    set_font_pixel(0, 0, 0);
    set_font_pixel(255, 7, 7);
    set_font_pixel(65, 3, 2);
    set_font_pixel(65, 4, 2);
    set_font_pixel(65, 3, 2); // a second toggle undoes the first
    EXPECT_EQ(font.chr[0].bitmap[0], 0x01);
    EXPECT_EQ(font.chr[255].bitmap[7], 0x80);
    EXPECT_EQ(font.chr[65].bitmap[2], 0x10);

    font.chr[66].bitmap = {1, 2, 3, 4, 5, 6, 7, 8};
    font.chr[64].bitmap = {1, 2, 3, 4, 5, 6, 7, 8};
    reset_chr(65);
    EXPECT_EQ(font.chr[65].bitmap, (std::array<std::uint8_t, 8>{}));
    EXPECT_EQ(font.chr[64].bitmap, (std::array<std::uint8_t, 8>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(font.chr[66].bitmap, (std::array<std::uint8_t, 8>{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(GlyfmendData, AFailedSaveReportsItAndLeavesTheOldFileAsItWas)
{
    temp_dir dir;
    font.chr[65].bitmap[0] = 0x7F;
    EXPECT_EQ(save_font(dir.file("no/such/folder/f.fnt").c_str()), -1);

    MOUNT_SMALL_DISK(disk, "size=64k");
    const std::string path = disk.file("f.fnt");
    const bytes old_contents = pattern(100, 6);
    write_file(path, old_contents);
    disk.fill_up();
    EXPECT_EQ(save_font(path.c_str()), -1); // a full file system
    EXPECT_EQ(read_file(path), old_contents);

    ASSERT_TRUE(disk.remount_read_only());
    EXPECT_EQ(save_font(path.c_str()), -1); // a folder, and a file, that cannot be written
    EXPECT_EQ(read_file(path), old_contents);
}

} // namespace
