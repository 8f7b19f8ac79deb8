#include "dialogs/frame/effect_registry.h"

#include <gtest/gtest.h>

#include "support/session.h"

namespace {

int16_t One(EffectCall&) { return 1; }
int16_t Two(EffectCall&) { return 0; }

TEST(EffectRegistryTest, RowsAreFoundByEveryCodeTheyServeAndNoOther) {
  EffectRegistry r;
  ASSERT_EQ(r.Add({{23, 29, 33}, false, One}), 0);
  ASSERT_EQ(r.Add({{119}, true, Two}), 0);
  ASSERT_NE(r.Find(29), nullptr);
  EXPECT_EQ(r.Find(29), r.Find(33));
  EXPECT_EQ(r.Find(29)->run, One);
  EXPECT_FALSE(r.Find(29)->writesRenderFile);
  EXPECT_TRUE(r.Find(119)->writesRenderFile);
  for (int16_t code : {0, 20, 21, 24, 118, 120, -1, 32767}) EXPECT_EQ(r.Find(code), nullptr) << code;
  // Removing by one code forgets the whole row.
  r.Remove(33);
  EXPECT_EQ(r.Find(23), nullptr);
  EXPECT_EQ(r.Find(119)->run, Two);
  EXPECT_EQ(r.size(), 1u);
}

TEST(EffectRegistryTest, ABadOrClashingRowAddsNothingAndRegisteringAgainChangesNothing) {
  EffectRegistry r;
  ASSERT_EQ(r.Add({{103}, false, One}), 0);
  EXPECT_EQ(r.Add({{104, 20}, false, One}), -1);   // 20 is below the first code
  EXPECT_EQ(r.Add({{104, 120}, false, One}), -1);  // 120 above the last
  EXPECT_EQ(r.Add({{}, false, One}), -1);
  EXPECT_EQ(r.Add({{104}, false, nullptr}), -1);
  EXPECT_EQ(r.Add({{104, 103}, false, Two}), -1);  // 103 has another runner
  EXPECT_EQ(r.Find(104), nullptr);
  EXPECT_EQ(r.Find(103)->run, One);
  // The next session's start registers the same rows again.
  EXPECT_EQ(r.Add({{103}, false, One}), 0);
  EXPECT_EQ(r.size(), 1u);
}

TEST(EffectRegistryTest, ScratchRecordsComeFromTheSessionAndGoBack) {
  struct Rec {
    int32_t w[1000] = {};
    int32_t last = 7;
  };
  {
    ScratchRecord<Rec> none;
    EXPECT_FALSE(none);  // no session
  }
  vmktest::ScopedSession session;
  const int32_t before = session.memMan().count();
  {
    ScratchRecord<Rec> rec;
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->last, 7);
    EXPECT_EQ(rec->w[999], 0);
    EXPECT_EQ(session.memMan().count(), before + 1);
    EXPECT_NE(session.memMan().GetCMem(rec.get()), nullptr);
  }
  EXPECT_EQ(session.memMan().count(), before);
  vmktest::NoWorkMemory refused;
  ScratchRecord<Rec> rec;
  EXPECT_FALSE(rec);
}

}  // namespace
