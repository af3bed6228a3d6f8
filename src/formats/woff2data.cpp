#include "formats/woff2data.hpp"

#include "formats/nulldevice.hpp"

#include <woff2/encode.h>

#include <unistd.h>

#include <cstdio>
#include <exception>

namespace {

// The woff2 library reports "Compressed N to M." on standard error after every font;
// a converter that succeeds says nothing, so standard error is closed over the call.
struct quiet_stderr {
    quiet_stderr()
    {
        std::fflush(stderr);
        saved = dup(STDERR_FILENO);
        const int null = open_null_device();
        if (saved >= 0 && null >= 0)
            dup2(null, STDERR_FILENO);
        if (null >= 0)
            close(null);
    }
    ~quiet_stderr()
    {
        std::fflush(stderr);
        if (saved >= 0) {
            dup2(saved, STDERR_FILENO);
            close(saved);
        }
    }
    quiet_stderr(const quiet_stderr&) = delete;
    quiet_stderr& operator=(const quiet_stderr&) = delete;
    int saved = -1;
};

} // namespace

std::string write_woff2(std::span<const std::uint8_t> ttf, std::vector<std::uint8_t>& woff2)
{
    // The library allocates with new; running out of memory must not escape as an exception.
    try {
        std::vector<std::uint8_t> packed(woff2::MaxWOFF2CompressedSize(ttf.data(), ttf.size()));
        std::size_t length = packed.size();
        bool packed_well = false;
        {
            const quiet_stderr quiet;
            packed_well = woff2::ConvertTTFToWOFF2(ttf.data(), ttf.size(), packed.data(), &length);
        }
        if (!packed_well)
            return "the WOFF2 encoder refused the font";
        packed.resize(length);
        woff2 = std::move(packed);
        return "";
    } catch (const std::exception&) {
        return "out of memory";
    }
}
