// Feeds any bytes to the readers of the editors' own sprite and font files, and checks
// that what they read writes back as the bytes it came from.
#include "art/bitmap.hpp"
#include "art/fonts.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    bitmap sprite{};
    if (read_sprite_file(bytes, sprite).empty()) {
        const std::vector<std::uint8_t> written = write_sprite_file(sprite);
        if (written.size() > size || !std::equal(written.begin(), written.end(), data))
            std::abort();
        std::free(sprite.bitmap);
    }
    struct font result{};
    if (read_font_file(bytes, result).empty()) {
        const std::vector<std::uint8_t> written = write_font_file(result);
        if (!std::equal(written.begin(), written.end(), data))
            std::abort();
    }
    return 0;
}
