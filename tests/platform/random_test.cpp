// The default generator gives the C library's srandom/random numbers, one at a time or many
// at once, from any seed; a substituted generator serves the many-at-once draws too. A render
// draws from a table of its own, which its loops' bands share and no other thread touches.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"
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

// Every vector width the processor has, then the plain loop.
std::vector<plat::SimdLevel> Levels() {
  std::vector<plat::SimdLevel> levels = {plat::SimdLevel::kBaseline};
  if (plat::SimdSupported() >= plat::SimdLevel::kAvx2) levels.push_back(plat::SimdLevel::kAvx2);
  if (plat::SimdSupported() >= plat::SimdLevel::kAvx512) levels.push_back(plat::SimdLevel::kAvx512);
  return levels;
}

// Runs of every length around the vector widths and the fill's block of 4096, one after
// another from the same table, at each width, against one draw at a time.
TEST(RandomRun, FillsGiveTheOneAtATimeDrawsAtEveryWidth) {
  const int64_t counts[] = {0, 1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 32, 33, 47, 4095, 4096, 4097, 10007, 5};
  for (const plat::SimdLevel level : Levels()) {
    plat::SetSimdLevel(level);
    for (const uint32_t seed : {0u, 3u, 0x9e3779b9u}) {
      plat::RandomRun one(seed), many(seed);
      std::vector<int32_t> got;
      for (const int64_t n : counts) {
        got.assign(static_cast<size_t>(n) + 1, -1);
        many.Fill(got.data(), n);
        for (int64_t i = 0; i < n; ++i)
          ASSERT_EQ(got[static_cast<size_t>(i)], one.Next())
              << "level " << static_cast<int>(level) << " seed " << seed << " run " << n << " draw " << i;
        ASSERT_EQ(got[static_cast<size_t>(n)], -1) << "a fill wrote past its count";
      }
      ASSERT_EQ(many.Next(), one.Next());
    }
  }
  plat::SetSimdLevel(plat::SimdLevel::kAvx512);
}

// Two tables filled side by side give each its own one-at-a-time draws, for the same run
// lengths, at each width, and write nothing past the count.
TEST(RandomRun, FillsOfTwoTablesSideBySideGiveEachItsOwnDraws) {
  const int64_t counts[] = {0, 1, 7, 8, 9, 16, 17, 33, 4095, 4096, 4097, 10007, 5};
  for (const plat::SimdLevel level : Levels()) {
    plat::SetSimdLevel(level);
    plat::RandomRun one(3), two(0x9e3779b9u), a(3), b(0x9e3779b9u);
    b.Skip(1000);
    for (int i = 0; i < 1000; ++i) (void)two.Next();
    std::vector<int32_t> gotA, gotB;
    for (const int64_t n : counts) {
      gotA.assign(static_cast<size_t>(n) + 1, -1);
      gotB.assign(static_cast<size_t>(n) + 1, -1);
      a.FillTwo(gotA.data(), b, gotB.data(), n);
      for (int64_t i = 0; i < n; ++i) {
        ASSERT_EQ(gotA[static_cast<size_t>(i)], one.Next())
            << "level " << static_cast<int>(level) << " run " << n << " draw " << i;
        ASSERT_EQ(gotB[static_cast<size_t>(i)], two.Next())
            << "level " << static_cast<int>(level) << " run " << n << " draw " << i;
      }
      ASSERT_EQ(gotA[static_cast<size_t>(n)], -1) << "a fill wrote past its count";
      ASSERT_EQ(gotB[static_cast<size_t>(n)], -1) << "a fill wrote past its count";
    }
    ASSERT_EQ(a.Next(), one.Next());
    ASSERT_EQ(b.Next(), two.Next());
  }
  plat::SetSimdLevel(plat::SimdLevel::kAvx512);
}

// A jump of n lands on the table that n draws leave, for short jumps (below, at and past the
// table's 31 words), long ones and one past 2^31; a jump after draws and draws after a jump
// go on in step.
TEST(RandomRun, SkipLandsWhereAsManyDrawsLand) {
  const uint64_t jumps[] = {0, 1, 2, 3, 30, 31, 32, 34, 61, 62, 310, 1000, 4097, 1000000,
                            (uint64_t{1} << 31) + 5};
  std::vector<int32_t> scratch(1 << 16);
  for (const uint32_t seed : {1u, 42u, 0xfffffffbu}) {
    for (const uint64_t n : jumps) {
      if (n > 1000000 && seed != 42u) continue;  // 2^31 draws take a second: one seed does
      plat::RandomRun drawn(seed), jumped(seed);
      (void)drawn.Next();  // off the seed's own table
      (void)jumped.Next();
      for (uint64_t left = n; left > 0;) {
        const int64_t m = static_cast<int64_t>(std::min<uint64_t>(left, scratch.size()));
        drawn.Fill(scratch.data(), m);
        left -= static_cast<uint64_t>(m);
      }
      jumped.Skip(n);
      uint32_t a[plat::RandomRun::kDegree], b[plat::RandomRun::kDegree];
      drawn.Words(a);
      jumped.Words(b);
      for (int32_t k = 0; k < plat::RandomRun::kDegree; ++k)
        ASSERT_EQ(a[k], b[k]) << "seed " << seed << " jump " << n << " word " << k;
      for (int i = 0; i < 40; ++i) ASSERT_EQ(jumped.Next(), drawn.Next());
    }
  }
  // Jumps add up: 2^31 + 5 as 5 and then 2^31, from the library's seed.
  ::srandom(9);
  plat::RandomRun whole(9), parts(9);
  whole.Skip((uint64_t{1} << 31) + 5);
  parts.Skip(5);
  parts.Skip(uint64_t{1} << 31);
  EXPECT_EQ(whole.Next(), parts.Next());
  plat::RandomRun fromSeed(9);
  fromSeed.Skip(12345);
  for (int i = 0; i < 12345; ++i) (void)::random();
  EXPECT_EQ(fromSeed.Next(), static_cast<int32_t>(::random()));
}

// The process generator's table can be taken and moved on: the draws after a jump of n are
// those after n calls; a substituted generator has no table to take and is called n times.
TEST(Random, TakenTableAndJumpFollowTheProcessGenerator) {
  ::srandom(2024);
  plat::SeedRandom(2024);
  for (int i = 0; i < 7; ++i) (void)::random();
  plat::SkipRandom(7);
  plat::RandomRun taken;
  ASSERT_TRUE(plat::TakeRandomRun(&taken));
  // The copy draws on its own: the process generator has not moved.
  const int32_t first = static_cast<int32_t>(::random());
  EXPECT_EQ(taken.Next(), first);
  EXPECT_EQ(plat::Random(), first);
  plat::SkipRandom(100000);
  for (int i = 0; i < 100000; ++i) (void)::random();
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
  plat::RandomRun none;
  EXPECT_FALSE(plat::TakeRandomRun(&none));
  plat::SkipRandom(6);
  EXPECT_EQ(plat::Random(), 21);
  plat::SetRandomFunctions(nullptr, nullptr);
  EXPECT_EQ(got[0], 10);
  EXPECT_EQ(got[3], 13);
  // The default is back, with its own sequence.
  ::srandom(5);
  plat::SeedRandom(5);
  EXPECT_EQ(plat::Random(), static_cast<int32_t>(::random()));
}

// --- A render's own table ---------------------------------------------------------------------

// The next n draws of a table.
std::vector<int32_t> Next(plat::RandomRun run, int n) {
  std::vector<int32_t> out(static_cast<size_t>(n));
  for (int32_t& v : out) v = run.Next();
  return out;
}

std::vector<int32_t> Drawn(int n) {
  std::vector<int32_t> out(static_cast<size_t>(n));
  for (int32_t& v : out) v = plat::Random();
  return out;
}

// The scope starts from the process generator's table, seeds and draws on its own (the
// process generator does not move meanwhile), and gives its table back at its end, so that
// the draws after it are those after the scope's.
TEST(RenderRandomScope, StartsFromTheProcessTableAndGivesItsOwnBack) {
  plat::SeedRandom(5);
  (void)plat::Random();
  plat::RandomRun process;
  ASSERT_TRUE(plat::TakeRandomRun(&process));
  plat::RandomRun left(9);
  {
    const plat::RenderRandomScope scope;
    EXPECT_EQ(Drawn(40), Next(process, 40)) << "a scope goes on from the process generator";
    plat::SeedRandom(9);
    std::vector<int32_t> many(5000);
    plat::RandomDraws(many.data(), 5000);
    EXPECT_EQ(many, Next(left, 5000));
    for (int i = 0; i < 5000; ++i) (void)left.Next();
    plat::SkipRandom(1000);
    left.Skip(1000);
    std::thread outside([&] {
      plat::RandomRun now;
      ASSERT_TRUE(plat::TakeRandomRun(&now));
      EXPECT_EQ(Next(now, 20), Next(process, 20)) << "the scope's draws reached the process generator";
    });
    outside.join();
  }
  EXPECT_EQ(Drawn(30), Next(left, 30)) << "the process generator did not take the scope's table";
}

// A scope that drew nothing gives nothing back: what another thread drew from the process
// generator meanwhile stays drawn. A scope inside another draws from the outer one's table.
TEST(RenderRandomScope, UntouchedScopeGivesNothingBackAndInnerScopesShareTheOuter) {
  plat::SeedRandom(77);
  plat::RandomRun start;
  ASSERT_TRUE(plat::TakeRandomRun(&start));
  {
    const plat::RenderRandomScope scope;
    plat::RandomRun taken;
    ASSERT_TRUE(plat::TakeRandomRun(&taken));  // looking moves nothing
    std::thread outside([] { (void)Drawn(12); });
    outside.join();
  }
  start.Skip(12);
  EXPECT_EQ(Drawn(10), Next(start, 10));
  for (int i = 0; i < 10; ++i) (void)start.Next();

  {
    const plat::RenderRandomScope outer;
    plat::SeedRandom(3);
    plat::RandomRun three(3);
    (void)plat::Random();
    (void)three.Next();
    {
      const plat::RenderRandomScope inner;
      EXPECT_EQ(Drawn(5), Next(three, 5));
      for (int i = 0; i < 5; ++i) (void)three.Next();
    }
    plat::RandomRun process;
    std::thread outside([&] { EXPECT_TRUE(plat::TakeRandomRun(&process)); });
    outside.join();
    EXPECT_EQ(Next(process, 8), Next(start, 8)) << "an inner scope's end gave the table back";
    EXPECT_EQ(Drawn(5), Next(three, 5));
  }
}

// The bands of a loop started in a scope draw from the scope's table on whichever thread they
// run: each band's draw is one of the table's next draws, every one of them once, and the
// scope's draws go on after them.
TEST(RenderRandomScope, BandsOnThePoolsThreadsDrawFromTheScopesTable) {
  constexpr int kBands = 256;
  plat::SetThreadCount(4);
  const std::thread::id caller = std::this_thread::get_id();
  std::vector<int32_t> want = Next(plat::RandomRun(11), kBands + 2);
  const int32_t after = want[kBands], afterScope = want[kBands + 1];
  want.resize(kBands);
  std::sort(want.begin(), want.end());
  for (int round = 0; round < 20; ++round) {
    plat::SeedRandom(1);
    {
      const plat::RenderRandomScope scope;
      plat::SeedRandom(11);
      std::vector<int32_t> got(kBands, -1);
      std::atomic<int> elsewhere{0};
      plat::ParallelFor(0, kBands, 1, [&](int32_t band, int32_t, int32_t) {
        if (std::this_thread::get_id() != caller) elsewhere.fetch_add(1);
        // Some work first, so that the pool's threads take bands before the caller has done them.
        volatile uint32_t work = 0;
        for (uint32_t i = 0; i < 20000; ++i) work = work * 31u + i;
        int32_t draw = 0;
        plat::RandomDraws(&draw, 1);
        got[static_cast<size_t>(band)] = draw;
      });
      std::sort(got.begin(), got.end());
      ASSERT_EQ(got, want) << "round " << round << ", " << elsewhere.load() << " bands on the pool's threads";
      EXPECT_EQ(plat::Random(), after);
    }
    EXPECT_EQ(plat::Random(), afterScope);
  }
  plat::SetThreadCount(0);
}

// A substituted generator stays the one generator inside a scope, and the scope gives the
// default generator's table nothing back.
TEST(RenderRandomScope, SubstitutedGeneratorServesTheScopeToo) {
  plat::SeedRandom(8);
  plat::RandomRun start;
  ASSERT_TRUE(plat::TakeRandomRun(&start));
  plat::SetRandomFunctions(&Counting, &CountFrom);
  {
    const plat::RenderRandomScope scope;
    plat::SeedRandom(100);
    EXPECT_EQ(plat::Random(), 100);
    int32_t got[3] = {};
    plat::RandomDraws(got, 3);
    EXPECT_EQ(got[2], 103);
  }
  EXPECT_EQ(plat::Random(), 104);
  plat::SetRandomFunctions(nullptr, nullptr);
  EXPECT_EQ(Drawn(6), Next(start, 6));
}

// Two renders seeding and drawing at once, one at a time and many at once, beside a thread
// that seeds and draws the process generator outside any render: each render's draws are
// those of its seed, every round.
TEST(RenderRandomScope, TwoRendersSeedingAndDrawingAtOnceDrawTheirOwnNumbers) {
  static constexpr int kRounds = 40, kDraws = 3000;
  std::atomic<bool> done{false};
  std::thread interface([&] {
    for (uint32_t i = 0; !done.load(); ++i) {
      plat::SeedRandom(i);
      (void)Drawn(7);
    }
  });
  auto render = [&](uint32_t seed) {
    const std::vector<int32_t> want = Next(plat::RandomRun(seed), 2 * kDraws);
    return [seed, want] {
      const plat::RenderRandomScope scope;
      plat::SeedRandom(seed);
      std::vector<int32_t> got = Drawn(kDraws);
      got.resize(2 * kDraws);
      plat::RandomDraws(got.data() + kDraws, kDraws);
      return got == want;
    };
  };
  const int wrong = [&] {
    std::atomic<int> ready{0}, bad{0};
    auto run = [&](const std::function<bool()>& f) {
      ready.fetch_add(1);
      while (ready.load() < 2) std::this_thread::yield();
      for (int i = 0; i < kRounds; ++i)
        if (!f()) bad.fetch_add(1);
    };
    std::thread other(run, render(4242));
    run(render(17));
    other.join();
    return bad.load();
  }();
  done.store(true);
  interface.join();
  EXPECT_EQ(wrong, 0) << "of " << 2 * kRounds << " rounds drew another render's numbers";
}

}  // namespace
