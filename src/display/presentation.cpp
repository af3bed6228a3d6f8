#include "display/presentation.hpp"

#include "display/dbuff.hpp"
#include "display/palette.hpp"

#include <array>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define EDITORS_X86 1
#define EDITORS_SSE2 1
#define EDITORS_TARGET(name) __attribute__((target(name)))
#elif defined(__wasm_simd128__) && defined(__SSE2__)
// WebAssembly built with -msse2 -msimd128: emscripten maps the SSE2 intrinsics onto
// WebAssembly SIMD, so the SSE2 path runs there too, and always.
#include <emmintrin.h>
#define EDITORS_SSE2 1
#define EDITORS_TARGET(name)
#endif

namespace {

using row_converter = void (*)(const std::uint8_t* row, std::uint32_t* out);

void convert_row_portable(const std::uint8_t* row, std::uint32_t* out)
{
    static constexpr auto words = [] {
        std::array<std::uint32_t, 16> table{};
        for (std::uint32_t color = 0; color < 16; ++color)
            table[color] = rgbx_of(static_cast<std::uint8_t>(color));
        return table;
    }();
    for (std::uint32_t i = 0; i < row_bytes; ++i)
        for (std::uint32_t k = 0; k < 8; ++k) {
            const std::uint32_t color = ((row[i] >> k) & 1) << 3 | ((row[i + plane_size] >> k) & 1) << 2 |
                                        ((row[i + 2 * plane_size] >> k) & 1) << 1 | ((row[i + 3 * plane_size] >> k) & 1);
            *out++ = words[color];
        }
}

#ifdef EDITORS_SSE2
// Both vector paths work on channel bytes rather than words: every plane bit becomes a
// byte of 0xFF or 0x00, one per pixel; red, green and blue are 0xA0 where their plane
// is set, ORed with 0x5F where the intensity plane is (0xA0 | 0x5F == 0xA0 + 0x5F);
// then the bytes are interleaved into words, a zero byte lowest, blue, green, red.
static_assert((0xA0 | 0x5F) == 0xA0 + 0x5F);

// spread[b] has byte k all ones when bit k of b is set.
constexpr std::array<std::uint64_t, 256> make_spread()
{
    std::array<std::uint64_t, 256> table{};
    for (std::uint32_t b = 0; b < 256; ++b)
        for (std::uint32_t k = 0; k < 8; ++k)
            if ((b >> k) & 1)
                table[b] |= std::uint64_t{0xFF} << (8 * k);
    return table;
}

alignas(64) constexpr auto spread = make_spread();

// SSE2 is part of every x86-64 processor, so this is the baseline there: 16 pixels a
// step, the pixel bytes of a plane looked up two plane bytes at a time.
EDITORS_TARGET("sse2") __m128i spread_sse2(const std::uint8_t* plane)
{
    return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(&spread[plane[0]])),
                              _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&spread[plane[1]])));
}

EDITORS_TARGET("sse2") void convert_row_sse2(const std::uint8_t* row, std::uint32_t* out)
{
    const __m128i a0 = _mm_set1_epi8(static_cast<char>(0xA0));
    const __m128i bright = _mm_set1_epi8(0x5F);
    const __m128i zero = _mm_setzero_si128();
    for (std::uint32_t i = 0; i < row_bytes; i += 2, out += 16) {
        const __m128i intensity = _mm_and_si128(spread_sse2(row + i), bright);
        const __m128i red = _mm_or_si128(_mm_and_si128(spread_sse2(row + i + plane_size), a0), intensity);
        const __m128i green = _mm_or_si128(_mm_and_si128(spread_sse2(row + i + 2 * plane_size), a0), intensity);
        const __m128i blue = _mm_or_si128(_mm_and_si128(spread_sse2(row + i + 3 * plane_size), a0), intensity);
        const __m128i zero_blue_low = _mm_unpacklo_epi8(zero, blue);
        const __m128i zero_blue_high = _mm_unpackhi_epi8(zero, blue);
        const __m128i green_red_low = _mm_unpacklo_epi8(green, red);
        const __m128i green_red_high = _mm_unpackhi_epi8(green, red);
        auto* words = reinterpret_cast<__m128i*>(out);
        _mm_storeu_si128(words + 0, _mm_unpacklo_epi16(zero_blue_low, green_red_low));
        _mm_storeu_si128(words + 1, _mm_unpackhi_epi16(zero_blue_low, green_red_low));
        _mm_storeu_si128(words + 2, _mm_unpacklo_epi16(zero_blue_high, green_red_high));
        _mm_storeu_si128(words + 3, _mm_unpackhi_epi16(zero_blue_high, green_red_high));
    }
}
#endif

#ifdef EDITORS_X86

// AVX2: 32 pixels a step from four plane bytes, each byte broadcast and its bits picked
// out by a shuffle, with no table. The unpack instructions work within 128-bit halves,
// so the pixels are placed to come out in order: the low half holds pixels 0-3, 8-11,
// 16-19 and 24-27, the high half 4-7, 12-15, 20-23 and 28-31.
__attribute__((target("avx2"))) __m256i spread_avx2(const std::uint8_t* plane)
{
    const __m256i source_byte = _mm256_setr_epi8(0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, //
                                                 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3);
    const __m256i bit = _mm256_setr_epi8(1, 2, 4, 8, 1, 2, 4, 8, 1, 2, 4, 8, 1, 2, 4, 8, //
                                         16, 32, 64, -128, 16, 32, 64, -128, 16, 32, 64, -128, 16, 32, 64, -128);
    std::int32_t four = 0;
    std::memcpy(&four, plane, 4);
    const __m256i bytes = _mm256_shuffle_epi8(_mm256_set1_epi32(four), source_byte);
    return _mm256_cmpeq_epi8(_mm256_and_si256(bytes, bit), bit);
}

__attribute__((target("avx2"))) void convert_row_avx2(const std::uint8_t* row, std::uint32_t* out)
{
    const __m256i a0 = _mm256_set1_epi8(static_cast<char>(0xA0));
    const __m256i bright = _mm256_set1_epi8(0x5F);
    const __m256i zero = _mm256_setzero_si256();
    for (std::uint32_t i = 0; i < row_bytes; i += 4, out += 32) {
        const __m256i intensity = _mm256_and_si256(spread_avx2(row + i), bright);
        const __m256i red = _mm256_or_si256(_mm256_and_si256(spread_avx2(row + i + plane_size), a0), intensity);
        const __m256i green = _mm256_or_si256(_mm256_and_si256(spread_avx2(row + i + 2 * plane_size), a0), intensity);
        const __m256i blue = _mm256_or_si256(_mm256_and_si256(spread_avx2(row + i + 3 * plane_size), a0), intensity);
        const __m256i zero_blue_low = _mm256_unpacklo_epi8(zero, blue);
        const __m256i zero_blue_high = _mm256_unpackhi_epi8(zero, blue);
        const __m256i green_red_low = _mm256_unpacklo_epi8(green, red);
        const __m256i green_red_high = _mm256_unpackhi_epi8(green, red);
        auto* words = reinterpret_cast<__m256i*>(out);
        _mm256_storeu_si256(words + 0, _mm256_unpacklo_epi16(zero_blue_low, green_red_low));
        _mm256_storeu_si256(words + 1, _mm256_unpackhi_epi16(zero_blue_low, green_red_low));
        _mm256_storeu_si256(words + 2, _mm256_unpacklo_epi16(zero_blue_high, green_red_high));
        _mm256_storeu_si256(words + 3, _mm256_unpackhi_epi16(zero_blue_high, green_red_high));
    }
}
#endif

row_converter converter_for(convert_path path)
{
    switch (path) {
    case convert_path::portable:
        return convert_row_portable;
#ifdef EDITORS_X86
    case convert_path::sse2:
        return __builtin_cpu_supports("sse2") ? convert_row_sse2 : nullptr;
    case convert_path::avx2:
        return __builtin_cpu_supports("avx2") ? convert_row_avx2 : nullptr;
#elif defined(EDITORS_SSE2)
    case convert_path::sse2:
        return convert_row_sse2;
    default:
        return nullptr;
#else
    default:
        return nullptr;
#endif
    }
    return nullptr;
}

row_converter pick_row_converter()
{
    for (const convert_path path : {convert_path::avx2, convert_path::sse2})
        if (const row_converter convert = converter_for(path))
            return convert;
    return convert_row_portable;
}

std::uint32_t* row_start(std::uint32_t* pixels, std::size_t pitch, std::uint32_t y)
{
    return reinterpret_cast<std::uint32_t*>(reinterpret_cast<std::uint8_t*>(pixels) + y * pitch);
}

void convert_with(row_converter convert_row, std::uint32_t* pixels, std::size_t pitch)
{
    for (std::uint32_t y = 0; y < screen_height; ++y)
        convert_row(dbuff.data() + y * row_bytes, row_start(pixels, pitch, y));
}

} // namespace

void convert_frame(std::uint32_t* pixels, std::size_t pitch)
{
    static const row_converter convert_row = pick_row_converter();
    convert_with(convert_row, pixels, pitch);
}

bool convert_frame_using(convert_path path, std::uint32_t* pixels, std::size_t pitch)
{
    const row_converter convert_row = converter_for(path);
    if (!convert_row)
        return false;
    convert_with(convert_row, pixels, pitch);
    return true;
}

void convert_frame_per_pixel(std::uint32_t* pixels, std::size_t pitch)
{
    for (std::uint32_t y = 0; y < screen_height; ++y) {
        std::uint32_t* out = row_start(pixels, pitch, y);
        for (std::uint32_t x = 0; x < screen_width; ++x)
            out[x] = rgbx_of(get_pixel(x, y));
    }
}
