// The default generator gives the C library's srandom/random numbers, one at a time or many
// at once, from any seed; a substituted generator serves the many-at-once draws too.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/random/random.h"

namespace {

TEST(Random, DefaultGeneratorGivesTheLibrarysNumbers) {
  for (const uint32_t seed : {0u, 1u, 2u, 42u, 12345678u, 0x7fffffffu, 0x80000000u, 0xfffffffbu}) {
    ::srandom(seed);
    plat::SeedRandom(seed);
    for (int i = 0; i < 200000; ++i)
      ASSERT_EQ(plat::Random(), static_cast<int32_t>(::random())) << "seed " << seed << " draw " << i;
  }
}

TEST(Random, ManyDrawsAtOnceContinueTheOneAtATimeSequence) {
  ::srandom(777);
  plat::SeedRandom(777);
  std::vector<int32_t> many(100003);
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(plat::Random(), static_cast<int32_t>(::random()));
    plat::RandomDraws(many.data(), static_cast<int64_t>(many.size()) - round);
    for (size_t i = 0; i + round < many.size(); ++i)
      ASSERT_EQ(many[i], static_cast<int32_t>(::random())) << "round " << round << " draw " << i;
  }
  plat::RandomDraws(many.data(), 0);
  EXPECT_EQ(plat::Random(), static_cast<int32_t>(::random()));
}

int32_t gCounter = 0;
int32_t Counting() { return gCounter++; }
void CountFrom(uint32_t seed) { gCounter = static_cast<int32_t>(seed); }

TEST(Random, SubstitutedGeneratorServesManyDrawsAtOnce) {
  plat::SetRandomFunctions(&Counting, &CountFrom);
  plat::SeedRandom(10);
  int32_t got[4] = {};
  plat::RandomDraws(got, 4);
  EXPECT_EQ(plat::Random(), 14);
  plat::SetRandomFunctions(nullptr, nullptr);
  EXPECT_EQ(got[0], 10);
  EXPECT_EQ(got[3], 13);
  // The default is back, with its own sequence.
  ::srandom(5);
  plat::SeedRandom(5);
  EXPECT_EQ(plat::Random(), static_cast<int32_t>(::random()));
}

}  // namespace
