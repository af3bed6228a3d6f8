// Any bytes into the BDF reader.
#include "formats/bdffile.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    struct font result {};
    if (!read_bdf({data, size}, result).empty())
        return 0;
    // A font that was read writes and reads back to the same glyphs.
    struct font again {};
    if (!read_bdf(write_bdf(result, "fuzz"), again).empty() || write_font_file(again) != write_font_file(result))
        std::abort();
    return 0;
}
