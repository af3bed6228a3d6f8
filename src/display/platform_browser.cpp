#include "display/platform.hpp"

#include "display/presentation.hpp"
#include "display/sdlfuncs.hpp"

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

// The page ends a program once the next one runs in its place, as closing the window
// would: it sets Module.quitAsked and wakes the program.
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

// A browser shows the canvas only once the program yields to it, which it does when it
// waits for events with none queued: the pictures made before then would never be seen
// but the last, so that wait presents the last alone (at start-up, five pictures come
// before the first wait, with SDL's window events queued in between).
bool picture_waiting = false;

void present_waiting_picture()
{
    if (!picture_waiting)
        return;
    // Every word of every row is written, so the surface needs no clearing first.
    convert_frame(static_cast<std::uint32_t*>(surface->pixels), static_cast<std::size_t>(surface->pitch));
    show_picture(surface->pixels, surface->w, surface->h, surface->pitch);
    picture_waiting = false;
}

} // namespace

// The picture goes straight into the canvas through its own 2D context (show_picture),
// which is ready long before an SDL renderer would be: the window needs neither OpenGL
// nor a renderer.
Uint32 platform_window_flags()
{
    return 0;
}

int platform_create_renderer()
{
    return 0;
}

void platform_update_screen()
{
    picture_waiting = true;
}

// Sleeps until SDL queues an event or `timeout_ms` pass, instead of SDL's own wait, which
// wakes every few milliseconds to look. Once the page has asked the program to end, the
// event is SDL_QUIT, as when a desktop window is closed.
int platform_wait_event(SDL_Event* event, Uint32 timeout_ms)
{
    static const bool watching = [] {
        SDL_AddEventWatch(wake_on_event, nullptr);
        return true;
    }();
    (void)watching;
    if (SDL_PollEvent(event))
        return 1;
    present_waiting_picture();
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

void platform_quitting()
{
}
