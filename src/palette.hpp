// The 16-colour palette and the conversion of the planar frame buffer into 32-bit
// RGBX words (red in bits 31-24, green 23-16, blue 15-8, bits 7-0 zero). A channel is
// 0xA0 when its colour bit is set (red bit 2, green bit 1, blue bit 0), and the
// intensity bit 3 adds 0x5F to all three: 0 is black, 7 light grey, 8 dark grey,
// 9 is 5F 5F FF, 15 white. Nothing here needs SDL.
#pragma once
#include <cstddef>
#include <cstdint>

// The RGBX word of colour index `color`; bits 7-4 are ignored.
constexpr std::uint32_t rgbx_of(std::uint8_t color)
{
    std::uint32_t word = 0;
    if (color & 1)
        word |= 0x0000A000u;
    if (color & 2)
        word |= 0x00A00000u;
    if (color & 4)
        word |= 0xA0000000u;
    if (color & 8)
        word += 0x5F5F5F00u; // each channel is 0x00 or 0xA0 here, so no carries
    return word;
}

static_assert(rgbx_of(0) == 0x00000000u);
static_assert(rgbx_of(1) == 0x0000A000u);
static_assert(rgbx_of(6) == 0xA0A00000u);
static_assert(rgbx_of(8) == 0x5F5F5F00u);
static_assert(rgbx_of(9) == 0x5F5FFF00u);
static_assert(rgbx_of(14) == 0xFFFF5F00u);
static_assert(rgbx_of(15) == 0xFFFFFF00u);

// Writes the whole frame buffer as 320 x 200 RGBX words into `pixels`, whose rows
// lie `pitch` bytes apart (pitch >= 1280, a multiple of 4). Picks the fastest code
// this processor runs; the words are always those of convert_frame_per_pixel.
void convert_frame(std::uint32_t* pixels, std::size_t pitch);

// The same conversion, one get_pixel call per pixel: slow, obviously right.
void convert_frame_per_pixel(std::uint32_t* pixels, std::size_t pitch);

// The code paths convert_frame chooses from, for tests and benchmarks.
enum class convert_path { portable, sse2, avx2 };

// Converts like convert_frame through one given path. Returns false, writing
// nothing, when this processor cannot run that path.
bool convert_frame_using(convert_path path, std::uint32_t* pixels, std::size_t pitch);
