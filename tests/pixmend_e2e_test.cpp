#include <gtest/gtest.h>

TEST(Placeholder_pixmend_e2e_test, Builds)
{
}
