#include <gtest/gtest.h>

TEST(Placeholder_savefile_test, Builds)
{
}
