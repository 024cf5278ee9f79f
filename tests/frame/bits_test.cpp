// Bit and flag operations.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "frame/bits.h"

namespace zolt::frame {
namespace {

TEST(BitsTest, SignBitSetsAndClearsLikeAnyOtherBit) {
  EXPECT_EQ(SetBitValue(0, 31, 1), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(SetBitValue(-1, 31, 0), std::numeric_limits<int32_t>::max());
}

TEST(BitsTest, ClearingTouchesOnlyTheGivenBit) {
  EXPECT_EQ(SetBitValue(0x3F, 4, 0), 0x2F);
  EXPECT_EQ(SetBitValue(0x2F, 4, 0), 0x2F);
  EXPECT_EQ(SetBitValue(0x2F, 4, 2), 0x3F);   // any non-zero state sets
  EXPECT_EQ(SetBitValue(0x2F, 4, -1), 0x3F);
  EXPECT_EQ(SetBitValue(0, 0, 1), 1);
}

TEST(BitsTest, BitNumbersOutsideTheWordChangeNothing) {
  EXPECT_EQ(SetBitValue(0x1234, 32, 1), 0x1234);
  EXPECT_EQ(SetBitValue(0x1234, -1, 1), 0x1234);
  EXPECT_EQ(SetBitValue(-1, 40, 0), -1);
}

TEST(BitsTest, InvertFlagGivesOneOnlyForZero) {
  EXPECT_EQ(InvertFlag(0), 1);
  EXPECT_EQ(InvertFlag(1), 0);
  EXPECT_EQ(InvertFlag(5), 0);
  EXPECT_EQ(InvertFlag(-3), 0);
}

}  // namespace
}  // namespace zolt::frame
