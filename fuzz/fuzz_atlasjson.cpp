// Feeds the bytes to the atlas reader. What it reads must write again and read back
// to the same frames: the reader hands back only what the writer can say.
#include "formats/atlasjson.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    atlas read;
    if (!read_atlas_json({data, size}, read).empty())
        return 0;
    std::string json;
    // The parser takes only valid UTF-8, and the array layout allows repeated names, so
    // whatever was read must write.
    if (!write_atlas_json(read, atlas_layout::array, json).empty())
        std::abort();
    atlas again;
    const std::string error =
        read_atlas_json({reinterpret_cast<const std::uint8_t*>(json.data()), json.size()}, again);
    if (!error.empty() || again.frames.size() != read.frames.size())
        std::abort();
    for (std::size_t i = 0; i < read.frames.size(); ++i)
        if (again.frames[i].name != read.frames[i].name || again.frames[i].area.x != read.frames[i].area.x ||
            again.frames[i].area.y != read.frames[i].area.y || again.frames[i].area.width != read.frames[i].area.width ||
            again.frames[i].area.height != read.frames[i].area.height)
            std::abort();
    return 0;
}
