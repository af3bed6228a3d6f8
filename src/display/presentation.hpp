// The conversion of the planar frame buffer into the RGBX words of palette.hpp, for
// the window to present; its fast paths are chosen by what the processor runs.
// Nothing here needs SDL.
#pragma once
#include <cstddef>
#include <cstdint>

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
