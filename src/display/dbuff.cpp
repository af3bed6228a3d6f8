#include "display/dbuff.hpp"

#include <cstring>

std::array<std::uint8_t, plane_count * plane_size> dbuff{};

std::uint32_t dbuff_offset(std::uint32_t x, std::uint32_t y, std::uint8_t& mask)
{
    mask = static_cast<std::uint8_t>(1u << (x & 7));
    return y * row_bytes + x / 8;
}

void put_pixel(std::uint32_t x, std::uint32_t y, std::uint8_t color)
{
    if (x >= screen_width || y >= screen_height)
        return;
    std::uint8_t mask = 0;
    std::uint8_t* byte = dbuff.data() + dbuff_offset(x, y, mask);
    // Plane 0 takes colour bit 3; each later plane takes the next lower bit.
    for (std::uint32_t plane = 0; plane < plane_count; ++plane, byte += plane_size, color <<= 1) {
        if (color & 8)
            *byte |= mask;
        else
            *byte &= static_cast<std::uint8_t>(~mask);
    }
}

std::uint8_t get_pixel(std::uint32_t x, std::uint32_t y)
{
    std::uint8_t mask = 0;
    const std::uint8_t* byte = dbuff.data() + dbuff_offset(x, y, mask);
    std::uint8_t color = 0;
    for (std::uint32_t plane = 0; plane < plane_count; ++plane, byte += plane_size) {
        color = static_cast<std::uint8_t>(color << 1);
        if (*byte & mask)
            color |= 1;
    }
    return color;
}

void fill_screen(std::uint8_t color)
{
    // Gives the same bytes as clearing everything and then setting the planes whose
    // colour bit is 1, but writes each byte once: neighbouring planes that take the same
    // value share one fill, so 0 and 15 are a single fill of the whole buffer.
    const auto plane_value = [color](std::uint32_t plane) -> std::uint8_t {
        return ((color >> (3 - plane)) & 1) ? 0xFF : 0x00;
    };
    for (std::uint32_t plane = 0; plane < plane_count;) {
        std::uint32_t end = plane + 1;
        while (end < plane_count && plane_value(end) == plane_value(plane))
            ++end;
        std::memset(dbuff.data() + plane * plane_size, plane_value(plane), (end - plane) * plane_size);
        plane = end;
    }
}

namespace {

// Writes `value` into the bits of `mask` and leaves the other bits as they are.
inline void merge(std::uint8_t& byte, std::uint8_t mask, std::uint8_t value)
{
    byte = static_cast<std::uint8_t>((byte & ~mask) | (value & mask));
}

} // namespace

void draw_rectangle(std::int32_t x, std::int32_t y, std::uint32_t w, std::uint32_t h, std::uint8_t color)
{
    if (x > static_cast<std::int32_t>(screen_width) - 1 || y > static_cast<std::int32_t>(screen_height) - 1)
        return;
    // 64-bit arithmetic: -x of the most negative x and x + w must not wrap.
    const std::int64_t left = x;
    const std::int64_t top = y;
    if ((left < 0 && w <= -left) || (top < 0 && h <= -top))
        return;
    std::int64_t x0 = left;
    std::int64_t y0 = top;
    std::int64_t width = w;
    std::int64_t height = h;
    if (x0 < 0) {
        width += x0;
        x0 = 0;
    }
    if (y0 < 0) {
        height += y0;
        y0 = 0;
    }
    if (x0 + width > screen_width)
        width = screen_width - x0;
    if (y0 + height > screen_height)
        height = screen_height - y0;
    if (width == 0 || height == 0)
        return;

    // Every row gets the same bytes: the left edge byte and the right edge byte merged
    // under masks that cover columns x to xr, and the whole bytes between them set.
    // Merging under a full mask is a plain store, so no edge needs a case of its own.
    const auto xr = static_cast<std::uint32_t>(x0 + width - 1);
    const std::uint32_t first = static_cast<std::uint32_t>(x0) / 8;
    const std::uint32_t last = xr / 8;
    auto left_mask = static_cast<std::uint8_t>(0xFF << (x0 & 7));
    const auto right_mask = static_cast<std::uint8_t>(0xFF >> (7 - (xr & 7)));
    if (first == last)
        left_mask &= right_mask;
    const std::uint32_t run = last > first ? last - first - 1 : 0;
    const auto rows = static_cast<std::uint32_t>(height);
    const std::uint32_t row0 = static_cast<std::uint32_t>(y0) * row_bytes;

    for (std::uint32_t plane = 0; plane < plane_count; ++plane) {
        const std::uint8_t value = ((color >> (3 - plane)) & 1) ? 0xFF : 0x00;
        std::uint8_t* base = dbuff.data() + plane * plane_size + row0;
        if (width == screen_width) {
            // Whole rows lie next to each other: one fill for the plane.
            std::memset(base, value, rows * row_bytes);
            continue;
        }
        for (std::uint32_t r = 0; r < rows; ++r, base += row_bytes) {
            merge(base[first], left_mask, value);
            if (run > 0)
                std::memset(base + first + 1, value, run);
            if (last > first)
                merge(base[last], right_mask, value);
        }
    }
}

void darken_screen()
{
    for (std::uint32_t y = 0; y < screen_height; ++y)
        for (std::uint32_t x = 0; x < screen_width; ++x) {
            const std::uint8_t color = get_pixel(x, y);
            put_pixel(x, y, (color & 8) ? static_cast<std::uint8_t>(color & 7) : 0);
        }
}
