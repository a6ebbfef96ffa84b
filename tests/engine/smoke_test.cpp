#include <gtest/gtest.h>
#include "patch/hunkset.h"
TEST(Smoke, Label) { EXPECT_EQ(CHunkSet::Label(0x10, 0), " 0x000010 - 0x00000F"); }
