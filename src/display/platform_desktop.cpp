#include "display/platform.hpp"

#include "display/presentation.hpp"
#include "display/sdlfuncs.hpp"

#include <X11/Xlib.h>

#include <cstdio>

namespace {

int ignore_x_error(Display*, XErrorEvent*)
{
    return 0;
}

} // namespace

Uint32 platform_window_flags()
{
    return SDL_WINDOW_OPENGL;
}

int platform_create_renderer()
{
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED);
    if (!renderer) {
        std::puts("Error while creating renderer");
        return 1;
    }
    return 0;
}

void platform_update_screen()
{
    // Every word of every row is written, so the surface needs no clearing first.
    convert_frame(static_cast<std::uint32_t*>(surface->pixels), static_cast<std::size_t>(surface->pitch));
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface);
    if (!texture)
        std::puts("Could not create SDL2 texture");
    if (SDL_RenderCopy(renderer, texture, nullptr, nullptr) != 0)
        std::printf("SDL_RenderCopy() error: %s\n", SDL_GetError());
    if (texture)
        SDL_DestroyTexture(texture);
    SDL_RenderPresent(renderer);
}

int platform_wait_event(SDL_Event* event, Uint32 timeout_ms)
{
    return SDL_WaitEventTimeout(event, static_cast<int>(timeout_ms));
}

void platform_quitting()
{
    // SDL wakes its own event wait by sending a message to the window over a second X
    // connection. When that message is still on its way as the window goes, the server
    // answers BadWindow, and Xlib's default handler would end a normal close with status
    // 1 (seen on a busy machine). Nothing can go wrong that matters while quitting.
    XSetErrorHandler(ignore_x_error);
}
