// What the window does differently on each platform, behind the few functions that
// sdlfuncs.cpp calls, so that it never asks which platform it runs on. The sources that
// define them: platform_desktop.cpp (an SDL renderer, for Linux and Windows alike) with
// platform_x11.cpp (an OpenGL window, X errors while quitting) or platform_windows.cpp
// (a Direct3D window); platform_browser.cpp alone for the browser (the page's canvas, a
// wait that sleeps until a key comes). This folder's CMakeLists.txt compiles those that fit. Failures print one line on standard
// output, as everything in sdlfuncs does.
#pragma once
#include <SDL.h>

// The flags that SDL_CreateWindow gets for the 640 x 400 window.
Uint32 platform_window_flags();

// Creates the global `renderer` for the global `window` where the platform presents
// through one. Returns 0, or prints "Error while creating renderer" and returns 1.
int platform_create_renderer();

// Shows the frame buffer: converts it into the global `surface` and presents that over
// the window, at once or, where a picture shows only once the program waits, then.
void platform_update_screen();

// Waits up to `timeout_ms` for an event, as SDL_WaitEventTimeout does: 1 with the event
// in `event`, or 0 when the time ran out.
int platform_wait_event(SDL_Event* event, Uint32 timeout_ms);

// Called as the program quits, just before the renderer and window go.
void platform_quitting();
