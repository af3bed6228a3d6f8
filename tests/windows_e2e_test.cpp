// The Windows programs run for real under Wine in the test's own Xvfb, beside the Linux
// build: the same keys must save the same bytes and show the same 640 x 400 picture (the
// cursor's blinking colour aside), a
// Unicode name must open, save and convert, and a save that Windows refuses must keep
// the old file. WINDOWS_BUILD is the Windows build's folder, WINE_PREFIX the Wine prefix
// that scripts/windows made.
#include "support.hpp"

#include <sys/stat.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string wine = "/usr/bin/wine";
const std::string hero_name = "h\xC3\xA9ros.spr"; // héros.spr

std::string windows_program(const std::string& name)
{
    return std::string(WINDOWS_BUILD) + "/" + name + ".exe";
}

std::size_t pixels_differing(const screenshot& a, const screenshot& b)
{
    if (a.width != b.width || a.height != b.height)
        return a.rgb.size() + b.rgb.size();
    std::size_t count = 0;
    for (std::size_t i = 0; i < a.rgb.size(); ++i)
        count += a.rgb[i] != b.rgb[i];
    return count;
}

// Whether `a` and `b` are the same picture but for the blinking cursor: at most one
// frame-buffer pixel differs, and it shows a cursor colour (8-15) in both. The cursor
// steps through its colours with time, so two programs seldom show one phase at once.
bool same_but_cursor(const screenshot& a, const screenshot& b)
{
    if (a.width != 640 || a.height != 400 || b.width != 640 || b.height != 400)
        return false;
    int differing = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) {
            if (a.pixel(x, y) == b.pixel(x, y) && a.pixel(x, y) != 0xFFFFFFFFu)
                continue;
            const auto cursor_colour = [&](std::uint32_t rgb) {
                for (std::uint8_t colour = 8; colour < 16; ++colour)
                    if (rgb == window_rgb(colour))
                        return true;
                return false;
            };
            if (++differing > 1 || !cursor_colour(a.pixel(x, y)) || !cursor_colour(b.pixel(x, y)))
                return false;
        }
    return true;
}

class WindowsPrograms : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Wine's hints on standard error would spoil the compared output, and names
        // other than ASCII reach a Windows program only from a UTF-8 locale.
        setenv("WINEPREFIX", WINE_PREFIX, 1);
        setenv("WINEDEBUG", "-all", 1);
        setenv("LANG", "C.UTF-8", 1);
        std::string why;
        if (!start_x_server(why))
            SKIP_OR_FAIL(why);
    }

    // Runs one editor on `file` in folder `where` with `keys`, ending with F2, until the
    // file holds something other than `before`; then its picture, once the frame after
    // the save has shown, and closes it as a window manager would.
    struct session {
        bytes saved;
        screenshot picture;
        int status = -1;
    };
    static session edit(std::vector<std::string> argv, const std::string& where, const std::string& file,
                        std::uint8_t background, const std::vector<std::string>& keys,
                        const screenshot* same_as = nullptr)
    {
        session result;
        const bytes before = read_file(where + "/" + file);
        editor program(argv, where);
        EXPECT_NE(program.window, 0u) << argv[0] << ": " << program.output();
        if (program.window == 0)
            return result;
        // Under Wine the first frame can come half a second after the window; keys sent
        // before it may be lost.
        program.shot_until([&](const screenshot& s) { return s.width == 640 && s.pixel(0, 0) == window_rgb(background); });
        program.keys(keys);
        program.waits_for([&] { return read_file(where + "/" + file) != before; });
        result.saved = read_file(where + "/" + file);
        // The picture once the frame after the save shows; with one to match, until it does.
        result.picture = program.shot_until([&](const screenshot& s) {
            return s.width == 640 && s.height == 400 && (!same_as || same_but_cursor(s, *same_as));
        });
        program.close();
        result.status = program.wait_exit();
        EXPECT_EQ(program.output(), "") << argv[0];
        return result;
    }

    temp_dir linux_side;
    temp_dir windows_side;
};

} // namespace

TEST_F(WindowsPrograms, PixmendSavesAndShowsWhatTheLinuxEditorDoesUnderAUnicodeName)
{
    const bytes hero = read_file(std::string(ASSETS_DIR) + "/hero.spr");
    write_file(linux_side.file(hero_name), hero);
    write_file(windows_side.file(hero_name), hero);
    const std::vector<std::string> keys = {"Right", "Right", "Down", "4", "space", "Down", "G", "space", "F2"};

    const session on_linux = edit({PIXMEND_PATH, hero_name}, linux_side.path, hero_name, 1, keys);
    ASSERT_NE(on_linux.saved, hero) << "the Linux editor saved nothing";
    const session on_windows =
        edit({wine, windows_program("pixmend"), hero_name}, windows_side.path, hero_name, 1, keys, &on_linux.picture);
    EXPECT_EQ(on_windows.saved, on_linux.saved) << ::testing::PrintToString(list_dir(windows_side.path));
    EXPECT_TRUE(same_but_cursor(on_windows.picture, on_linux.picture))
        << pixels_differing(on_windows.picture, on_linux.picture) << " of 640 x 400 pixels differ";
    EXPECT_EQ(on_windows.status, 0);
    EXPECT_EQ(list_dir(windows_side.path), std::vector<std::string>{hero_name}) << "no temporary file is left";
}

TEST_F(WindowsPrograms, GlyfmendSavesAndShowsWhatTheLinuxEditorDoes)
{
    const bytes font = read_file(DEFAULT_FONT_PATH);
    write_file(linux_side.file("mine.fnt"), font);
    write_file(windows_side.file("mine.fnt"), font);
    const std::vector<std::string> keys = {"KP_Add", "KP_Add", "Right", "Down", "space", "KP_Subtract", "space", "F2"};

    const session on_linux = edit({GLYFMEND_PATH, "mine.fnt"}, linux_side.path, "mine.fnt", 7, keys);
    ASSERT_NE(on_linux.saved, font) << "the Linux editor saved nothing";
    const session on_windows =
        edit({wine, windows_program("glyfmend"), "mine.fnt"}, windows_side.path, "mine.fnt", 7, keys,
             &on_linux.picture);
    EXPECT_EQ(on_windows.saved, on_linux.saved);
    EXPECT_TRUE(same_but_cursor(on_windows.picture, on_linux.picture))
        << pixels_differing(on_windows.picture, on_linux.picture) << " of 640 x 400 pixels differ";
    EXPECT_EQ(on_windows.status, 0);
}

// A read-only file, which Windows will not replace: the editor says so, keeps the old
// file and goes on; the same file made writable again then saves.
TEST_F(WindowsPrograms, ASaveWindowsRefusesKeepsTheOldFileAndEditingGoesOn)
{
    const bytes hero = read_file(std::string(ASSETS_DIR) + "/hero.spr");
    const std::string path = windows_side.file("hero.spr");
    write_file(path, hero);
    chmod(path.c_str(), 0444); // Wine shows a file without write permission as read-only
    editor pixmend({wine, windows_program("pixmend"), "hero.spr"}, windows_side.path);
    ASSERT_NE(pixmend.window, 0u) << pixmend.output();
    pixmend.shot_until([](const screenshot& s) { return s.width == 640 && s.pixel(0, 0) == window_rgb(1); });
    pixmend.keys({"5", "space", "F2"});
    EXPECT_TRUE(pixmend.waits_for([&] { return pixmend.output() == "Error while saving\n"; }))
        << "output: " << pixmend.output() << ", file: " << ::testing::PrintToString(read_file(path));
    EXPECT_EQ(read_file(path), hero);
    EXPECT_EQ(list_dir(windows_side.path), std::vector<std::string>{"hero.spr"});

    chmod(path.c_str(), 0644);
    pixmend.keys({"F2"});
    EXPECT_TRUE(pixmend.waits_for([&] { return read_file(path) != hero; }));
    EXPECT_EQ(read_file(path).size(), hero.size());
    EXPECT_TRUE(pixmend.running());
}

// pixconv.exe reads and writes Unicode names, and refuses Windows' device names as
// outputs with the one line and status that a folder gets on Linux.
TEST_F(WindowsPrograms, PixconvTakesUnicodeNamesAndRefusesDevices)
{
    write_file(windows_side.file(hero_name), read_file(std::string(ASSETS_DIR) + "/hero.spr"));
    write_file(linux_side.file("hero.spr"), read_file(std::string(ASSETS_DIR) + "/hero.spr"));
    const std::string png_name = "\xE3\x82\xB9\xE3\x83\x97\xE3\x83\xA9\xE3\x82\xA4\xE3\x83\x88.png"; // スプライト.png
    const finished_run converted =
        run_program({wine, windows_program("pixconv"), "--scale", "4", hero_name, png_name}, windows_side.path);
    EXPECT_EQ(converted.status, 0) << converted.errors;
    const finished_run reference = run_program({PIXCONV_PATH, "--scale", "4", "hero.spr", "hero.png"}, linux_side.path);
    ASSERT_EQ(reference.status, 0) << reference.errors;
    EXPECT_EQ(read_file(windows_side.file(png_name)), read_file(linux_side.file("hero.png")));
    const finished_run back = run_program({wine, windows_program("pixconv"), "--scale", "4", png_name, "back.spr"},
                                          windows_side.path);
    EXPECT_EQ(back.status, 0) << back.errors;
    EXPECT_EQ(read_file(windows_side.file("back.spr")), read_file(windows_side.file(hero_name)));

    for (const std::string device : {"NUL.png", "nul.h", "COM1.spr"}) {
        const finished_run refused =
            run_program({wine, windows_program("pixconv"), hero_name, device}, windows_side.path);
        EXPECT_EQ(refused.status, 1) << device;
        EXPECT_EQ(refused.errors, "pixconv: " + device + ": cannot be written: it is a device; nothing was written\n");
        EXPECT_EQ(refused.output, "");
    }
    EXPECT_EQ(list_dir(windows_side.path).size(), 3u);
}
