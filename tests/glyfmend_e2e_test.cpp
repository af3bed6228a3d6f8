#include <gtest/gtest.h>

TEST(Placeholder_glyfmend_e2e_test, Builds)
{
}
