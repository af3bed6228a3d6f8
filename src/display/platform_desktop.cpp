#include "display/platform.hpp"

#include "display/presentation.hpp"
#include "display/sdlfuncs.hpp"

#include <cstdio>

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
