#include "display/sdlfuncs.hpp"

#include "display/dbuff.hpp"
#include "display/palette.hpp"
#include "display/platform.hpp"

#include <cstdio>
#include <cstdlib>

SDL_Window* window = nullptr;
SDL_Renderer* renderer = nullptr;
SDL_Surface* surface = nullptr;

namespace {

constexpr int window_width = 640;
constexpr int window_height = 400;
constexpr Uint32 input_wait_ms = 500;

} // namespace

int init_screen_sdl(const char* title)
{
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) < 0) {
        std::printf("Could not initialize SDL2: %s\n", SDL_GetError());
        return 1;
    }
    window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, window_width, window_height,
                              platform_window_flags());
    if (!window) {
        std::puts("Error while creating SDL2 window.");
        return 2;
    }
    if (platform_create_renderer() != 0)
        return 3;
    if (create_surface() != 0)
        return 4;
    return 0;
}

int create_surface()
{
    surface = SDL_CreateRGBSurfaceWithFormat(0, screen_width, screen_height, 32, SDL_PIXELFORMAT_RGBX8888);
    if (!surface) {
        std::puts("Couldn't create SDL2 surface");
        return 1;
    }
    return 0;
}

void update_screen()
{
    platform_update_screen();
}

SDL_Scancode get_input(std::uint32_t x, std::uint32_t y)
{
    static std::uint8_t color = 0;
    for (;;) {
        put_pixel(x, y, static_cast<std::uint8_t>(color | 8));
        ++color;
        update_screen();
        SDL_Event e;
        if (platform_wait_event(&e, input_wait_ms) == 0)
            continue;
        if (e.type == SDL_QUIT)
            exit_program();
        if (e.type == SDL_KEYDOWN)
            return e.key.keysym.scancode;
    }
}

void exit_program()
{
    platform_quitting();
    if (renderer)
        SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
    std::exit(0);
}

void set_color(std::uint8_t color)
{
    const std::uint32_t word = rgbx_of(color);
    SDL_SetRenderDrawColor(renderer, static_cast<Uint8>(word >> 24), static_cast<Uint8>(word >> 16),
                           static_cast<Uint8>(word >> 8), 255);
}

void show_pixel(std::uint32_t x, std::uint32_t y, std::uint8_t color)
{
    set_color(color);
    const int left = static_cast<int>(2 * x);
    const int top = static_cast<int>(2 * y);
    const SDL_Point points[4] = {{left, top}, {left + 1, top}, {left, top + 1}, {left + 1, top + 1}};
    SDL_RenderDrawPoints(renderer, points, 4);
}
