#include <gtest/gtest.h>

TEST(Placeholder_palette_test, Builds)
{
}
