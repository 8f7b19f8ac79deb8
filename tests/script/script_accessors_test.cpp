#include <algorithm>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "fake_record_kinds.h"
#include "script/param_block.h"
#include "script/script_file.h"
#include "support/session.h"

namespace {

class Accessors : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    RegisterFakeKinds();
    gPer->previewWidth = 320;
    gPer->previewHeight = 200;
    gPer->resolution = 150.0f;
    ASSERT_EQ(script_.I_ScriptFile(3, 1000, 800, 96.7f, 101, 37, 0, 0, 100, 36), 0);
  }
  int32_t blocks() { return session_.memMan().count(); }
  ScriptFile script_;
};

TEST_F(Accessors, MissingOperationsReadAsDefaults) {
  uint8_t b = 7;
  int16_t v = 7;
  EXPECT_EQ(script_.GetOpa(0, 1, 1, &b), nullptr);
  EXPECT_EQ(b, 255);
  EXPECT_EQ(script_.GetMode(0, 1, 1, &b), nullptr);
  EXPECT_EQ(b, 0);
  EXPECT_EQ(script_.GetParam99(0, 1, 1, &v), nullptr);
  EXPECT_EQ(v, 0);
  v = 7;
  EXPECT_EQ(script_.GetAct(0, 1, 1, &v), 0);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(script_.GetStack(0)->GetLaye(1)->oprnCount, 0);
}

TEST_F(Accessors, FieldSettersMakeTheOperation) {
  script_.SetParam3(0, 1, 1, -300);
  const Oprn* op = script_.GetOprn(0, 1, 1);
  ASSERT_NE(op, nullptr);
  EXPECT_EQ(op->Effect, 0);
  EXPECT_EQ(op->Param3, -300);
  EXPECT_EQ(op->Opa, 255);
  // Appended when the index is past the end; byte fields keep the low 8 bits.
  script_.SetOpa(0, 1, 5, 0x1FF);
  script_.SetToChannel(0, 1, 2, 300);
  ASSERT_EQ(script_.GetStack(0)->GetLaye(1)->oprnCount, 2);
  uint8_t b = 0;
  int16_t v = 0;
  EXPECT_NE(script_.GetOpa(0, 1, 2, &b), nullptr);
  EXPECT_EQ(b, 255);
  script_.GetToChannel(0, 1, 2, &v);
  EXPECT_EQ(v, 44);
  script_.SetParam5(0, 1, 1, 9);
  script_.GetParam5(0, 1, 1, &v);
  EXPECT_EQ(v, 9);
}

TEST_F(Accessors, ActiveFlagNeedsAnEffect) {
  script_.SetAct(0, 1, 1, 1);
  EXPECT_EQ(script_.GetOprn(0, 1, 1), nullptr);  // not made
  script_.SetParam1(0, 1, 1, 1);
  script_.SetAct(0, 1, 1, 1);
  EXPECT_EQ(script_.GetAct(0, 1, 1, nullptr), 0);
  script_.GetOprn(0, 1, 1)->Effect = 11;
  script_.SetAct(0, 1, 1, 1);
  EXPECT_EQ(script_.GetAct(0, 1, 1, nullptr), 1);
}

TEST_F(Accessors, StacksOutsideTheScriptAndMissingLayersFindNothing) {
  for (int16_t s : {-1, 256, 32767}) {
    int16_t v = 5;
    uint8_t b = 0;
    EXPECT_EQ(script_.GetParam1(s, 1, 1, &v), nullptr);
    EXPECT_EQ(v, 0);
    script_.GetOpa(s, 1, 1, &b);
    EXPECT_EQ(b, 255);
    script_.SetParam1(s, 1, 1, 3);
    script_.SetEffect(s, 1, 1, 2, 0, 0, 0, 0);
    fichier f;
    EXPECT_EQ(script_.SetFileOprn(s, 1, 1, &f), -1);
    LutVign lut;
    EXPECT_EQ(script_.SetLutVign(s, 1, 1, &lut), -1);
    TcolPar t;
    EXPECT_EQ(script_.SetTcolPar(s, 1, 1, &t), -1);
    script_.AddOprn(s, 1, 1, nullptr);
    script_.CleanOprn(s, 1);
  }
  const int32_t before = blocks();
  fichier f;
  script_.SetParam1(0, 2, 1, 3);
  script_.SetEffect(0, 2, 1, 2, 0, 0, 0, 0);
  EXPECT_EQ(script_.SetFileOprn(0, 2, 1, &f), -1);
  EXPECT_EQ(script_.GetStack(0)->layerCount, 1);
  EXPECT_EQ(blocks(), before);
}

TEST_F(Accessors, OwnRecordsOfTheOperation) {
  script_.SetParam1(0, 1, 1, 0);
  OprnExt ext;
  EXPECT_EQ(script_.GetSelOprnExt(0, 1, 1, nullptr), 0);
  EXPECT_EQ(script_.GetOprn(0, 1, 1)->SelOprnExt, nullptr);
  ext.SelLevel[3] = 1;
  EXPECT_EQ(script_.GetSelOprnExt(0, 1, 1, &ext), 0);
  EXPECT_EQ(ext.SelLevel[3], 100);
  ext.SelFlag[0] = 2;
  ASSERT_EQ(script_.SetSelOprnExt(0, 1, 1, &ext), 0);
  EXPECT_EQ(script_.GetSelOprnExt(0, 1, 1, nullptr), 1);
  OprnExt back;
  EXPECT_EQ(script_.GetSelOprnExt(0, 1, 1, &back), 1);
  EXPECT_EQ(back.SelFlag[0], 2);

  LutVign lut;
  script_.GetLutVign(2, 0, 1, 1, &lut);
  LutVign rising;
  Init_LutVign(2, &rising, 0, 0, 0, 0);
  EXPECT_EQ(std::memcmp(&lut, &rising, sizeof lut), 0);
  lut.values[0] = 12;
  ASSERT_EQ(script_.SetLutVign(0, 1, 1, &lut), 0);
  script_.GetLutVign(0, 0, 1, 1, &rising);
  EXPECT_EQ(rising.values[0], 12);

  // A matrix asked for is made (all zeros) and stays.
  std::vector<int32_t> m(kColMatCells, 5);
  script_.GetColMat(0, 1, 1, m.data());
  EXPECT_EQ(m, std::vector<int32_t>(kColMatCells, 0));
  EXPECT_NE(script_.GetOprn(0, 1, 1)->ColMat, nullptr);
  m[1088] = 4;
  ASSERT_EQ(script_.SetColMat(0, 1, 1, m.data()), 0);
  std::vector<int32_t> n(kColMatCells, 0);
  script_.GetColMat(0, 1, 1, n.data());
  EXPECT_EQ(n[1088], 4);
  std::fill(n.begin(), n.end(), 1);
  script_.GetColMat(0, 1, 9, n.data());
  EXPECT_EQ(n, std::vector<int32_t>(kColMatCells, 0));
  EXPECT_EQ(script_.SetColMat(0, 1, 9, m.data()), -1);

  fichier* file = reinterpret_cast<fichier*>(1);
  EXPECT_NE(script_.GetFileOprn(0, 1, 1, &file), nullptr);
  EXPECT_EQ(file, nullptr);
  fichier f;
  SetPStr(f.name, "edge.tif");
  ASSERT_EQ(script_.SetFileOprn(0, 1, 3, &f), 0);  // made, at the end
  script_.GetFileOprn(0, 1, 2, &file);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(PStrString(file->name), "edge.tif");
}

TEST_F(Accessors, DefaultPathRecordOnPlanesOfOddSides) {
  Path3D p;
  p.table[17] = 5;
  p.flag = 9;
  script_.GetPath3D(0, 1, 1, &p);
  // Plane 101 x 37.
  const int32_t expected[8] = {25, 9, 75, 27, 37, 13, 88, 32};
  EXPECT_TRUE(std::equal(expected, expected + 8, p.rects));
  EXPECT_EQ(p.direction, 0);
  EXPECT_EQ(p.flag, 1);
  EXPECT_EQ(p.table[17], 5);
  EXPECT_EQ(p.lut.opacity[0], 255);

  script_.SetParam1(0, 1, 1, 0);
  p.rects[0] = -4;
  ASSERT_EQ(script_.SetPath3D(0, 1, 1, &p), 0);
  Path3D q;
  script_.GetPath3D(0, 1, 1, &q);
  EXPECT_EQ(q.rects[0], -4);
  EXPECT_EQ(q.table[17], 5);
}

TEST_F(Accessors, FamilyRecordsGainTheirSlotAndKeepTheOthers) {
  script_.SetParam1(0, 1, 1, 0);
  Oprn* op = script_.GetOprn(0, 1, 1);
  FakePar fake{};
  fake.value = 61;
  ASSERT_EQ(script_.SetRecordPar(kFakeKind, 0, 1, 1, &fake), 0);
  ASSERT_NE(op->MulStruc, nullptr);
  EXPECT_EQ(MulStrucRecord(op->MulStruc, 8), nullptr);

  TcolPar t{};
  script_.GetTcolPar(0, 1, 1, &t);
  EXPECT_EQ(t.groups[2][2], 100);
  EXPECT_NE(MulStrucRecord(op->MulStruc, 8), nullptr);
  FakePar back{};
  script_.GetRecordPar(kFakeKind, 0, 1, 1, &back);
  EXPECT_EQ(back.value, 61);

  t.groups[4][0] = -1;
  ASSERT_EQ(script_.SetTcolPar(0, 1, 1, &t), 0);
  TcolPar u{};
  script_.GetTcolPar(0, 1, 1, &u);
  EXPECT_EQ(u.groups[4][0], -1);
  EXPECT_EQ(script_.SetSprayPar(0, 1, 1, nullptr), 0);
}

TEST_F(Accessors, FamilyDefaultsForAMissingRecord) {
  // No operation: the accessor's defaults, sized by the script and the session's preview.
  FakeMaskPar mask{};
  script_.GetRecordPar(kFakeMaskKind, 0, 1, 1, &mask);
  EXPECT_EQ(mask.width, 1000);
  EXPECT_EQ(mask.height, 800);
  EXPECT_EQ(mask.resolution, 96);
  EXPECT_NE(mask.mask, nullptr);
  DeleteRecordBlock(mask.mask);
  FakePar plain{};
  script_.GetRecordPar(kFakeKind, 0, 1, 1, &plain);
  EXPECT_EQ(plain.value, 4);
  EXPECT_EQ(plain.previewWidth, 320);
  EXPECT_EQ(script_.GetOprn(0, 1, 1), nullptr);

  // A record made in the operation's block takes the block's defaults (session sizes).
  FakePar in{};
  ASSERT_EQ(script_.SetRecordPar(kFakeKind, 0, 1, 1, &in), -1);  // no operation
  script_.SetParam1(0, 1, 1, 0);
  ASSERT_EQ(script_.SetRecordPar(kFakeKind, 0, 1, 1, &in), 0);
  script_.GetRecordPar(kFakeMaskKind, 0, 1, 1, &mask);
  EXPECT_EQ(mask.width, 320);
  EXPECT_EQ(mask.resolution, 150);
  // An unregistered family is refused.
  EXPECT_EQ(script_.SetRecordPar(2, 0, 1, 1, &in), -1);
}

TEST_F(Accessors, WholeBlocksInAndOut) {
  MulStruc* out = nullptr;
  ASSERT_EQ(Alloc_MulStruc(&out, 0), 0);
  script_.GetMulStruc(0, 1, 1, out);
  auto* plain = static_cast<FakePar*>(MulStrucRecord(out, kFakeKind));
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->value, 3);
  plain->value = 70;
  EXPECT_EQ(script_.SetMulStruc(0, 1, 1, out), -1);
  script_.SetParam1(0, 1, 1, 0);
  ASSERT_EQ(script_.SetMulStruc(0, 1, 1, out), 0);
  FakePar back{};
  script_.GetRecordPar(kFakeKind, 0, 1, 1, &back);
  EXPECT_EQ(back.value, 70);
  EXPECT_NE(MulStrucRecord(script_.GetOprn(0, 1, 1)->MulStruc, 9), nullptr);
  Dele_MulStruc(out);
}

}  // namespace
