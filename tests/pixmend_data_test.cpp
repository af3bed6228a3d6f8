#include "art/bitmap.hpp"
#include "editors/pixmend.hpp"
#include "support.hpp"
#include "testsprites.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

class SaveBitmap : public ::testing::Test {
protected:
    temp_dir dir;
};

// ---- Saved sprites load back ----

TEST_F(SaveBitmap, ThreeByTwoSpriteSavesAsItsEightBytesAndLoadsBack)
{
    owned_bitmap sprite(3, 2, {1, 2, 3, 4, 5, 6});
    const std::string path = dir.file("small.spr");
    EXPECT_EQ(save_bitmap(path.c_str(), sprite.record), 0);
    EXPECT_EQ(read_file(path), (bytes{3, 2, 1, 2, 3, 4, 5, 6}));

    owned_bitmap loaded;
    std::uint8_t width = 0;
    std::uint8_t height = 0;
    EXPECT_EQ(load_bitmap(path.c_str(), loaded.record, width, height), 0);
    EXPECT_EQ(width, 3);
    EXPECT_EQ(height, 2);
    EXPECT_EQ(loaded.record.width, 3);
    EXPECT_EQ(loaded.record.height, 2);
    EXPECT_EQ(recall_pixel(loaded.record, 2, 1), 6);
    EXPECT_EQ(recall_pixel(loaded.record, 0, 1), 4);
    EXPECT_EQ(pixels_of(loaded.record), (bytes{1, 2, 3, 4, 5, 6}));
}

TEST_F(SaveBitmap, EveryByteValueSurvivesARoundTripAndAReplacedFileTakesTheNewSize)
{
    std::mt19937 random(7);
    bytes pixels(255 * 255);
    for (std::uint8_t& value : pixels)
        value = static_cast<std::uint8_t>(random());
    owned_bitmap big(255, 255, pixels);
    const std::string path = dir.file("big.spr");
    write_file(path, bytes(70000, 9)); // a longer old file must not leave a tail behind
    ASSERT_EQ(save_bitmap(path.c_str(), big.record), 0);
    const bytes saved = read_file(path);
    ASSERT_EQ(saved.size(), 2u + 255 * 255);
    EXPECT_EQ(bytes(saved.begin() + 2, saved.end()), pixels);

    owned_bitmap loaded;
    std::uint8_t width = 0;
    std::uint8_t height = 0;
    ASSERT_EQ(load_bitmap(path.c_str(), loaded.record, width, height), 0);
    EXPECT_EQ(pixels_of(loaded.record), pixels);
    EXPECT_EQ(list_dir(dir.path), std::vector<std::string>{"big.spr"});
}

TEST_F(SaveBitmap, ASpriteWithNoPixelsIsJustItsDimensions)
{
    for (const auto& [width, height] : {std::pair<std::uint8_t, std::uint8_t>{5, 0}, {0, 7}, {0, 0}}) {
        owned_bitmap empty(width, height);
        fill_bitmap(empty.record, 3); // touches nothing
        EXPECT_EQ(store_pixel(empty.record, 0, 0, 3), 1);
        const std::string path = dir.file("empty.spr");
        testing::internal::CaptureStdout();
        EXPECT_EQ(save_bitmap(path.c_str(), empty.record), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(read_file(path), (bytes{width, height}));

        write_file(path, {width, height, 1, 2, 3}); // and excess bytes change nothing
        owned_bitmap loaded;
        std::uint8_t loaded_width = 1;
        std::uint8_t loaded_height = 1;
        EXPECT_EQ(load_bitmap(path.c_str(), loaded.record, loaded_width, loaded_height), 0);
        EXPECT_EQ(loaded_width, width);
        EXPECT_EQ(loaded_height, height);
        EXPECT_EQ(loaded.record.width, width);
        EXPECT_EQ(loaded.record.height, height);
    }
}

// ---- Failed saves keep the previous file ----

const bytes old_file = {2, 2, 1, 2, 3, 4};

TEST_F(SaveBitmap, ASaveThatCannotCreateItsFileSaysSoAndReturnsOne)
{
    owned_bitmap sprite(2, 2, {9, 9, 9, 9});
    testing::internal::CaptureStdout();
    EXPECT_EQ(save_bitmap(dir.file("no/folder/x.spr").c_str(), sprite.record), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error while saving\n");
    EXPECT_TRUE(list_dir(dir.path).empty());
}

TEST_F(SaveBitmap, ASaveIntoAFullFileSystemLeavesTheOldFileWhole)
{
    MOUNT_SMALL_DISK(disk, "size=64k");
    const std::string path = disk.file("hero.spr");
    write_file(path, old_file);
    disk.fill_up();
    owned_bitmap larger(100, 100); // more than the old file's page, so freed space cannot hold it
    fill_bitmap(larger.record, 5);
    testing::internal::CaptureStdout();
    EXPECT_EQ(save_bitmap(path.c_str(), larger.record), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error while saving\n");
    EXPECT_EQ(read_file(path), old_file);
    for (const std::string& name : list_dir(disk.path))
        EXPECT_TRUE(name == "hero.spr" || name.rfind("filler", 0) == 0) << "left behind: " << name;
}

TEST_F(SaveBitmap, ASaveIntoAReadOnlyFolderLeavesTheOldFileWhole)
{
    MOUNT_SMALL_DISK(disk, "size=64k");
    const std::string path = disk.file("hero.spr");
    write_file(path, old_file);
    ASSERT_TRUE(disk.remount_read_only());
    owned_bitmap sprite(1, 1, {4});
    testing::internal::CaptureStdout();
    EXPECT_EQ(save_bitmap(path.c_str(), sprite.record), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error while saving\n");
    EXPECT_EQ(read_file(path), old_file);
    EXPECT_EQ(list_dir(disk.path), std::vector<std::string>{"hero.spr"});
}

// Links and permission bits are kept by the same safe replacement; the end-to-end
// tests check them through the editor.
TEST_F(SaveBitmap, ASaveIntoAFolderThatRefusesNewFilesRewritesTheTargetInPlace)
{
    owned_bitmap sprite(1, 2, {4, 255});
    MOUNT_SMALL_DISK(disk, "size=64k,nr_inodes=8");
    const std::string path = disk.file("hero.spr");
    write_file(path, old_file);
    for (int n = 0;; ++n) { // use up every inode: no temporary file can be made
        const int fd = open(disk.file("empty" + std::to_string(n)).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0)
            break;
        close(fd);
    }
    EXPECT_EQ(save_bitmap(path.c_str(), sprite.record), 0);
    EXPECT_EQ(read_file(path), (bytes{1, 2, 4, 255}));
}

// ---- Dimensions on the command line ----

TEST(ParseDimension, ReadsLikeAtoiKeptModulo256)
{
    const std::vector<std::pair<std::string, int>> cases = {
        {"16", 16},   {"300", 44},  {"-1", 255},  {"+7", 7},  {"12px", 12},        {"px", 0},
        {"", 0},      {"-", 0},     {" \t\n 9", 9}, {"- 5", 0}, {"256", 0},          {"-256", 0},
        {"-255", 1},  {"0300", 44}, {"3 4", 3},   {"--2", 0}, {"2147483647", 255}, {"-2147483648", 0},
        // Far beyond any int, where atoi has no defined result. 10^23 and 10^24 are
        // multiples of 256, so these come out as -1, 1 and 300 modulo 256.
        {"99999999999999999999999", 255},
        {"-99999999999999999999999", 1},
        {"1" + std::string(21, '0') + "300", 44},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(parse_dimension(text.c_str()), expected) << '"' << text << '"';
}

} // namespace
