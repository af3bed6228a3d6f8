// Feeds the bytes to the GIF reader, mapping colours exactly and to the nearest. What
// it reads must write again and read back to the same frames.
#include "formats/giffile.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> gif(data, size);
    animation exact;
    (void)read_gif(gif, false, exact);
    animation nearest;
    if (!read_gif(gif, true, nearest).empty())
        return 0;
    for (std::uint32_t& duration : nearest.durations_ms)
        duration = duration == 0 ? 10 : duration;
    std::vector<std::uint8_t> written;
    animation again;
    if (!write_gif(nearest, 1, written).empty() || !read_gif(written, false, again).empty() ||
        again.frames != nearest.frames)
        std::abort();
    return 0;
}
