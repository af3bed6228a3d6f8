// A small program on the display library alone, for the end-to-end tests: it shows the
// 16 colours as bars 20 pixels wide across rows 0-99, a white pixel at (1, 150), and
// prints "key N" for every key with its scancode N while the cursor blinks at (300, 150).
#include "display/dbuff.hpp"
#include "display/sdlfuncs.hpp"

#include <cstdio>

int main()
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (init_screen_sdl("Display probe") != 0)
        return 1;
    for (;;) {
        fill_screen(0);
        for (int color = 0; color < 16; ++color)
            draw_rectangle(color * 20, 0, 20, 100, static_cast<std::uint8_t>(color));
        put_pixel(1, 150, 15);
        update_screen();
        std::printf("key %d\n", static_cast<int>(get_input(300, 150)));
    }
}
