#include "display/dbuff.hpp"
#include "display/palette.hpp"
#include "display/sdlfuncs.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

// Runs init_screen_sdl with the given video driver; returns its result and what it printed.
std::pair<int, std::string> init_with_driver(const char* driver)
{
    setenv("SDL_VIDEODRIVER", driver, 1);
    testing::internal::CaptureStdout();
    const int result = init_screen_sdl("Failing");
    std::fflush(stdout);
    std::string printed = testing::internal::GetCapturedStdout();
    unsetenv("SDL_VIDEODRIVER");
    SDL_Quit();
    return {result, printed};
}

TEST(InitScreen, AnUnknownVideoDriverFailsAtTheFirstStep)
{
    const auto [result, printed] = init_with_driver("no_such_driver");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(printed.rfind("Could not initialize SDL2: ", 0), 0u) << printed;
    EXPECT_GT(printed.size(), std::string("Could not initialize SDL2: \n").size()) << "no reason given";
    EXPECT_EQ(printed.back(), '\n');
}

TEST(InitScreen, ADriverWithoutOpenGLWindowsFailsAtTheWindow)
{
    const auto [result, printed] = init_with_driver("dummy");
    EXPECT_EQ(result, 2);
    EXPECT_EQ(printed, "Error while creating SDL2 window.\n");
}

// The SDL layer in this process, on the test's own X server.
class Screen : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        if (!start_x_server(why))
            SKIP_OR_FAIL(why);
        ASSERT_EQ(init_screen_sdl("Screen test"), 0);
        dbuff.fill(0);
        // Start from an empty queue, so that every get_input below takes exactly one pass.
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
};

void push_key(SDL_Scancode code)
{
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.keysym.scancode = code;
    SDL_PushEvent(&event);
}

TEST_F(Screen, CreatesTheWindowRendererAndSurface)
{
    ASSERT_NE(window, nullptr);
    ASSERT_NE(renderer, nullptr);
    ASSERT_NE(surface, nullptr);
    int w = 0;
    int h = 0;
    SDL_GetWindowSize(window, &w, &h);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 400);
    EXPECT_STREQ(SDL_GetWindowTitle(window), "Screen test");
    EXPECT_EQ(surface->w, 320);
    EXPECT_EQ(surface->h, 200);
    EXPECT_EQ(surface->format->format, SDL_PIXELFORMAT_RGBX8888);
}

TEST_F(Screen, TheCursorStepsThroughTheBrightColours)
{
    const std::uint8_t expected[] = {8, 9, 10, 11, 12, 13, 14, 15, 8, 9};
    for (const std::uint8_t color : expected) {
        push_key(SDL_SCANCODE_A);
        ASSERT_EQ(get_input(7, 3), SDL_SCANCODE_A);
        ASSERT_EQ(get_pixel(7, 3), color);
    }
}

TEST_F(Screen, ACursorOffTheScreenIsNotDrawnButKeysStillCome)
{
    push_key(SDL_SCANCODE_F2);
    EXPECT_EQ(get_input(320, 200), SDL_SCANCODE_F2);
    EXPECT_TRUE(std::all_of(dbuff.begin(), dbuff.end(), [](std::uint8_t byte) { return byte == 0; }));
}

TEST_F(Screen, ShowPixelPlotsATwoByTwoBlockInThePaletteColour)
{
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    show_pixel(3, 2, 0x1C); // bits 7-4 are ignored: colour 12
    std::vector<std::uint32_t> pixels(4 * 4);
    const SDL_Rect area = {5, 3, 4, 4}; // the block at (6, 4)-(7, 5) and a ring around it
    ASSERT_EQ(SDL_RenderReadPixels(renderer, &area, SDL_PIXELFORMAT_RGBX8888, pixels.data(), 4 * 4), 0)
        << SDL_GetError();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const bool inside = x >= 1 && x <= 2 && y >= 1 && y <= 2;
            EXPECT_EQ(pixels[static_cast<std::size_t>(y * 4 + x)], inside ? rgbx_of(12) : 0u) << x << ", " << y;
        }
    EXPECT_TRUE(std::all_of(dbuff.begin(), dbuff.end(), [](std::uint8_t byte) { return byte == 0; }));
}

TEST_F(Screen, UpdateScreenKeepsToTheSurfacesRowPitch)
{
    // A surface whose rows lie further apart than 1280 bytes, as SDL may one day give.
    constexpr int pitch = 1280 + 64;
    std::vector<std::uint32_t> pixels(pitch / 4 * 200, 0xABCDEF01);
    SDL_Surface* wide = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), 320, 200, 32, pitch, SDL_PIXELFORMAT_RGBX8888);
    ASSERT_NE(wide, nullptr);
    SDL_Surface* const original = surface;
    surface = wide;
    fill_screen(1);
    put_pixel(319, 1, 14);
    update_screen();
    surface = original;
    SDL_FreeSurface(wide);
    EXPECT_EQ(pixels[0], rgbx_of(1));
    EXPECT_EQ(pixels[319], rgbx_of(1));
    EXPECT_EQ(pixels[320], 0xABCDEF01u) << "the gap between rows was written";
    EXPECT_EQ(pixels[pitch / 4 + 319], rgbx_of(14));
    EXPECT_EQ(pixels[pitch / 4 * 199 + 319], rgbx_of(1));
}

class DisplayProbe : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        if (!start_x_server(why))
            SKIP_OR_FAIL(why);
    }
};

TEST_F(DisplayProbe, ShowsTheFrameBufferAtTwiceItsSizeAndClosesLikeAWindowManagerAsks)
{
    editor probe({DISPLAY_PROBE_PATH}, "");
    ASSERT_NE(probe.window, 0u) << probe.output();
    EXPECT_EQ(probe.title(), "Display probe");
    const screenshot shot = probe.shot_until([](const screenshot& s) { return s.pixel(1, 150) == 0xFFFFFF; });
    ASSERT_EQ(shot.width, 640);
    ASSERT_EQ(shot.height, 400);
    for (int color = 0; color < 16; ++color)
        for (int x = color * 20; x < color * 20 + 20; ++x)
            ASSERT_EQ(shot.pixel(x, 50), window_rgb(static_cast<std::uint8_t>(color))) << "colour " << color;
    EXPECT_EQ(shot.pixel(0, 150), 0x000000u);
    EXPECT_EQ(shot.pixel(2, 150), 0x000000u);

    probe.keys({"space", "F2"});
    EXPECT_TRUE(probe.waits_for([&] { return probe.output() == "key 44\nkey 59\n"; })) << probe.output();

    probe.close();
    EXPECT_EQ(probe.wait_exit(), 0);
}

} // namespace
