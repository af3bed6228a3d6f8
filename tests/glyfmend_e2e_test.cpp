// The font editor run for real in the test's own X server, driven with real keys; the
// saved files and the window's pixels are checked.
#include "support.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int width = 320;
constexpr int height = 200;
using frame = std::array<std::uint8_t, width * height>; // colour indices

// ---- A model of what the editor shows, built independently of its code ----

void model_glyph(frame& f, const bytes& font, int x, int y, std::uint8_t color, std::uint8_t chr)
{
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c)
            if ((font[chr * 8 + r] >> c & 1) && x + c < width && y + r < height)
                f[(y + r) * width + x + c] = color;
}

void model_text(frame& f, const bytes& font, int x, int y, std::uint8_t color, const std::string& text)
{
    int offset = 0;
    for (const char c : text) {
        if (c == '\0')
            return;
        if (c == '\n') {
            y += 9;
            offset = 0;
        } else {
            model_glyph(f, font, x + offset, y, color, static_cast<std::uint8_t>(c));
            offset += 9;
        }
    }
}

frame editor_picture(const bytes& font, std::uint8_t chr)
{
    frame f;
    f.fill(7);
    char hex[3];
    std::snprintf(hex, sizeof hex, "%.2X", static_cast<unsigned>(chr));
    model_text(f, font, 20, 10, 0, "Character: " + std::string(1, static_cast<char>(chr)) + " (hex: " + hex + ")");
    for (int y = 20; y < 28; ++y)
        for (int x = 20; x < 28; ++x)
            f[y * width + x] = 0;
    model_glyph(f, font, 20, 20, 15, chr);
    model_text(f, font, 10, 40, 0, "The quick brown fox jumps over\nthe lazy dog.");
    model_text(f, font, 10, 60, 0, "ABCDEFGHIJKLMNOPQRSTUVWXYZ?\nabcdefghijklmnopqrstuvwxyz!");
    model_text(f, font, 10, 80, 0, "1234567890+-*/");
    return f;
}

// Where the window differs from `expected`, or "" when it does not. The blinking
// cursor's pixel is skipped: a screenshot catches it in any of its colours.
std::string difference(const screenshot& shot, const frame& expected, int cursor_x, int cursor_y)
{
    if (shot.width != 640 || shot.height != 400)
        return "the window is " + std::to_string(shot.width) + " x " + std::to_string(shot.height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (x == cursor_x && y == cursor_y)
                continue;
            const std::uint32_t want = window_rgb(expected[y * width + x]);
            const std::uint32_t got = shot.pixel(x, y);
            if (got != want) {
                char text[100];
                std::snprintf(text, sizeof text, "pixel (%d, %d) is %06X, not %06X", x, y, got, want);
                return text;
            }
        }
    return "";
}

// Waits until the window shows `expected` with the cursor at glyph pixel (x, y).
std::string shows(const editor& program, const frame& expected, int x = 0, int y = 0)
{
    const auto good = [&](const screenshot& s) { return difference(s, expected, 20 + x, 20 + y).empty(); };
    return difference(program.shot_until(good), expected, 20 + x, 20 + y);
}

std::vector<std::string> repeat(const std::string& key, int times)
{
    return std::vector<std::string>(static_cast<std::size_t>(times), key);
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

bytes default_font()
{
    return read_file(DEFAULT_FONT_PATH);
}

const bytes blank_font(2048, 0);

bool file_is(const std::string& path, const bytes& contents)
{
    return read_file(path) == contents;
}

class Glyfmend : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        if (!start_x_server(why))
            SKIP_OR_FAIL(why);
        ASSERT_EQ(default_font().size(), 2048u);
    }
};

TEST(GlyfmendStart, WithoutAFileNameItPrintsHowToCallItAndFails)
{
    const finished_run run = run_program({GLYFMEND_PATH}, "");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "Not enough arguments!\n>glyfmend [filename]\n");
}

TEST(GlyfmendStart, AWindowThatCannotOpenEndsWithStatusOneAndWritesNothing)
{
    temp_dir dir;
    setenv("SDL_VIDEODRIVER", "dummy", 1); // cannot make the OpenGL window the editor asks for
    const finished_run run = run_program({GLYFMEND_PATH, dir.file("f.fnt")}, dir.path);
    unsetenv("SDL_VIDEODRIVER");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "Error while creating SDL2 window.\n");
    EXPECT_TRUE(list_dir(dir.path).empty());
}

TEST_F(Glyfmend, AMissingFileStartsBlankAndF2CreatesIt)
{
    temp_dir dir;
    const std::string path = dir.file("new.fnt");
    editor program({GLYFMEND_PATH, path}, dir.path);
    ASSERT_NE(program.window, 0u) << program.output();
    EXPECT_EQ(program.title(), "Font editor");
    // A blank font shows nothing but the grey background and the black box.
    EXPECT_EQ(shows(program, editor_picture(blank_font, 0)), "");

    program.keys({"F2"});
    EXPECT_TRUE(program.waits_for([&] { return file_is(path, blank_font); })) << read_file(path).size() << " bytes";
    EXPECT_EQ(program.output(), "");
    program.close();
    EXPECT_EQ(program.wait_exit(), 0);
}

TEST_F(Glyfmend, KeysMoveTheCursorWithinTheGlyphAndToggleItsPixels)
{
    temp_dir dir;
    const std::string path = dir.file("new.fnt");
    editor program({GLYFMEND_PATH, path}, dir.path);
    ASSERT_NE(program.window, 0u) << program.output();

    // Space three times on (0, 0) of glyph 0; Left and Up stop at 0; other keys, the
    // keypad's 0 among them, change nothing.
    program.keys(repeat("space", 3) + std::vector<std::string>{"Left", "Up", "a", "KP_Insert", "Return"} +
                 // Keypad minus from glyph 0 edits glyph 255; Right and Down stop at 7.
                 std::vector<std::string>{"KP_Subtract"} + repeat("Right", 9) + repeat("Down", 9) +
                 std::vector<std::string>{"space", "Left", "Up", "space"} +
                 // Keypad plus wraps to glyph 0 and goes on to 1; the cursor stays at (6, 6).
                 std::vector<std::string>{"KP_Add", "KP_Add", "space", "F2"});
    bytes expected = blank_font;
    expected[0] = 0x01;
    expected[255 * 8 + 7] = 0x80;
    expected[255 * 8 + 6] = 0x40;
    expected[1 * 8 + 6] = 0x40;
    EXPECT_TRUE(program.waits_for([&] { return file_is(path, expected); }));
    EXPECT_EQ(read_file(path), expected);
    EXPECT_EQ(shows(program, editor_picture(expected, 1), 6, 6), "");
}

TEST_F(Glyfmend, ShowsTheGlyphAndTheStatusLineInTheLoadedFont)
{
    temp_dir dir;
    const std::string path = dir.file("font.fnt");
    const bytes font = default_font();
    write_file(path, font);
    editor program({GLYFMEND_PATH, path}, dir.path);
    ASSERT_NE(program.window, 0u) << program.output();

    // Glyph 0 is blank and its %c ends the status line: only "Character: " shows.
    EXPECT_EQ(shows(program, editor_picture(font, 0)), "");

    program.keys(repeat("KP_Add", 65));
    const std::string difference_at_a = shows(program, editor_picture(font, 'A'));
    EXPECT_EQ(difference_at_a, "");
    const screenshot shot = program.shot();
    EXPECT_EQ(shot.pixel(300, 190), window_rgb(7)); // grey background
    EXPECT_EQ(shot.pixel(21, 20), window_rgb(0));   // row 0 of A is ..###...: black box,
    EXPECT_EQ(shot.pixel(22, 20), window_rgb(15));  // white glyph
    EXPECT_EQ(shot.pixel(121, 10), window_rgb(0));  // the A of "Character: A" in black
    EXPECT_EQ(shot.pixel(120, 10), window_rgb(7));

    // Glyph 10 breaks the status line: " (hex: 0A)" goes one line lower, at x = 20.
    program.keys(repeat("KP_Subtract", 55));
    EXPECT_EQ(shows(program, editor_picture(font, 10)), "");
    EXPECT_EQ(program.shot().pixel(29 + 4, 19), window_rgb(0)); // top of the '(', row 0 ....#...
}

TEST_F(Glyfmend, KeyZeroClearsTheGlyphUnderEditButKeypadZeroDoesNot)
{
    temp_dir dir;
    const std::string path = dir.file("font.fnt");
    write_file(path, default_font());
    editor program({GLYFMEND_PATH, path}, dir.path);
    ASSERT_NE(program.window, 0u) << program.output();

    program.keys(repeat("KP_Add", 65) + std::vector<std::string>{"KP_Insert", "KP_Add", "0", "F2"});
    bytes expected = default_font();
    std::fill(expected.begin() + 'B' * 8, expected.begin() + 'B' * 8 + 8, 0);
    EXPECT_TRUE(program.waits_for([&] { return file_is(path, expected); }));
    EXPECT_EQ(read_file(path), expected);
    EXPECT_EQ(shows(program, editor_picture(expected, 'B')), "");
}

TEST_F(Glyfmend, WithTwoArgumentsTheFileIsNotReadButF2ReplacesIt)
{
    temp_dir dir;
    const std::string path = dir.file("font.fnt");
    write_file(path, default_font());
    editor program({GLYFMEND_PATH, path, "extra"}, dir.path);
    ASSERT_NE(program.window, 0u) << program.output();
    EXPECT_EQ(shows(program, editor_picture(blank_font, 0)), "");

    program.keys({"space", "F2"});
    bytes expected = blank_font;
    expected[0] = 0x01;
    EXPECT_TRUE(program.waits_for([&] { return file_is(path, expected); }));
    EXPECT_EQ(read_file(path), expected);
}

TEST_F(Glyfmend, F2WritesBackWhatWasLoadedFromLongAndShortFiles)
{
    temp_dir dir;
    const bytes font = default_font();

    // A longer file loads its first 2048 bytes; the save drops the rest.
    const std::string long_path = dir.file("long.fnt");
    bytes long_file = font;
    long_file.insert(long_file.end(), 10, 0xEE);
    write_file(long_path, long_file);
    {
        editor program({GLYFMEND_PATH, long_path}, dir.path);
        ASSERT_NE(program.window, 0u) << program.output();
        program.keys({"F2"});
        EXPECT_TRUE(program.waits_for([&] { return file_is(long_path, font); }));
        EXPECT_EQ(read_file(long_path), font);
    }

    // A shorter file fills the glyphs it covers; the rest stays blank.
    const std::string short_path = dir.file("short.fnt");
    const bytes short_file(font.begin(), font.begin() + 0x43 * 8 + 3); // up to three rows of C
    write_file(short_path, short_file);
    {
        editor program({GLYFMEND_PATH, short_path}, dir.path);
        ASSERT_NE(program.window, 0u) << program.output();
        program.keys({"F2"});
        bytes expected = short_file;
        expected.resize(2048, 0);
        EXPECT_TRUE(program.waits_for([&] { return file_is(short_path, expected); }));
        EXPECT_EQ(read_file(short_path), expected);
        EXPECT_EQ(program.output(), "");
    }
}

TEST_F(Glyfmend, ClosingTheWindowEndsWithStatusZeroAndSavesNothing)
{
    temp_dir dir;
    const std::string path = dir.file("font.fnt");
    write_file(path, default_font());
    editor program({GLYFMEND_PATH, path}, dir.path);
    ASSERT_NE(program.window, 0u) << program.output();
    program.keys(repeat("KP_Add", 65) + std::vector<std::string>{"0"});
    bytes edited = default_font();
    std::fill(edited.begin() + 'A' * 8, edited.begin() + 'A' * 8 + 8, 0);
    EXPECT_EQ(shows(program, editor_picture(edited, 'A')), ""); // the edit has been made

    program.close();
    EXPECT_EQ(program.wait_exit(), 0);
    EXPECT_EQ(read_file(path), default_font());
    EXPECT_EQ(list_dir(dir.path), std::vector<std::string>{"font.fnt"});
    EXPECT_EQ(program.output(), "");

    // Nothing is created for a file that did not exist either.
    editor fresh({GLYFMEND_PATH, dir.file("new.fnt")}, dir.path);
    ASSERT_NE(fresh.window, 0u) << fresh.output();
    fresh.keys({"space"});
    bytes dot = blank_font;
    dot[0] = 0x01;
    EXPECT_EQ(shows(fresh, editor_picture(dot, 0)), "");
    fresh.close();
    EXPECT_EQ(fresh.wait_exit(), 0);
    EXPECT_EQ(list_dir(dir.path), std::vector<std::string>{"font.fnt"});
}

// Deletes what tmpfs_mount::fill_up made, so the file system has room again.
void free_up(const tmpfs_mount& disk)
{
    for (const std::string& name : list_dir(disk.path))
        if (name.rfind("filler", 0) == 0)
            std::remove(disk.file(name).c_str());
}

TEST_F(Glyfmend, AFailedSaveOnAFullFileSystemKeepsTheOldFileAndTheEditorGoesOn)
{
    MOUNT_SMALL_DISK(disk, "size=64k");
    const std::string path = disk.file("font.fnt");
    const bytes old_font = default_font();
    write_file(path, old_font);
    disk.fill_up(); // the new font needs room of its own beside the old one, and there is none
    editor program({GLYFMEND_PATH, path}, disk.path);
    ASSERT_NE(program.window, 0u) << program.output();

    program.keys({"space", "F2"});
    EXPECT_TRUE(program.waits_for([&] { return program.output() == "Error while saving\n"; })) << program.output();
    EXPECT_EQ(read_file(path), old_font);
    EXPECT_TRUE(program.running());

    // Once there is room again the same edits save.
    free_up(disk);
    program.keys({"F2"});
    bytes edited = old_font;
    edited[0] ^= 0x01;
    EXPECT_TRUE(program.waits_for([&] { return file_is(path, edited); }));
    EXPECT_EQ(read_file(path), edited);
    EXPECT_EQ(program.output(), "Error while saving\n");
}

TEST_F(Glyfmend, AFailedSaveOnAReadOnlyFolderKeepsTheOldFileAndTheEditorGoesOn)
{
    MOUNT_SMALL_DISK(disk, "size=64k");
    const std::string path = disk.file("font.fnt");
    const bytes old_font = default_font();
    write_file(path, old_font);
    ASSERT_TRUE(disk.remount_read_only());
    editor program({GLYFMEND_PATH, path}, disk.path);
    ASSERT_NE(program.window, 0u) << program.output();

    program.keys({"space", "F2", "F2"});
    EXPECT_TRUE(program.waits_for([&] { return program.output() == "Error while saving\nError while saving\n"; }))
        << program.output();
    EXPECT_EQ(read_file(path), old_font);
    EXPECT_EQ(list_dir(disk.path), std::vector<std::string>{"font.fnt"});

    // Editing goes on: the next glyph is selected and the toggled pixel is kept.
    program.keys({"KP_Add"});
    bytes edited = old_font;
    edited[0] ^= 0x01;
    EXPECT_EQ(shows(program, editor_picture(edited, 1)), "");
    program.close();
    EXPECT_EQ(program.wait_exit(), 0);
}

} // namespace
