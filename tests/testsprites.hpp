// Sprites that free themselves, shared by the tests of the sprite record and of the
// sprite editor's files.
#pragma once
#include "art/bitmap.hpp"
#include "support.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

// A sprite whose pixel block is freed again, so that leak checking stays meaningful.
struct owned_bitmap {
    bitmap record{};
    owned_bitmap() = default;
    owned_bitmap(std::uint8_t width, std::uint8_t height, const bytes& pixels = {})
    {
        EXPECT_EQ(allocate_bitmap(width, height, record), 0);
        for (std::size_t n = 0; n < pixels.size(); ++n)
            record.bitmap[n] = pixels[n];
    }
    ~owned_bitmap() { std::free(record.bitmap); }
    owned_bitmap(const owned_bitmap&) = delete;
    owned_bitmap& operator=(const owned_bitmap&) = delete;
};

inline bytes pixels_of(const bitmap& sprite)
{
    return {sprite.bitmap, sprite.bitmap + static_cast<std::size_t>(sprite.width) * sprite.height};
}
