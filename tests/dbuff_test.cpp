#include <gtest/gtest.h>

TEST(Placeholder_dbuff_test, Builds)
{
}
