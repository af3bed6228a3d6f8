#include "filenow.hpp"

#include <emscripten.h>

namespace {

std::vector<std::uint8_t> last; // what web_file_now made last, for the page to read

} // namespace

// The page calls these between the program's waits, never while it runs: the first makes
// the bytes and returns where they start in the program's memory, the second their count.
extern "C" EMSCRIPTEN_KEEPALIVE const std::uint8_t* web_file_now()
{
    last = file_now();
    return last.data();
}

extern "C" EMSCRIPTEN_KEEPALIVE std::uint32_t web_file_size()
{
    return static_cast<std::uint32_t>(last.size());
}
