// Any bytes into the PSF reader, gunzipped first when they start like gzip, as the
// converter does with every PSF input.
#include "formats/gzipdata.hpp"
#include "formats/psffile.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::span<const std::uint8_t> input(data, size);
    std::vector<std::uint8_t> plain;
    if (is_gzip(input)) {
        if (!gunzip(input, plain).empty())
            return 0;
        input = plain;
    }
    struct font result {};
    std::string warning;
    const std::string error = read_psf(input, result, warning);
    // A font that was read writes and reads back to the same glyphs.
    if (error.empty()) {
        struct font again {};
        const bool same = read_psf(write_psf(result, 2), again, warning).empty() &&
                          write_font_file(again) == write_font_file(result);
        if (!same)
            std::abort();
    }
    return 0;
}
