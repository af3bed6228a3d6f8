// Any bytes into the FreeType reader, gunzipped first when they start like gzip, as the
// converter does with PCF, FON, TrueType and OpenType inputs. The last byte also picks
// the code page and a size, so that strike choice and outline rendering are reached.
#include "formats/charset.hpp"
#include "formats/freetypefont.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t pick = data[size - 1];
    static const charset* const cp437 = [] {
        const charset* found = nullptr;
        if (!find_charset("cp437", found).empty())
            std::abort();
        return found;
    }();
    const charset& set = pick & 0x80 ? *cp437 : latin1_charset;
    std::optional<std::uint32_t> pixels;
    if (pick & 0x40)
        pixels = (pick & 0x0F) + 1u;
    struct font before {};
    before.chr[0x41].bitmap[3] = 0x5A;
    struct font result = before;
    std::string warning;
    const std::string error = read_freetype_font({data, size}, set, pixels, result, warning);
    // A failure leaves the caller's font as it was and always says why.
    if (!error.empty() && write_font_file(result) != write_font_file(before))
        std::abort();
    return 0;
}
