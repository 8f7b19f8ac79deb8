#include <gtest/gtest.h>

#include "fake_record_kinds.h"
#include "script/param_block.h"
#include "script/script_file.h"
#include "support/session.h"

namespace {

class EffectDefaultsTest : public vmktest::SessionTest {
 protected:
  void SetUp() override { RegisterFakeKinds(); }
  Oprn* Op() { return script_.GetOprn(0, 1, 1); }
  // Gives operation 1 every attached record.
  void Attach() {
    Oprn* op = Op();
    op->ColMat = static_cast<int32_t*>(NewRecordBlock(sizeof(int32_t) * kColMatCells));
    op->LutVign = NewRecord<LutVign>();
    op->Path3D = NewRecord<Path3D>();
    op->SelOprnExt = NewRecord<OprnExt>();
    op->FileOprn = new fichier;
    ASSERT_EQ(Alloc_MulStruc(&op->MulStruc, 0), 0);
    ASSERT_EQ(Init_MulStruc(op->MulStruc, 1, kFakeMaskKind), 0);
  }
  ScriptFile script_;
};

TEST_F(EffectDefaultsTest, NewOperationTakesTheEffectsDefaults) {
  script_.SetEffect(0, 1, 1, 3, 0, 0, 0, 0);
  const Oprn* op = Op();
  ASSERT_NE(op, nullptr);
  EXPECT_EQ(op->Effect, 3);
  EXPECT_EQ(op->Param1, 255);
  EXPECT_EQ(op->Param2, 0);
  EXPECT_EQ(op->Act, 0);
  EXPECT_EQ(op->Opa, 255);
  EXPECT_EQ(op->Mode, 0);

  script_.SetEffect(0, 1, 2, 18, 0, 0, 0, 0);
  const Oprn* hsl = script_.GetOprn(0, 1, 2);
  EXPECT_EQ(hsl->Act, 1);
  EXPECT_EQ(hsl->ToChannel, 2);
}

TEST_F(EffectDefaultsTest, AlwaysRowsResetChangedRowsKeep) {
  script_.SetEffect(0, 1, 1, 21, 0, 0, 0, 0);
  EXPECT_EQ(Op()->Param3, 40);
  script_.SetParam3(0, 1, 1, 7);
  script_.SetEffect(0, 1, 1, 21, 0, 0, 0, 0);
  EXPECT_EQ(Op()->Param3, 7);

  script_.SetEffect(0, 1, 1, 2, 0, 0, 0, 0);
  EXPECT_EQ(Op()->Param1, 255);
  script_.SetParam1(0, 1, 1, 3);
  script_.SetParam2(0, 1, 1, 4);
  script_.SetParam3(0, 1, 1, 5);
  script_.SetEffect(0, 1, 1, 2, 0, 0, 0, 0);
  EXPECT_EQ(Op()->Param1, 255);
  EXPECT_EQ(Op()->Param2, 0);
  EXPECT_EQ(Op()->Param3, 5);  // not named by the row

  // A changed row with blend reset: mode 0, opacity 255 only when the number changes.
  script_.SetEffect(0, 1, 1, 51, 0, 0, 0, 0);
  EXPECT_EQ(Op()->Param5, 0);
  script_.SetMode(0, 1, 1, 4);
  script_.SetOpa(0, 1, 1, 9);
  script_.SetEffect(0, 1, 1, 51, 0, 0, 0, 0);
  EXPECT_EQ(Op()->Mode, 4);
  script_.SetEffect(0, 1, 1, 35, 0, 0, 0, 0);
  EXPECT_EQ(Op()->Mode, 0);
  EXPECT_EQ(Op()->Opa, 255);
  EXPECT_EQ(Op()->Param5, 4);

  // Numbers without a row change only the effect number.
  script_.SetParam1(0, 1, 1, -9);
  script_.SetEffect(0, 1, 1, 101, 0, 0, 0, 0);
  EXPECT_EQ(Op()->Param1, -9);
  EXPECT_EQ(Op()->Effect, 101);
}

TEST_F(EffectDefaultsTest, UnusedRecordsGoOnEveryCall) {
  script_.SetEffect(0, 1, 1, 22, 0, 0, 0, 0);
  Attach();
  const int32_t withAll = session_.memMan().count();
  script_.SetEffect(0, 1, 1, 22, 0, 0, 0, 0);
  EXPECT_NE(Op()->ColMat, nullptr);
  EXPECT_EQ(Op()->LutVign, nullptr);
  EXPECT_EQ(Op()->MulStruc, nullptr);
  EXPECT_EQ(Op()->Path3D, nullptr);
  EXPECT_NE(Op()->SelOprnExt, nullptr);
  EXPECT_NE(Op()->FileOprn, nullptr);
  EXPECT_EQ(session_.memMan().count(), withAll - 5);  // ramp, path, block, record, mask

  script_.SetEffect(0, 1, 1, 23, 0, 0, 0, 0);
  EXPECT_EQ(Op()->ColMat, nullptr);
}

TEST_F(EffectDefaultsTest, EachKeepList) {
  const struct {
    int16_t effect;
    bool colMat, lut, block, path;
  } rows[] = {{22, true, false, false, false},  {23, false, true, false, false},
              {108, false, true, false, false}, {28, false, false, false, true},
              {40, false, false, true, false},  {119, false, false, true, false},
              {100, false, false, true, false}, {101, false, false, false, false},
              {102, false, false, false, false}, {113, false, false, false, false},
              {0, false, false, false, false}};
  for (const auto& r : rows) {
    script_.CleanOprn(0, 1);
    script_.SetParam1(0, 1, 1, 0);
    Attach();
    script_.SetEffect(0, 1, 1, r.effect, 0, 0, 0, 0);
    EXPECT_EQ(Op()->ColMat != nullptr, r.colMat) << r.effect;
    EXPECT_EQ(Op()->LutVign != nullptr, r.lut) << r.effect;
    EXPECT_EQ(Op()->MulStruc != nullptr, r.block) << r.effect;
    EXPECT_EQ(Op()->Path3D != nullptr, r.path) << r.effect;
  }
}

}  // namespace
