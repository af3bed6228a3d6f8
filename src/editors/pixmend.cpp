#include "editors/pixmend.hpp"

#include "art/bitmap.hpp"
#include "display/dbuff.hpp"
#include "display/palette.hpp"
#include "display/sdlfuncs.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <vector>

namespace {

constexpr const char* usage_line = ">pixmend [filename] [width] [height]";
constexpr std::int32_t sprite_left = 20; // where the sprite's top-left corner sits on screen
constexpr std::int32_t sprite_top = 20;
// The cursor may leave the sprite and even the screen, up to one step past its last
// column and row: (320, 200).
constexpr std::uint32_t cursor_right_end = screen_width;
constexpr std::uint32_t cursor_bottom_end = screen_height;
const bitmap* edited = nullptr; // the sprite pixmend_main edits, once it has one

int usage_error()
{
    std::puts("Not enough arguments!");
    std::puts(usage_line);
    return 1;
}

} // namespace

std::vector<std::uint8_t> edited_sprite_file()
{
    return edited ? write_sprite_file(*edited) : std::vector<std::uint8_t>{};
}

int pixmend_main(int argc, char** argv)
{
    // Every message must show at once, even in a pipe or a file. No buffering rather than
    // line buffering, which Windows' C library does not have (it buffers fully instead).
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc < 2 || argc == 3)
        return usage_error();

    const char* filename = argv[1];
    bitmap bitmap{};
    std::uint8_t width = 0;
    std::uint8_t height = 0;
    if (argc == 2) {
        if (load_bitmap(filename, bitmap, width, height) != 0) {
            std::printf("Could not open %s\n", filename);
            std::puts(usage_line);
            return 1;
        }
    } else {
        // A new sprite: the named file is not read even if it exists; F2 replaces it.
        width = parse_dimension(argv[2]);
        height = parse_dimension(argv[3]);
        if (allocate_bitmap(width, height, bitmap) != 0) {
            std::puts("Out of memory!");
            return 1;
        }
        fill_bitmap(bitmap, transparent);
    }

    if (init_screen_sdl("Sprite editor") != 0)
        return 1; // init_screen_sdl has said why
    edited = &bitmap; // from here on the loop never returns

    std::uint32_t x = 0;
    std::uint32_t y = 0;
    std::uint8_t color = 1;
    for (;;) {
        fill_screen(color_blue);
        // The backdrop shows through transparent pixels in the complement of the
        // selected value: white for 0, black for transparent.
        draw_rectangle(sprite_left, sprite_top, bitmap.width, bitmap.height, static_cast<std::uint8_t>(~color));
        draw_bitmap(sprite_left, sprite_top, bitmap);
        update_screen();
        const SDL_Scancode i = get_input(x + sprite_left, y + sprite_top);

        if (i == SDL_SCANCODE_0)
            color = 0;
        if (i >= SDL_SCANCODE_1 && i <= SDL_SCANCODE_9)
            color = static_cast<std::uint8_t>(i - SDL_SCANCODE_1 + 1);
        if (i >= SDL_SCANCODE_A && i <= SDL_SCANCODE_F)
            color = static_cast<std::uint8_t>(i - SDL_SCANCODE_A + 10);
        if (i == SDL_SCANCODE_G)
            color = transparent;
        if (i == SDL_SCANCODE_RIGHT && x < cursor_right_end)
            ++x;
        if (i == SDL_SCANCODE_LEFT && x != 0)
            --x;
        if (i == SDL_SCANCODE_UP && y != 0)
            --y;
        if (i == SDL_SCANCODE_DOWN && y < cursor_bottom_end)
            ++y;
        // Compared at full width first, so that column 256 cannot wrap round to column 0.
        if (i == SDL_SCANCODE_SPACE && x < bitmap.width && y < bitmap.height)
            store_pixel(bitmap, static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), color);
        if (i == SDL_SCANCODE_F2)
            save_bitmap(filename, bitmap); // a failed save has said so and leaves the sprite as it is
    }
}
