// Feeds the bytes to the tileset reader, alone and with a picture's own size taken from
// the input's length. Every tile it reads must lie on a picture of at most
// max_sheet_side pixels each way, and a tileset it reads, once written, must read back
// the same.
#include "formats/tiledfile.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void check_tiles(const tileset& read)
{
    for (const atlas_frame& frame : tileset_frames(read))
        if (frame.area.width == 0 || frame.area.x + frame.area.width > max_sheet_side ||
            frame.area.y + frame.area.height > max_sheet_side)
            std::abort();
}

bool same(const tileset& a, const tileset& b)
{
    if (a.animation.size() != b.animation.size())
        return false;
    for (std::size_t i = 0; i < a.animation.size(); ++i)
        if (a.animation[i].tile != b.animation[i].tile || a.animation[i].duration_ms != b.animation[i].duration_ms)
            return false;
    return a.name == b.name && a.image == b.image && a.image_width == b.image_width &&
           a.image_height == b.image_height && a.tile_width == b.tile_width && a.tile_height == b.tile_height &&
           a.tile_count == b.tile_count && a.columns == b.columns && a.spacing == b.spacing && a.margin == b.margin;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tileset sized;
    const auto side = static_cast<std::uint32_t>(size % (max_sheet_side + 2));
    if (read_tsx({data, size}, sized, side, max_sheet_side + 1 - side).empty())
        check_tiles(sized);
    tileset read;
    if (!read_tsx({data, size}, read).empty())
        return 0;
    check_tiles(read);
    std::string xml;
    // Names that are not UTF-8 text are refused by the writer; the rest must round-trip.
    if (!write_tsx(read, xml).empty())
        return 0;
    tileset again;
    if (!read_tsx({reinterpret_cast<const std::uint8_t*>(xml.data()), xml.size()}, again).empty() || !same(read, again))
        std::abort();
    return 0;
}
