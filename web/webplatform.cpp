#include "webplatform.hpp"

#include <emscripten.h>

namespace {

// Suspends the program (the page goes on) until web_wake is called or `ms` pass. The
// wake comes from inside SDL's own event handler, so the program resumes only after that
// handler has returned, from a fresh task.
EM_ASYNC_JS(void, web_sleep, (int ms), {
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
    if (SDL_PollEvent(event))
        return 1;
    web_sleep(static_cast<int>(timeout_ms));
    return SDL_PollEvent(event);
}
