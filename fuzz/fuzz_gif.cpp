// Feeds the bytes to the GIF reader, mapping colours exactly and to the nearest. What
// it reads must write again and read back to the same frames; read frame by frame it
// must give the same frames, as many as the frames counted without decoding.
#include "formats/giffile.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> gif(data, size);
    animation exact;
    (void)read_gif(gif, false, exact);
    animation nearest;
    if (!read_gif(gif, true, nearest).empty())
        return 0;
    std::vector<std::vector<std::uint8_t>> streamed;
    animation header;
    const gif_frame_taker keep = [&](animation& so_far) {
        streamed.push_back(std::move(so_far.frames.back()));
        return std::string();
    };
    if (!read_gif_frames(gif, true, keep, header).empty() || streamed != nearest.frames ||
        count_gif_frames(gif) != nearest.frames.size())
        std::abort();
    for (std::uint32_t& duration : nearest.durations_ms)
        duration = duration == 0 ? 10 : duration;
    std::vector<std::uint8_t> written;
    animation again;
    if (!write_gif(nearest, 1, written).empty() || !read_gif(written, false, again).empty() ||
        again.frames != nearest.frames)
        std::abort();
    return 0;
}
