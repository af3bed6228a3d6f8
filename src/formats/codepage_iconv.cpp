#include "formats/codepage.hpp"

#include "formats/charset.hpp"

#include <iconv.h>

#include <cerrno>
#include <string>

const char* const code_page_converter = "iconv";

// Each byte goes through iconv alone; a byte that begins a longer sequence, or that gives
// no character or several, shows a page that is not single-byte.
decoded decode_page(std::string_view name, std::array<char32_t, 256>& table)
{
    const iconv_t converter = iconv_open("UTF-32LE", std::string(name).c_str());
    if (converter == reinterpret_cast<iconv_t>(-1))
        return decoded::unknown;
    decoded verdict = decoded::single_byte;
    for (unsigned code = 0; code < 256 && verdict == decoded::single_byte; ++code) {
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
        char in = static_cast<char>(code);
        std::array<unsigned char, 16> out{};
        char* in_at = &in;
        char* out_at = reinterpret_cast<char*>(out.data());
        std::size_t in_left = 1, out_left = out.size();
        if (iconv(converter, &in_at, &in_left, &out_at, &out_left) == static_cast<std::size_t>(-1)) {
            if (errno != EILSEQ)
                verdict = decoded::multi_byte;
            table[code] = no_character;
            continue;
        }
        // Some pages hold a letter back in case a combining accent follows; this lets it out.
        iconv(converter, nullptr, nullptr, &out_at, &out_left);
        if (out.size() - out_left != 4)
            verdict = decoded::multi_byte;
        table[code] = out[0] | out[1] << 8 | out[2] << 16 | static_cast<char32_t>(out[3]) << 24;
    }
    iconv_close(converter);
    return verdict;
}
