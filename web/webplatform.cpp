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
