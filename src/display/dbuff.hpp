// The planar frame buffer: 320 x 200 pixels of 4-bit colour index, held as four
// planes of 8000 bytes. Plane 0 holds colour bit 3 (intensity), plane 1 bit 2 (red),
// plane 2 bit 1 (green), plane 3 bit 0 (blue). Row y of a plane starts at byte y * 40;
// pixel x is bit (x & 7) of byte x / 8, and bit 0 is the leftmost pixel:
//     x:  0 1 2 3 4 5 6 7
//         . . X X . . . .   = 0x0C
// Drawing ignores colour bits 7-4, so 0x1A draws as 10. Nothing here reports errors.
#pragma once
#include <array>
#include <cstdint>

inline constexpr std::uint32_t screen_width = 320;
inline constexpr std::uint32_t screen_height = 200;
inline constexpr std::uint32_t row_bytes = screen_width / 8;
inline constexpr std::uint32_t plane_size = row_bytes * screen_height;
inline constexpr std::uint32_t plane_count = 4;

extern std::array<std::uint8_t, plane_count * plane_size> dbuff; // all zero at start; one per process

// Returns y * 40 + x / 8, the byte of (x, y) within a plane, and stores 1 << (x & 7)
// in `mask`. No range check.
std::uint32_t dbuff_offset(std::uint32_t x, std::uint32_t y, std::uint8_t& mask);

// Sets (x, y) to `color`; does nothing when x >= 320 or y >= 200.
void put_pixel(std::uint32_t x, std::uint32_t y, std::uint8_t color);

// Returns the colour index 0-15 of (x, y). The caller keeps x < 320 and y < 200.
std::uint8_t get_pixel(std::uint32_t x, std::uint32_t y);

// Sets every pixel to `color`.
void fill_screen(std::uint8_t color);

// Sets every pixel of the w x h rectangle whose top-left corner is (x, y) to `color`,
// clipped to the screen; x and y may be negative.
void draw_rectangle(std::int32_t x, std::int32_t y, std::uint32_t w, std::uint32_t h, std::uint8_t color);

// Dims the picture: a colour with bit 3 set loses it (15 -> 7), any other becomes 0.
// Part of the library's published interface: neither editor calls it; kept, and tested,
// for other programs built on the library.
void darken_screen();
