#include "palette.hpp"

#include "dbuff.hpp"

#include <array>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define EDITORS_X86 1
#endif

namespace {

// lane_masks[b][k] is all ones when bit k of b is set: it spreads one plane byte
// over the eight pixels it holds, leftmost pixel (bit 0) first.
constexpr std::array<std::array<std::uint32_t, 8>, 256> make_lane_masks()
{
    std::array<std::array<std::uint32_t, 8>, 256> table{};
    for (std::uint32_t b = 0; b < 256; ++b)
        for (std::uint32_t k = 0; k < 8; ++k)
            table[b][k] = ((b >> k) & 1) ? 0xFFFFFFFFu : 0u;
    return table;
}

alignas(64) constexpr auto lane_masks = make_lane_masks();

// What each plane adds to a pixel's word. The intensity plane may be ORed in
// rather than added because 0xA0 | 0x5F == 0xA0 + 0x5F.
constexpr std::array<std::uint32_t, plane_count> plane_words = {rgbx_of(8), rgbx_of(4), rgbx_of(2), rgbx_of(1)};
static_assert((0xA0 | 0x5F) == 0xA0 + 0x5F);

using row_converter = void (*)(const std::uint8_t* row, std::uint32_t* out);

void convert_row_portable(const std::uint8_t* row, std::uint32_t* out)
{
    for (std::uint32_t i = 0; i < row_bytes; ++i, out += 8) {
        const auto& m0 = lane_masks[row[i]];
        const auto& m1 = lane_masks[row[i + plane_size]];
        const auto& m2 = lane_masks[row[i + 2 * plane_size]];
        const auto& m3 = lane_masks[row[i + 3 * plane_size]];
        for (std::uint32_t k = 0; k < 8; ++k)
            out[k] = (m0[k] & plane_words[0]) | (m1[k] & plane_words[1]) | (m2[k] & plane_words[2]) |
                     (m3[k] & plane_words[3]);
    }
}

#ifdef EDITORS_X86
// SSE2 is part of every x86-64 processor, so this is the baseline there.
__attribute__((target("sse2"))) void convert_row_sse2(const std::uint8_t* row, std::uint32_t* out)
{
    const __m128i w0 = _mm_set1_epi32(static_cast<int>(plane_words[0]));
    const __m128i w1 = _mm_set1_epi32(static_cast<int>(plane_words[1]));
    const __m128i w2 = _mm_set1_epi32(static_cast<int>(plane_words[2]));
    const __m128i w3 = _mm_set1_epi32(static_cast<int>(plane_words[3]));
    for (std::uint32_t i = 0; i < row_bytes; ++i, out += 8) {
        const auto* m0 = reinterpret_cast<const __m128i*>(lane_masks[row[i]].data());
        const auto* m1 = reinterpret_cast<const __m128i*>(lane_masks[row[i + plane_size]].data());
        const auto* m2 = reinterpret_cast<const __m128i*>(lane_masks[row[i + 2 * plane_size]].data());
        const auto* m3 = reinterpret_cast<const __m128i*>(lane_masks[row[i + 3 * plane_size]].data());
        for (int half = 0; half < 2; ++half) {
            const __m128i a = _mm_or_si128(_mm_and_si128(_mm_load_si128(m0 + half), w0),
                                           _mm_and_si128(_mm_load_si128(m1 + half), w1));
            const __m128i b = _mm_or_si128(_mm_and_si128(_mm_load_si128(m2 + half), w2),
                                           _mm_and_si128(_mm_load_si128(m3 + half), w3));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out) + half, _mm_or_si128(a, b));
        }
    }
}

__attribute__((target("avx2"))) void convert_row_avx2(const std::uint8_t* row, std::uint32_t* out)
{
    const __m256i w0 = _mm256_set1_epi32(static_cast<int>(plane_words[0]));
    const __m256i w1 = _mm256_set1_epi32(static_cast<int>(plane_words[1]));
    const __m256i w2 = _mm256_set1_epi32(static_cast<int>(plane_words[2]));
    const __m256i w3 = _mm256_set1_epi32(static_cast<int>(plane_words[3]));
    for (std::uint32_t i = 0; i < row_bytes; ++i, out += 8) {
        const auto* m0 = reinterpret_cast<const __m256i*>(lane_masks[row[i]].data());
        const auto* m1 = reinterpret_cast<const __m256i*>(lane_masks[row[i + plane_size]].data());
        const auto* m2 = reinterpret_cast<const __m256i*>(lane_masks[row[i + 2 * plane_size]].data());
        const auto* m3 = reinterpret_cast<const __m256i*>(lane_masks[row[i + 3 * plane_size]].data());
        const __m256i a = _mm256_or_si256(_mm256_and_si256(_mm256_load_si256(m0), w0),
                                          _mm256_and_si256(_mm256_load_si256(m1), w1));
        const __m256i b = _mm256_or_si256(_mm256_and_si256(_mm256_load_si256(m2), w2),
                                          _mm256_and_si256(_mm256_load_si256(m3), w3));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_or_si256(a, b));
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
