#include <gtest/gtest.h>

TEST(Placeholder_bitmap_test, Builds)
{
}
