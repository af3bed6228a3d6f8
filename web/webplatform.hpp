// What differs for the editors in a web browser, linked only into the WebAssembly build.
// The programs' loop, key map and files stay those of the desktop.
#pragma once
#include <SDL.h>

// Waits like SDL_WaitEventTimeout, but sleeps until SDL queues an event or `timeout_ms`
// pass, whichever comes first, instead of waking every few milliseconds to look. Returns
// 1 with the event taken into `event`, or 0 when the time ran out with none queued.
// Once the page has asked the program to end, the event is SDL_QUIT, as when a desktop
// window is closed.
int web_wait_event_timeout(SDL_Event* event, Uint32 timeout_ms);

// Draws `picture`, the 320 x 200 RGBX8888 surface, into the program's canvas at twice its
// size, each pixel a 2 x 2 block, through the canvas's own 2D context: the browser shows it
// once the program next waits.
void web_show_picture(const SDL_Surface* picture);
