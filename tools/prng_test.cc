#include "prng.h"

#include <gtest/gtest.h>

namespace vorlind::tools {
namespace {

TEST(SplitMix64Test, MatchesTheReferenceSequenceAndStaysInRange) {
  // The reference outputs of splitmix64 for the seed 1234567.
  SplitMix64 rng(1234567);
  EXPECT_EQ(rng.next(), 6457827717110365317ULL);
  EXPECT_EQ(rng.next(), 3203168211198807973ULL);
  EXPECT_EQ(rng.next(), 9817491932198370423ULL);
  EXPECT_EQ(rng.next(), 4593380528125082431ULL);
  EXPECT_EQ(rng.next(), 16408922859458223821ULL);

  SplitMix64 bounded(7);
  bool sawLow = false;
  bool sawHigh = false;
  for (int i = 0; i < 1000; ++i) {
    const int64_t value = bounded.between(-3, 3);
    ASSERT_GE(value, -3);
    ASSERT_LE(value, 3);
    sawLow |= value == -3;
    sawHigh |= value == 3;
  }
  EXPECT_TRUE(sawLow && sawHigh);
  int hits = 0;
  for (int i = 0; i < 10000; ++i) hits += bounded.chance(100);
  EXPECT_GT(hits, 800);
  EXPECT_LT(hits, 1200);
}

}  // namespace
}  // namespace vorlind::tools
