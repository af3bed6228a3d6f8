#include "display/palette.hpp"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(Palette, EveryIndexHasItsWord)
{
    const std::uint32_t expected[16] = {
        0x00000000, 0x0000A000, 0x00A00000, 0x00A0A000, 0xA0000000, 0xA000A000, 0xA0A00000, 0xA0A0A000,
        0x5F5F5F00, 0x5F5FFF00, 0x5FFF5F00, 0x5FFFFF00, 0xFF5F5F00, 0xFF5FFF00, 0xFFFF5F00, 0xFFFFFF00,
    };
    for (int color = 0; color < 256; ++color)
        EXPECT_EQ(rgbx_of(static_cast<std::uint8_t>(color)), expected[color & 15]) << "index " << color;
}

} // namespace
