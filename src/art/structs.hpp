// The picture records of the sprite subsystem. Pixel bytes are colour indices 0-15,
// or 255 for a transparent pixel, which drawing skips.
// How art/ reports errors is said once, in README.md beside this file.
#pragma once
#include <cstdint>

inline constexpr std::uint8_t transparent = 255;

// A sprite: width x height pixel bytes, row-major, the pixel in column x of row y at
// index width * y + x. The block comes from the heap and belongs to whoever holds the
// record; nothing frees it before the process ends.
struct bitmap {
    std::uint8_t height;
    std::uint8_t width;
    std::uint8_t* bitmap;
};

// A box-shaped object seen from six sides. Each face is row-major with its own column
// count as the row length: front and back width x height, left and right depth x
// height, top and bottom width x depth (columns x rows).
struct entitybitmap {
    std::uint8_t height;
    std::uint8_t width;
    std::uint8_t depth;
    std::uint8_t* front;
    std::uint8_t* right;
    std::uint8_t* left;
    std::uint8_t* back;
    std::uint8_t* bottom;
    std::uint8_t* top;
};
