#include <gtest/gtest.h>

TEST(Placeholder_fonts_test, Builds)
{
}
