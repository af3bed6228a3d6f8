#include "display/sdlfuncs.hpp"

#include "display/dbuff.hpp"
#include "display/palette.hpp"
#include "display/presentation.hpp"

#ifdef __EMSCRIPTEN__
#include "webplatform.hpp" // the browser's wait for events; there is no X server there
#else
#include <X11/Xlib.h>
#endif

#include <cstdio>
#include <cstdlib>

SDL_Window* window = nullptr;
SDL_Renderer* renderer = nullptr;
SDL_Surface* surface = nullptr;

namespace {

constexpr int window_width = 640;
constexpr int window_height = 400;
constexpr Uint32 input_wait_ms = 500;

#ifndef __EMSCRIPTEN__
int ignore_x_error(Display*, XErrorEvent*)
{
    return 0;
}
#endif

// Converts the whole frame buffer into the surface and presents it stretched over the window.
void present_screen()
{
    // Every word of every row is written, so the surface needs no clearing first.
    convert_frame(static_cast<std::uint32_t*>(surface->pixels), static_cast<std::size_t>(surface->pitch));
#ifdef __EMSCRIPTEN__
    web_show_picture(surface);
#else
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface);
    if (!texture)
        std::puts("Could not create SDL2 texture");
    if (SDL_RenderCopy(renderer, texture, nullptr, nullptr) != 0)
        std::printf("SDL_RenderCopy() error: %s\n", SDL_GetError());
    if (texture)
        SDL_DestroyTexture(texture);
    SDL_RenderPresent(renderer);
#endif
}

#ifdef __EMSCRIPTEN__
// A browser shows the canvas only once the program yields to it, which it does when it
// waits for events with none queued: the pictures made before then would never be seen
// but the last, so that wait presents the last alone (at start-up, five pictures come
// before the first wait, with SDL's window events queued in between).
bool picture_waiting = false;
#endif

int wait_event_timeout(SDL_Event* event, Uint32 timeout_ms)
{
#ifdef __EMSCRIPTEN__
    if (SDL_PollEvent(event))
        return 1;
    if (picture_waiting) {
        present_screen();
        picture_waiting = false;
    }
    return web_wait_event_timeout(event, timeout_ms); // SDL's own wait polls every few ms there
#else
    return SDL_WaitEventTimeout(event, static_cast<int>(timeout_ms));
#endif
}

} // namespace

int init_screen_sdl(const char* title)
{
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) < 0) {
        std::printf("Could not initialize SDL2: %s\n", SDL_GetError());
        return 1;
    }
#ifdef __EMSCRIPTEN__
    // In a browser the picture goes straight into the canvas through its own 2D context
    // (web_show_picture), which is ready long before an SDL renderer would be: the window
    // needs neither OpenGL nor a renderer there.
    constexpr Uint32 window_flags = 0;
#else
    constexpr Uint32 window_flags = SDL_WINDOW_OPENGL;
#endif
    window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, window_width, window_height,
                              window_flags);
    if (!window) {
        std::puts("Error while creating SDL2 window.");
        return 2;
    }
#ifndef __EMSCRIPTEN__
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED);
    if (!renderer) {
        std::puts("Error while creating renderer");
        return 3;
    }
#endif
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
#ifdef __EMSCRIPTEN__
    picture_waiting = true;
#else
    present_screen();
#endif
}

SDL_Scancode get_input(std::uint32_t x, std::uint32_t y)
{
    static std::uint8_t color = 0;
    for (;;) {
        put_pixel(x, y, static_cast<std::uint8_t>(color | 8));
        ++color;
        update_screen();
        SDL_Event e;
        if (wait_event_timeout(&e, input_wait_ms) == 0)
            continue;
        if (e.type == SDL_QUIT)
            exit_program();
        if (e.type == SDL_KEYDOWN)
            return e.key.keysym.scancode;
    }
}

void exit_program()
{
    // SDL wakes its own event wait by sending a message to the window over a second X
    // connection. When that message is still on its way as the window goes, the server
    // answers BadWindow, and Xlib's default handler would end a normal close with status
    // 1 (seen on a busy machine). Nothing can go wrong that matters while quitting.
#ifndef __EMSCRIPTEN__
    XSetErrorHandler(ignore_x_error);
#endif
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
