#include "editors/glyfmend.hpp"

#include "art/fonts.hpp"
#include "display/dbuff.hpp"
#include "display/palette.hpp"
#include "display/sdlfuncs.hpp"

#include <array>
#include <cstdio>
#include <vector>

namespace {

// The glyph under edit is shown at its real size in a black box at this corner.
constexpr std::uint32_t box_x = 20;
constexpr std::uint32_t box_y = 20;
constexpr std::uint32_t glyph_size = 8;
constexpr std::uint32_t last_cell = glyph_size - 1; // the cursor's last column and row in the box

// Where the status line and the three sample lines start.
constexpr std::uint32_t status_x = 20;
constexpr std::uint32_t status_y = 10;
constexpr std::uint32_t samples_x = 10;
constexpr std::array<std::uint32_t, 3> sample_y = {40, 60, 80};

// Draws one whole picture: the status line and the samples in the font being edited,
// so every change to a glyph shows at once.
void draw_editor(std::uint8_t chr)
{
    fill_screen(color_light_grey);
    std::array<char, 100> msg{};
    // The %c of glyph 0 ends the text early and that of glyph 10 breaks the line;
    // both are left as they come out.
    std::snprintf(msg.data(), msg.size(), "Character: %c (hex: %.2X)", chr, static_cast<unsigned>(chr));
    print_text(status_x, status_y, color_black, msg.data());
    draw_rectangle(box_x, box_y, glyph_size, glyph_size, color_black);
    draw_chr(box_x, box_y, color_white, chr);
    print_text(samples_x, sample_y[0], color_black, "The quick brown fox jumps over\nthe lazy dog.");
    print_text(samples_x, sample_y[1], color_black, "ABCDEFGHIJKLMNOPQRSTUVWXYZ?\nabcdefghijklmnopqrstuvwxyz!");
    print_text(samples_x, sample_y[2], color_black, "1234567890+-*/");
    update_screen();
}

} // namespace

int glyfmend_main(int argc, char** argv)
{
    // Every message must show at once, even in a pipe or a file. No buffering rather than
    // line buffering, which Windows' C library does not have (it buffers fully instead).
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc < 2) {
        std::puts("Not enough arguments!");
        std::puts(">glyfmend [filename]");
        return 1;
    }
    const char* filename = argv[1];
    // With more than one argument the font starts blank and the first one is only
    // where F2 writes. A missing or short file is no error: what it lacks stays blank.
    if (argc == 2)
        load_font(filename);
    if (init_screen_sdl("Font editor") != 0)
        return 1;

    std::uint32_t x = 0;
    std::uint32_t y = 0;
    std::uint8_t chr = 0;
    for (;;) {
        draw_editor(chr);
        switch (get_input(box_x + x, box_y + y)) {
        case SDL_SCANCODE_KP_PLUS:
            ++chr; // 255 wraps to 0
            break;
        case SDL_SCANCODE_KP_MINUS:
            --chr; // 0 wraps to 255
            break;
        case SDL_SCANCODE_0:
            reset_chr(chr);
            break;
        case SDL_SCANCODE_RIGHT:
            if (x < last_cell)
                ++x;
            break;
        case SDL_SCANCODE_LEFT:
            if (x != 0)
                --x;
            break;
        case SDL_SCANCODE_UP:
            if (y != 0)
                --y;
            break;
        case SDL_SCANCODE_DOWN:
            if (y < last_cell)
                ++y;
            break;
        case SDL_SCANCODE_SPACE:
            set_font_pixel(chr, static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y));
            break;
        case SDL_SCANCODE_F2:
            save_font(filename); // a failed save has said so and leaves the font as it is
            break;
        default:
            break;
        }
    }
}
