// Any bytes into the BDF reader, with its codes as they are and mapped through cp437.
#include "formats/bdffile.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const charset* const cp437 = [] {
        const charset* found = nullptr;
        if (!find_charset("cp437", found).empty())
            std::abort();
        return found;
    }();
    struct font result {};
    if (!read_bdf({data, size}, result).empty())
        return 0;
    // A font that was read writes and reads back to the same glyphs, in its own page too.
    struct font again {};
    if (!read_bdf(write_bdf(result, "fuzz"), again).empty() || write_font_file(again) != write_font_file(result))
        std::abort();
    std::string warning;
    struct font mapped {};
    if (!read_bdf(write_bdf(result, "fuzz", *cp437), *cp437, mapped, warning).empty() ||
        write_font_file(mapped) != write_font_file(result))
        std::abort();
    // Mapped through another code page the same bytes may fail where the plain reading
    // did not: a glyph that page places (and so must fit the cell) is one latin1 leaves out.
    struct font other {};
    (void)read_bdf({data, size}, *cp437, other, warning);
    return 0;
}
