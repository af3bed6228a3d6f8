#include "formats/charset.hpp"

#include <gtest/gtest.h>
#include <iconv.h>

#include <set>

namespace {

// What the C library's converter says byte `code` of `encoding` is.
char32_t decoded_by_iconv(const char* encoding, std::uint8_t code)
{
    iconv_t converter = iconv_open("UTF-32LE", encoding);
    if (converter == reinterpret_cast<iconv_t>(-1))
        return 0xFFFFFFFF;
    char in = static_cast<char>(code);
    unsigned char out[4] = {};
    char* in_at = &in;
    char* out_at = reinterpret_cast<char*>(out);
    std::size_t in_left = 1, out_left = sizeof out;
    const std::size_t result = iconv(converter, &in_at, &in_left, &out_at, &out_left);
    iconv_close(converter);
    if (result == static_cast<std::size_t>(-1))
        return 0xFFFFFFFF;
    return out[0] | out[1] << 8 | out[2] << 16 | static_cast<char32_t>(out[3]) << 24;
}

} // namespace

// The C library's tables are an independent reader of both code pages. It decodes cp437's
// codes below 128 as ASCII controls, where fonts draw pictures, so those are checked apart.
TEST(Charset, AgreesWithTheCLibraryAndMapsEveryCodeBack)
{
    for (const charset* set : all_charsets()) {
        std::set<char32_t> seen;
        for (unsigned code = 0; code < 256; ++code) {
            const char32_t point = set->code_points[code];
            const bool picture = set == &cp437_charset && (code < 32 || code == 127);
            if (!picture) {
                const char* encoding = set == &cp437_charset ? "CP437" : "ISO-8859-1";
                EXPECT_EQ(std::uint32_t{point}, std::uint32_t{decoded_by_iconv(encoding, static_cast<std::uint8_t>(code))})
                    << set->name << " code " << code;
            }
            EXPECT_TRUE(seen.insert(point).second) << set->name << " maps two codes to U+" << std::hex << std::uint32_t{point};
            EXPECT_EQ(code_of(*set, point), code) << set->name << " code " << code;
        }
    }
    EXPECT_EQ(std::uint32_t{cp437_charset.code_points[1]}, 0x263Au);
    EXPECT_EQ(std::uint32_t{cp437_charset.code_points[31]}, 0x25BCu);
    EXPECT_EQ(std::uint32_t{cp437_charset.code_points[127]}, 0x2302u);
    EXPECT_EQ(code_of(latin1_charset, U'\u263A'), std::nullopt);
}

TEST(Charset, IsFoundByItsExactName)
{
    EXPECT_EQ(find_charset("latin1"), &latin1_charset);
    EXPECT_EQ(find_charset("cp437"), &cp437_charset);
    EXPECT_EQ(find_charset("CP437"), nullptr);
    EXPECT_EQ(all_charsets().front(), &latin1_charset);
}
