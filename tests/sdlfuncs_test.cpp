#include "support.hpp"

#include <gtest/gtest.h>

namespace {

class DisplayProbe : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        if (!start_x_server(why))
            GTEST_SKIP() << why;
    }
};

TEST_F(DisplayProbe, ShowsTheFrameBufferAtTwiceItsSizeAndClosesLikeAWindowManagerAsks)
{
    editor probe({DISPLAY_PROBE_PATH}, "");
    ASSERT_NE(probe.window, 0u) << probe.output();
    EXPECT_EQ(probe.title(), "Display probe");
    const screenshot shot = probe.shot_until([](const screenshot& s) { return s.pixel(1, 150) == 0xFFFFFF; });
    ASSERT_EQ(shot.width, 640);
    ASSERT_EQ(shot.height, 400);
    for (int color = 0; color < 16; ++color)
        for (int x = color * 20; x < color * 20 + 20; ++x)
            ASSERT_EQ(shot.pixel(x, 50), window_rgb(static_cast<std::uint8_t>(color))) << "colour " << color;
    EXPECT_EQ(shot.pixel(0, 150), 0x000000u);
    EXPECT_EQ(shot.pixel(2, 150), 0x000000u);

    probe.keys({"space", "F2"});
    EXPECT_TRUE(wait_until([&] { return probe.output() == "key 44\nkey 59\n"; })) << probe.output();

    probe.close();
    EXPECT_EQ(probe.wait_exit(), 0);
}

} // namespace
