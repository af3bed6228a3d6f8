// The sprite editor run for real: its own Xvfb, real key presses, the saved files and
// the window's pixels. The sprite's top-left corner is at frame-buffer pixel (20, 20)
// and the cursor blinks on top of the picture, so checks keep off the cursor's pixel.
#include "support.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

constexpr int left = 20; // where the editor puts the sprite
constexpr int top = 20;
const std::uint32_t blue = window_rgb(1);
const std::string usage = ">pixmend [filename] [width] [height]\n";

std::vector<std::string> repeat(const std::string& key, int count)
{
    return std::vector<std::string>(static_cast<std::size_t>(count), key);
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A new sprite file as the editor writes it: the dimensions and `pixels`, padded with
// transparent bytes.
bytes sprite_file(std::uint8_t width, std::uint8_t height, const bytes& pixels = {})
{
    bytes file(2 + static_cast<std::size_t>(width) * height, 255);
    file[0] = width;
    file[1] = height;
    std::copy(pixels.begin(), pixels.end(), file.begin() + 2);
    return file;
}

bytes hero()
{
    return read_file(std::string(ASSETS_DIR) + "/hero.spr");
}

// Whether `program` comes to leave `expected` in the file at `path`.
bool file_becomes(const editor& program, const std::string& path, const bytes& expected)
{
    return program.waits_for([&] { return read_file(path) == expected; });
}

bool output_becomes(const editor& program, const std::string& expected)
{
    return program.waits_for([&] { return program.output() == expected; });
}

// Stands in for xxd when a comparison fails.
std::string hex(const bytes& data)
{
    static const char* digits = "0123456789ABCDEF";
    std::string text;
    for (std::size_t n = 0; n < data.size() && n < 64; ++n)
        text += {digits[data[n] >> 4], digits[data[n] & 15], ' '};
    return text + "(" + std::to_string(data.size()) + " bytes)";
}

// The pixels of a sprite file that are not transparent, as "(x, y) = value" lines.
std::string stored_pixels(const bytes& file)
{
    if (file.size() < 2)
        return hex(file);
    std::string text = std::to_string(file[0]) + " x " + std::to_string(file[1]) + ", " +
                       std::to_string(file.size()) + " bytes\n";
    for (std::size_t n = 2; n < file.size() && file[0] != 0; ++n)
        if (file[n] != 255)
            text += "(" + std::to_string((n - 2) % file[0]) + ", " + std::to_string((n - 2) / file[0]) +
                    ") = " + std::to_string(file[n]) + "\n";
    return text;
}

class Pixmend : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        if (!start_x_server(why))
            SKIP_OR_FAIL(why);
    }

    finished_run run(const std::vector<std::string>& args) const
    {
        return run_program(std::vector<std::string>{PIXMEND_PATH} + args, dir.path);
    }

    temp_dir dir;
};

// ---- Start-up failures ----

TEST_F(Pixmend, UsageErrorsPrintTheUsageLinesAndEndWithStatusOne)
{
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"new.spr", "16"}}) {
        const finished_run result = run(args);
        EXPECT_EQ(result.status, 1) << args.size() << " arguments";
        EXPECT_EQ(result.output, "Not enough arguments!\n" + usage) << args.size() << " arguments";
    }
    const finished_run missing = run({"missing.spr"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.output, "Could not open missing.spr\n" + usage);
    EXPECT_TRUE(list_dir(dir.path).empty());
}

TEST_F(Pixmend, AShortFileEndsWithErrorWhileLoading)
{
    for (const bytes& contents : {bytes{}, bytes{5}, bytes{3, 2, 1, 2, 3, 4, 5}}) {
        write_file(dir.file("short.spr"), contents);
        const finished_run result = run({"short.spr"});
        EXPECT_EQ(result.status, 1) << hex(contents);
        EXPECT_EQ(result.output, "Error while loading\n") << hex(contents);
        EXPECT_EQ(read_file(dir.file("short.spr")), contents);
    }
}

TEST_F(Pixmend, AWindowThatCannotOpenEndsWithStatusOne)
{
    // SDL's dummy driver has no OpenGL, so the window cannot be made.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    const finished_run result = run({"new.spr", "4", "4"});
    unsetenv("SDL_VIDEODRIVER");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Error while creating SDL2 window.\n");
    EXPECT_TRUE(list_dir(dir.path).empty());
}

// ---- Editing ----

TEST_F(Pixmend, ANewSpriteIsTransparentOverTheBackdropAndF2WritesIt)
{
    editor pixmend({PIXMEND_PATH, "new.spr", "16", "16"}, dir.path);
    ASSERT_NE(pixmend.window, 0u) << pixmend.output();
    EXPECT_EQ(pixmend.title(), "Sprite editor");

    // The starting value 1 shows as its complement, 14.
    const std::uint32_t backdrop = window_rgb(14);
    const screenshot shot = pixmend.shot_until([&](const screenshot& s) { return s.pixel(35, 35) == backdrop; });
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) {
            if (x == left && y == top)
                continue; // the cursor
            const bool inside = x >= left && x < left + 16 && y >= top && y < top + 16;
            ASSERT_EQ(shot.pixel(x, y), inside ? backdrop : blue) << "at " << x << ", " << y;
        }

    // Choosing a value stores nothing.
    pixmend.keys({"7", "F2"});
    EXPECT_TRUE(file_becomes(pixmend, dir.file("new.spr"), sprite_file(16, 16))) << hex(read_file(dir.file("new.spr")));
    EXPECT_EQ(read_file(dir.file("new.spr")).size(), 258u);
    EXPECT_TRUE(pixmend.running());
    EXPECT_EQ(pixmend.output(), "");
}

TEST_F(Pixmend, DimensionsAreKeptModulo256AndAnExistingFileIsNotRead)
{
    write_file(dir.file("old.spr"), hero());
    editor pixmend({PIXMEND_PATH, "old.spr", "300", "2", "ignored"}, dir.path);
    ASSERT_NE(pixmend.window, 0u) << pixmend.output();
    const screenshot shot = pixmend.shot_until([](const screenshot& s) { return s.pixel(63, 21) == window_rgb(14); });
    EXPECT_EQ(shot.pixel(63, 21), window_rgb(14));
    EXPECT_EQ(shot.pixel(64, 21), blue);
    EXPECT_EQ(shot.pixel(40, 22), blue);
    pixmend.keys({"F2"});
    EXPECT_TRUE(file_becomes(pixmend, dir.file("old.spr"), sprite_file(44, 2))) << hex(read_file(dir.file("old.spr")));
}

TEST_F(Pixmend, CSpaceF2OnAOneByOneSpriteWritesTwelve)
{
    editor pixmend({PIXMEND_PATH, "dot.spr", "1", "1"}, dir.path);
    ASSERT_NE(pixmend.window, 0u) << pixmend.output();
    pixmend.keys({"c", "space", "F2"});
    EXPECT_TRUE(file_becomes(pixmend, dir.file("dot.spr"), bytes{1, 1, 12})) << hex(read_file(dir.file("dot.spr")));
}

TEST_F(Pixmend, EveryValueKeyPicksItsValueAndOtherKeysPickNothing)
{
    editor pixmend({PIXMEND_PATH, "all.spr", "19", "1"}, dir.path);
    ASSERT_NE(pixmend.window, 0u) << pixmend.output();
    std::vector<std::string> keys;
    for (const char* key : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "a", "b", "c", "d", "e", "f"})
        keys = keys + std::vector<std::string>{key, "space", "Right"};
    // Keypad digits and other letters leave the value at 15; G picks transparent.
    keys = keys + std::vector<std::string>{"KP_End", "h", "space", "Right", "1", "space", "g", "space", "F2"};
    pixmend.keys(keys);
    const bytes expected = sprite_file(19, 1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 15, 255, 255});
    EXPECT_TRUE(file_becomes(pixmend, dir.file("all.spr"), expected)) << hex(read_file(dir.file("all.spr")));
}

TEST_F(Pixmend, TheBackdropShowsTheSelectedValueAndPixelsShowAsBlocks)
{
    editor pixmend({PIXMEND_PATH, "shown.spr", "4", "3"}, dir.path);
    ASSERT_NE(pixmend.window, 0u) << pixmend.output();
    const auto backdrop_is = [&](std::uint8_t color) {
        return pixmend.shot_until([&](const screenshot& s) { return s.pixel(23, 22) == window_rgb(color); });
    };
    pixmend.keys({"0"});
    EXPECT_EQ(backdrop_is(15).pixel(23, 22), 0xFFFFFFu) << "white for 0";
    pixmend.keys({"g"});
    EXPECT_EQ(backdrop_is(0).pixel(23, 22), 0x000000u) << "black for transparent";

    // The cursor blinks in 8-15, so 5 at (21, 20) can only be the stored pixel, and the
    // cursor shows at (21, 23) only once every key has been handled.
    pixmend.keys({"c", "space", "Right", "5", "space", "Down", "Down", "Down"});
    const screenshot shot = pixmend.shot_until(
        [](const screenshot& s) { return s.pixel(21, 20) == window_rgb(5) && s.pixel(21, 23) != blue; });
    EXPECT_EQ(shot.pixel(20, 20), window_rgb(12));
    EXPECT_EQ(shot.pixel(21, 20), window_rgb(5));
    for (const auto& [x, y] : {std::pair{22, 20}, {23, 20}, {20, 21}, {21, 22}, {23, 22}})
        EXPECT_EQ(shot.pixel(x, y), window_rgb(10)) << "backdrop for 5 at " << x << ", " << y;
    for (const auto& [x, y] : {std::pair{19, 20}, {24, 20}, {20, 23}, {23, 23}, {20, 19}})
        EXPECT_EQ(shot.pixel(x, y), blue) << "background at " << x << ", " << y;
}

TEST_F(Pixmend, ALoadedSpriteIsShownAndSavedBackWithoutItsExcessBytes)
{
    ASSERT_EQ(hero().size(), 258u);
    // The sprite is opened through a link to a file with its own permission bits; both stay.
    mkdir(dir.file("art").c_str(), 0755);
    bytes longer = hero();
    longer.insert(longer.end(), {1, 2, 3});
    write_file(dir.file("art/hero.spr"), longer);
    chmod(dir.file("art/hero.spr").c_str(), 0640);
    ASSERT_EQ(symlink("art/hero.spr", dir.file("hero.spr").c_str()), 0);

    editor pixmend({PIXMEND_PATH, "hero.spr"}, dir.path);
    ASSERT_NE(pixmend.window, 0u) << pixmend.output();
    const bytes& pixels = hero();
    const screenshot shot = pixmend.shot_until([&](const screenshot& s) { return s.pixel(35, 35) == window_rgb(14); });
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            if (x == 0 && y == 0)
                continue; // the cursor
            const std::uint8_t value = pixels[2 + 16 * y + x];
            EXPECT_EQ(shot.pixel(left + x, top + y), window_rgb(value == 255 ? 14 : value)) << "at " << x << ", " << y;
        }

    pixmend.keys({"F2"});
    EXPECT_TRUE(file_becomes(pixmend, dir.file("art/hero.spr"), hero())) << hex(read_file(dir.file("art/hero.spr")));
    struct stat st{};
    ASSERT_EQ(lstat(dir.file("hero.spr").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(dir.file("art/hero.spr").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(Pixmend, TheCursorKeepsToItsRangeAndSpaceOutsideTheSpriteStoresNothing)
{
    // The widest sprite, 200 rows high, ends close to where the cursor stops (column 320,
    // row 200), so few keys lead back from there onto a pixel that can be stored.
    editor pixmend({PIXMEND_PATH, "walk.spr", "255", "200"}, dir.path);
    ASSERT_NE(pixmend.window, 0u) << pixmend.output();
    // Left and Up stop at 0. Column 260 is outside the sprite, though 260 modulo 256 is
    // column 4, inside it. Two keys past each stop, 66 Left and one Up reach the last
    // pixel (254, 199) only if Right stopped at column 320 and Down at row 200.
    using keys = std::vector<std::string>;
    pixmend.keys(keys{"Left", "Up", "space"} + repeat("Right", 260) + keys{"space"} + repeat("Right", 62) +
                 repeat("Left", 66) + repeat("Down", 202) + keys{"Up", "c", "space", "F2"});
    bytes pixels(255 * 200, 255);
    pixels[0] = 1;
    pixels[255 * 199 + 254] = 12;
    EXPECT_TRUE(file_becomes(pixmend, dir.file("walk.spr"), sprite_file(255, 200, pixels)))
        << stored_pixels(read_file(dir.file("walk.spr")));
}

TEST_F(Pixmend, ClosingTheWindowEndsWithStatusZeroAndWritesNothing)
{
    write_file(dir.file("kept.spr"), hero());
    for (const std::vector<std::string>& args : {std::vector<std::string>{"new.spr", "4", "4"}, {"kept.spr"}}) {
        editor pixmend(std::vector<std::string>{PIXMEND_PATH} + args, dir.path);
        ASSERT_NE(pixmend.window, 0u) << pixmend.output();
        pixmend.keys({"5", "space", "Right"});
        // Not a cursor colour: the pixel is stored and the cursor has moved on.
        pixmend.shot_until([](const screenshot& s) { return s.pixel(20, 20) == window_rgb(5); });
        pixmend.close();
        EXPECT_EQ(pixmend.wait_exit(), 0) << args[0];
        EXPECT_EQ(pixmend.output(), "") << args[0];
    }
    EXPECT_FALSE(file_exists(dir.file("new.spr")));
    EXPECT_EQ(read_file(dir.file("kept.spr")), hero());
    EXPECT_EQ(list_dir(dir.path), std::vector<std::string>{"kept.spr"});
}

TEST_F(Pixmend, ASpriteWithNoPixelsShowsNothingAndSavesAsTwoBytes)
{
    editor pixmend({PIXMEND_PATH, "flat.spr", "0", "5"}, dir.path);
    ASSERT_NE(pixmend.window, 0u) << pixmend.output();
    pixmend.keys({"space", "F2"});
    EXPECT_TRUE(file_becomes(pixmend, dir.file("flat.spr"), bytes{0, 5})) << hex(read_file(dir.file("flat.spr")));
    const screenshot shot = pixmend.shot();
    for (const auto& [x, y] : {std::pair{21, 20}, {20, 21}, {20, 24}, {19, 20}})
        EXPECT_EQ(shot.pixel(x, y), blue) << "at " << x << ", " << y;
    EXPECT_TRUE(pixmend.running());
    EXPECT_EQ(pixmend.output(), "");

    write_file(dir.file("wide.spr"), {5, 0, 7, 7});
    editor loaded({PIXMEND_PATH, "wide.spr"}, dir.path);
    ASSERT_NE(loaded.window, 0u) << loaded.output();
    loaded.keys({"F2"});
    EXPECT_TRUE(file_becomes(loaded, dir.file("wide.spr"), bytes{5, 0})) << hex(read_file(dir.file("wide.spr")));
    EXPECT_TRUE(loaded.running());
}

// ---- Failed saves ----

TEST_F(Pixmend, ASaveThatCannotOpenItsFileSaysSoAndEditingGoesOn)
{
    editor pixmend({PIXMEND_PATH, "no/such/folder.spr", "2", "2"}, dir.path);
    ASSERT_NE(pixmend.window, 0u) << pixmend.output();
    pixmend.keys({"F2"});
    EXPECT_TRUE(output_becomes(pixmend, "Error while saving\n")) << pixmend.output();
    pixmend.keys({"0"});
    const screenshot shot = pixmend.shot_until([](const screenshot& s) { return s.pixel(21, 21) == 0xFFFFFFu; });
    EXPECT_EQ(shot.pixel(21, 21), 0xFFFFFFu) << "the editor still answers keys";
    EXPECT_TRUE(list_dir(dir.path).empty());
}

TEST_F(Pixmend, ASaveIntoAFullFileSystemKeepsTheOldFileAndEditingGoesOn)
{
    MOUNT_SMALL_DISK(disk, "size=64k");
    const std::string path = disk.file("hero.spr");
    write_file(path, hero());
    disk.fill_up();

    // A new 100 x 100 sprite needs more room than the old file frees.
    editor pixmend({PIXMEND_PATH, path, "100", "100"}, dir.path);
    ASSERT_NE(pixmend.window, 0u) << pixmend.output();
    pixmend.keys({"c", "space", "F2"});
    EXPECT_TRUE(output_becomes(pixmend, "Error while saving\n")) << pixmend.output();
    EXPECT_EQ(read_file(path), hero());
    for (const std::string& name : list_dir(disk.path)) {
        EXPECT_TRUE(name == "hero.spr" || name.rfind("filler", 0) == 0) << "left behind: " << name;
        if (name != "hero.spr")
            unlink(disk.file(name).c_str());
    }

    // With room again the same sprite, as edited, is saved.
    ASSERT_TRUE(pixmend.running());
    pixmend.keys({"F2"});
    EXPECT_TRUE(file_becomes(pixmend, path, sprite_file(100, 100, {12}))) << hex(read_file(path));
    EXPECT_EQ(pixmend.output(), "Error while saving\n");
}

TEST_F(Pixmend, ASaveIntoAReadOnlyFolderKeepsTheOldFileAndEditingGoesOn)
{
    MOUNT_SMALL_DISK(disk, "size=64k");
    const std::string path = disk.file("hero.spr");
    write_file(path, hero());
    ASSERT_TRUE(disk.remount_read_only());

    editor pixmend({PIXMEND_PATH, path}, dir.path);
    ASSERT_NE(pixmend.window, 0u) << pixmend.output();
    pixmend.keys({"c", "space", "Right", "F2"});
    EXPECT_TRUE(output_becomes(pixmend, "Error while saving\n")) << pixmend.output();
    EXPECT_EQ(read_file(path), hero());
    EXPECT_EQ(list_dir(disk.path), std::vector<std::string>{"hero.spr"});

    // The editor answers keys, and the pixel stored before the failed save is still there.
    pixmend.keys({"0"});
    const screenshot shot = pixmend.shot_until([](const screenshot& s) { return s.pixel(35, 35) == 0xFFFFFFu; });
    EXPECT_EQ(shot.pixel(35, 35), 0xFFFFFFu);
    EXPECT_EQ(shot.pixel(20, 20), window_rgb(12));
    EXPECT_TRUE(pixmend.running());
}

TEST_F(Pixmend, F2IntoAFifoFeedsItAndIntoAFolderFailsWhileEditingGoesOn)
{
    const std::string fifo = dir.file("ff.spr");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    // Opened before the save, so that the editor's writing end does not wait for it.
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    editor pixmend({PIXMEND_PATH, "ff.spr", "2", "1"}, dir.path);
    ASSERT_NE(pixmend.window, 0u) << pixmend.output();
    pixmend.keys({"c", "space", "F2"});
    bytes got;
    EXPECT_TRUE(pixmend.waits_for([&] {
        std::uint8_t buffer[16];
        const ssize_t n = read(reader, buffer, sizeof buffer);
        if (n > 0)
            got.insert(got.end(), buffer, buffer + n);
        return got.size() >= 4;
    }));
    close(reader);
    EXPECT_EQ(got, sprite_file(2, 1, {12})) << hex(got);
    struct stat st{};
    ASSERT_EQ(stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the FIFO was replaced";

    ASSERT_EQ(mkdir(dir.file("folder.spr").c_str(), 0755), 0);
    editor into_folder({PIXMEND_PATH, "folder.spr", "2", "2"}, dir.path);
    ASSERT_NE(into_folder.window, 0u) << into_folder.output();
    into_folder.keys({"F2"});
    EXPECT_TRUE(output_becomes(into_folder, "Error while saving\n")) << into_folder.output();
    into_folder.keys({"0"});
    const screenshot shot = into_folder.shot_until([](const screenshot& s) { return s.pixel(21, 21) == 0xFFFFFFu; });
    EXPECT_EQ(shot.pixel(21, 21), 0xFFFFFFu) << "the editor still answers keys";
    EXPECT_TRUE(list_dir(dir.file("folder.spr")).empty());
    EXPECT_TRUE(pixmend.running());
}

} // namespace
