// The converter's output names: numbered patterns and the files an atlas's frames become.
#include "pixconv/pixconv_names.hpp"

#include <gtest/gtest.h>

#include <string>

TEST(OutputNames, PatternsNumberSafelyAndFrameNamesBecomePlainFiles)
{
    EXPECT_EQ(check_name_pattern("out/walk-%02d.spr"), "");
    EXPECT_EQ(numbered_name("out/walk-%02d.spr", 7), "out/walk-07.spr");
    EXPECT_EQ(numbered_name("100%%-%3d.spr", 12), "100%- 12.spr");
    EXPECT_EQ(numbered_name("t%d.spr", 1234), "t1234.spr");
    for (const char* bad : {"walk.spr", "a%d-%d.spr", "%s.spr", "%n.spr", "%0d.spr", "%10d.spr", "x%"})
        EXPECT_NE(check_name_pattern(bad), "") << bad;

    std::string file;
    EXPECT_EQ(frame_file_name("hero_01.PNG", file), "");
    EXPECT_EQ(file, "hero_01.spr");
    EXPECT_EQ(frame_file_name("walk 3", file), "");
    EXPECT_EQ(file, "walk 3.spr");
    EXPECT_EQ(frame_file_name("../../etc/passwd", file),
              "the frame name \"../../etc/passwd\" is not a plain file name (it holds a slash or a control character)");
    for (const char* bad : {"", "..", "...png", "a\\b", "a\nb", "x/y.png"})
        EXPECT_NE(frame_file_name(bad, file), "") << bad;
}
