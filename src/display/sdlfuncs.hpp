// The window, presentation and key input: everything that touches SDL2. A program
// calls init_screen_sdl once, then update_screen and get_input on every pass of its
// loop; closing the window ends the process with status 0 from inside get_input.
// Failures print one line on standard output; init_screen_sdl returns the number of
// the step that failed.
#pragma once
#include <SDL.h>

#include <cstdint>

extern SDL_Window* window;     // the 640 x 400 window; null until init_screen_sdl
extern SDL_Renderer* renderer; // its accelerated renderer; null until init_screen_sdl, and
                               // always in a browser, where the picture needs none
extern SDL_Surface* surface;   // 320 x 200 RGBX8888 picture that update_screen fills

// Starts SDL and creates the window titled `title`, its renderer and the surface.
// Returns 0, or at the first failure prints why and returns its step: 1 SDL itself,
// 2 the window, 3 the renderer, 4 the surface. Nothing made before a failure is freed.
int init_screen_sdl(const char* title);

// Creates the 320 x 200 RGBX8888 surface. Returns 0, or prints
// "Couldn't create SDL2 surface" and returns 1. init_screen_sdl calls it; it is published
// for programs that make their own window.
int create_surface();

// Converts the whole frame buffer into the surface and presents it stretched over the
// window, each frame-buffer pixel a 2 x 2 block. Failures are printed, not fatal. In a
// browser the picture is presented when get_input next waits for a key: only then can
// the browser show it.
void update_screen();

// Blinks a cursor pixel at frame-buffer position (x, y), in colours 8-15 one step per
// pass, until a key goes down, and returns its scancode. The cursor is drawn into
// dbuff itself. A close of the window ends the process here with status 0.
SDL_Scancode get_input(std::uint32_t x, std::uint32_t y);

// Destroys the renderer and the window, shuts SDL down and exits with status 0, even
// when the X server complains about a window already gone.
[[noreturn]] void exit_program();

// Sets the renderer's draw colour to palette colour `color` (bits 7-4 ignored).
// Part of the library's published interface: neither editor calls it; kept, and tested,
// for other programs built on the library.
void set_color(std::uint8_t color);

// Plots frame-buffer pixel (x, y) straight onto the renderer as a 2 x 2 block, without
// touching dbuff and without presenting.
// Part of the library's published interface: neither editor calls it; kept, and tested,
// for other programs built on the library.
void show_pixel(std::uint32_t x, std::uint32_t y, std::uint8_t color);
