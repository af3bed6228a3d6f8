#include "webplatform.hpp"

#include <emscripten.h>

namespace {

// Suspends the program (the page goes on) until web_wake is called or `ms` pass. The
// wake comes from inside SDL's own event handler, so the program resumes only after that
// handler has returned, from a fresh task. Module.onWait tells the page that the program
// has drawn its picture and waits for keys.
EM_ASYNC_JS(void, web_sleep, (int ms), {
    if (Module.onWait)
        Module.onWait();
    await new Promise(resolve => {
        const timer = setTimeout(() => { Module.webWake = null; resolve(); }, ms);
        Module.webWake = () => {
            Module.webWake = null;
            clearTimeout(timer);
            setTimeout(resolve, 0);
        };
    });
});

EM_JS(void, web_wake, (), {
    if (Module.webWake)
        Module.webWake();
});

// The page ends a program before it starts the next one in its place, as closing the
// window would: it sets Module.quitAsked and wakes the program.
EM_JS(int, web_quit_asked, (), {
    return Module.quitAsked ? 1 : 0;
});

// Copies the RGBX8888 rows (R in the top byte of each word) into an image of RGBA bytes, puts
// that on a canvas of the picture's own size, and draws this at the full size of the
// program's canvas without smoothing, so that every pixel stays a sharp square.
EM_JS(void, show_picture, (const void* pixels, int width, int height, int pitch), {
    const canvas = Module.canvas;
    let shown = Module.shownPicture;
    if (!shown || shown.canvas !== canvas) {
        const small = document.createElement('canvas');
        small.width = width;
        small.height = height;
        shown = Module.shownPicture = {canvas, context: canvas.getContext('2d'), small,
                                       smallContext: small.getContext('2d'), image: new ImageData(width, height)};
    }
    const rgba = new Uint32Array(shown.image.data.buffer);
    for (let y = 0; y < height; ++y) {
        const row = (pixels + y * pitch) >> 2;
        for (let x = 0; x < width; ++x) {
            const word = HEAPU32[row + x];
            rgba[y * width + x] = 0xFF000000 | (word >>> 24) | ((word >>> 8) & 0xFF00) | ((word << 8) & 0xFF0000);
        }
    }
    shown.smallContext.putImageData(shown.image, 0, 0);
    shown.context.imageSmoothingEnabled = false;
    shown.context.drawImage(shown.small, 0, 0, canvas.width, canvas.height);
});

int wake_on_event(void*, SDL_Event*)
{
    web_wake();
    return 0;
}

} // namespace

int web_wait_event_timeout(SDL_Event* event, Uint32 timeout_ms)
{
    static const bool watching = [] {
        SDL_AddEventWatch(wake_on_event, nullptr);
        return true;
    }();
    (void)watching;
    if (web_quit_asked()) {
        *event = SDL_Event{};
        event->type = SDL_QUIT;
        return 1;
    }
    if (SDL_PollEvent(event))
        return 1;
    web_sleep(static_cast<int>(timeout_ms));
    return SDL_PollEvent(event);
}

void web_show_picture(const SDL_Surface* picture)
{
    show_picture(picture->pixels, picture->w, picture->h, picture->pitch);
}
