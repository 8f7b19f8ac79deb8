#include "script/operation.h"

#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "engines/records/param_record.h"
#include "fake_record_kinds.h"
#include "script/param_block.h"
#include "support/session.h"

namespace {

class OperationRecords : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    RegisterFakeKinds();
    gPer->previewWidth = 640;
    gPer->previewHeight = 480;
    gPer->resolution = 299.9f;
  }
  int32_t blocks() { return session_.memMan().count(); }
};

OprnExt* NumberedExt() {
  auto* e = NewRecord<OprnExt>();
  InitOprnExt(e);
  for (int k = 0; k < 16; ++k) e->SelValueC[k] = 0x01020300 + k;
  e->head[5] = 3;
  return e;
}

TEST_F(OperationRecords, FreshOperationHasNoRecordsAndFullOpacity) {
  Oprn op;
  InitOprn(&op);
  EXPECT_EQ(op.Opa, 255);
  EXPECT_EQ(op.Mode, 0);
  EXPECT_EQ(op.Effect, 0);
  EXPECT_EQ(op.Param1 | op.Param2 | op.Param3 | op.Param4 | op.Param5 | op.Param99, 0);
  EXPECT_EQ(op.SelOprnExt, nullptr);
  EXPECT_EQ(op.ColMat, nullptr);
  EXPECT_EQ(op.LutVign, nullptr);
  EXPECT_EQ(op.Path3D, nullptr);
  EXPECT_EQ(op.MulStruc, nullptr);
  EXPECT_EQ(op.FileOprn, nullptr);
}

TEST_F(OperationRecords, ExtensionDefaultsAndByteOrderBothWays) {
  OprnExt* e = NumberedExt();
  EXPECT_EQ(e->ByteOrder, 1);
  EXPECT_EQ(e->head[0], 1);
  EXPECT_EQ(e->SelFlag[15], 0);
  EXPECT_EQ(e->SelLevel[15], 100);
  EXPECT_EQ(e->SelValueD[0], 50);

  // On a big-endian host: reading sets the flag to 0 and turns every number; writing sets 1.
  plat::bytes::setHostOrderForTesting(plat::bytes::Order::Big);
  SwapOprnExt(e, 0, 0);
  EXPECT_EQ(e->ByteOrder, 0);
  EXPECT_EQ(e->SelValueC[2], 0x02030201);
  EXPECT_EQ(e->head[5], 0x03000000);
  SwapOprnExt(e, 1, 0);
  EXPECT_EQ(e->ByteOrder, 1);
  EXPECT_EQ(e->SelValueC[2], 0x01020302);
  plat::bytes::setHostOrderForTesting(std::nullopt);

  // On this little-endian host only force turns the numbers.
  SwapOprnExt(e, 1, 0);
  EXPECT_EQ(e->SelValueC[2], 0x01020302);
  SwapOprnExt(e, 1, 1);
  EXPECT_EQ(e->SelValueC[2], 0x02030201);
  DeleteRecordBlock(e);
}

TEST_F(OperationRecords, SwapOprnTurnsSixteenBitFieldsAndTheExtension) {
  Oprn op;
  InitOprn(&op);
  op.Effect = 0x0102;
  op.Param5 = 0x0304;
  op.Param99 = 0x0506;
  op.Act = 1;
  op.SelOprnExt = NumberedExt();
  SwapOprn(&op, 1, 1);
  EXPECT_EQ(op.Effect, 0x0201);
  EXPECT_EQ(op.Param5, 0x0403);
  EXPECT_EQ(op.Param99, 0x0605);
  EXPECT_EQ(op.Act, 1);
  EXPECT_EQ(op.SelOprnExt->SelValueC[0], 0x00030201);
}

TEST_F(OperationRecords, DeepCopySharesNothing) {
  const int32_t before = blocks();
  {
    Oprn src;
    InitOprn(&src);
    src.Effect = 28;
    src.Param2 = -7;
    src.Opa = 40;
    src.SelOprnExt = NumberedExt();
    src.ColMat = static_cast<int32_t*>(NewRecordBlock(sizeof(int32_t) * kColMatCells));
    src.ColMat[1088] = -5;
    src.LutVign = NewRecord<LutVign>();
    Init_LutVign(3, src.LutVign, 0, 0, 0, 0);
    src.Path3D = NewRecord<Path3D>();
    src.Path3D->rects[7] = 99;
    src.Path3D->table[255] = 12;
    Init_LutVign(2, &src.Path3D->lut, 9, 0, 0, 0);
    src.FileOprn = new fichier;
    SetPStr(src.FileOprn->name, "tile.tif");
    src.FileOprn->type = FourCC("TIFF");
    ASSERT_EQ(Alloc_MulStruc(&src.MulStruc, 0), 0);
    ASSERT_EQ(Init_MulStruc(src.MulStruc, 1, 8), 0);
    static_cast<TcolPar*>(MulStrucRecord(src.MulStruc, 8))->groups[4][3] = 17;
    const Path3D pathBefore = *src.Path3D;

    Oprn dst;
    InitOprn(&dst);
    ASSERT_EQ(CopyOprn(&src, &dst), 0);
    EXPECT_EQ(dst.Effect, 28);
    EXPECT_EQ(dst.Param2, -7);
    EXPECT_EQ(dst.Opa, 40);
    EXPECT_EQ(std::memcmp(src.Path3D, &pathBefore, sizeof pathBefore), 0);
    ASSERT_NE(dst.Path3D, src.Path3D);
    EXPECT_EQ(dst.Path3D->rects[7], 99);
    EXPECT_EQ(dst.Path3D->table[255], 12);
    EXPECT_EQ(std::memcmp(&dst.Path3D->lut, &src.Path3D->lut, sizeof(LutVign)), 0);
    ASSERT_NE(dst.ColMat, src.ColMat);
    EXPECT_EQ(dst.ColMat[1088], -5);
    ASSERT_NE(dst.LutVign, src.LutVign);
    EXPECT_EQ(dst.LutVign->opacity[200], src.LutVign->opacity[200]);
    ASSERT_NE(dst.SelOprnExt, src.SelOprnExt);
    EXPECT_EQ(dst.SelOprnExt->SelValueC[9], 0x01020309);
    ASSERT_NE(dst.FileOprn, src.FileOprn);
    EXPECT_EQ(PStrString(dst.FileOprn->name), "tile.tif");
    EXPECT_EQ(dst.FileOprn->type, FourCC("TIFF"));

    // The copy's block holds every registered kind at its defaults, the source's over them.
    ASSERT_NE(dst.MulStruc, src.MulStruc);
    EXPECT_EQ(static_cast<TcolPar*>(MulStrucRecord(dst.MulStruc, 8))->groups[4][3], 17);
    auto* mplu = static_cast<MpluPar*>(MulStrucRecord(dst.MulStruc, 9));
    ASSERT_NE(mplu, nullptr);
    EXPECT_EQ(mplu->countA, 5);
    auto* mask = static_cast<FakeMaskPar*>(MulStrucRecord(dst.MulStruc, kFakeMaskKind));
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(mask->width, 640);
    EXPECT_EQ(mask->resolution, 299);
    auto* plain = static_cast<FakePar*>(MulStrucRecord(dst.MulStruc, kFakeKind));
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->value, 3);
    EXPECT_EQ(MulStrucRecord(src.MulStruc, 9), nullptr);
  }
  EXPECT_EQ(blocks(), before);
}

TEST_F(OperationRecords, CopyStoppedPartWayLeavesNothingShared) {
  Oprn src;
  InitOprn(&src);
  src.SelOprnExt = NumberedExt();
  src.LutVign = NewRecord<LutVign>();
  src.Path3D = NewRecord<Path3D>();
  ASSERT_EQ(Alloc_MulStruc(&src.MulStruc, 0), 0);
  ASSERT_EQ(Init_MulStruc(src.MulStruc, 1, 8), 0);

  const int32_t before = blocks();
  {
    Oprn dst;
    InitOprn(&dst);
    // A copy whose block is stale must not free the source's records either.
    dst.Path3D = src.Path3D;
    RefusedKind refused(kFakeKind);
    EXPECT_EQ(CopyOprn(&src, &dst), -1);
    EXPECT_NE(dst.SelOprnExt, nullptr);
    EXPECT_NE(dst.SelOprnExt, src.SelOprnExt);
    EXPECT_NE(dst.LutVign, nullptr);
    EXPECT_EQ(dst.MulStruc, nullptr);
    EXPECT_EQ(dst.Path3D, nullptr);
  }
  EXPECT_EQ(blocks(), before);
  EXPECT_NE(src.Path3D, nullptr);
}

TEST_F(OperationRecords, BlockKindsThatNameNoSlotChangeNothing) {
  MulStruc* ms = nullptr;
  ASSERT_EQ(Alloc_MulStruc(&ms, 0), 0);
  const int32_t before = blocks();
  for (int16_t kind : {25, 28, 29, 31, -2, 300}) EXPECT_EQ(Alloc_MulStruc(&ms, kind), 0);
  EXPECT_EQ(blocks(), before);
  for (int s = 0; s < MulStruc::kUsedSlots; ++s) EXPECT_EQ(ms->slot[s], nullptr);
  // A kind whose family never registered is refused.
  EXPECT_EQ(Alloc_MulStruc(&ms, 2), -1);
  Dele_MulStruc(ms);

  MulStruc* none = nullptr;
  EXPECT_EQ(Alloc_MulStruc(&none, 1), -1);
  EXPECT_EQ(Alloc_MulStruc(&none, 8), -1);
  EXPECT_EQ(Init_MulStruc(nullptr, 1, 8), -1);
  EXPECT_EQ(none, nullptr);
}

TEST_F(OperationRecords, ReplacingARecordFreesTheOldOneOnlyOnceTheNewIsHad) {
  const int32_t empty = blocks();
  MulStruc* ms = nullptr;
  ASSERT_EQ(Alloc_MulStruc(&ms, 0), 0);
  ASSERT_EQ(Init_MulStruc(ms, 1, kFakeMaskKind), 0);
  auto* first = static_cast<FakeMaskPar*>(MulStrucRecord(ms, kFakeMaskKind));
  ASSERT_NE(first->mask, nullptr);
  first->value = 55;
  const int32_t held = blocks();  // block, record, its mask

  ASSERT_EQ(Alloc_MulStruc(&ms, kFakeMaskKind), 0);
  EXPECT_EQ(blocks(), held - 1);  // the new record has no mask yet; the old one went with its mask
  {
    RefusedKind refused(kFakeMaskKind);
    auto* kept = MulStrucRecord(ms, kFakeMaskKind);
    EXPECT_EQ(Alloc_MulStruc(&ms, kFakeMaskKind), -1);
    EXPECT_EQ(MulStrucRecord(ms, kFakeMaskKind), kept);
  }
  // Freeing the block returns every record and what it holds.
  ASSERT_EQ(Init_MulStruc(ms, 1, 1), 0);
  EXPECT_GT(blocks(), held);
  Dele_MulStruc(ms);
  EXPECT_EQ(blocks(), empty);
}

TEST_F(OperationRecords, MinusOneRemakesAnEmptyBlock) {
  MulStruc* ms = nullptr;
  ASSERT_EQ(Alloc_MulStruc(&ms, 0), 0);
  ASSERT_EQ(Init_MulStruc(ms, 1, 1), 0);
  ASSERT_EQ(Alloc_MulStruc(&ms, -1), 0);
  for (int s = 0; s < MulStruc::kUsedSlots; ++s) EXPECT_EQ(ms->slot[s], nullptr);
  Dele_MulStruc(ms);
}

TEST_F(OperationRecords, CopyingABlockAddsOnlyTheSourcesSlots) {
  MulStruc* a = nullptr;
  MulStruc* b = nullptr;
  ASSERT_EQ(Alloc_MulStruc(&a, 0), 0);
  ASSERT_EQ(Alloc_MulStruc(&b, 0), 0);
  ASSERT_EQ(Init_MulStruc(a, 1, 9), 0);
  static_cast<MpluPar*>(MulStrucRecord(a, 9))->values[99] = 2.5f;
  ASSERT_EQ(Init_MulStruc(b, 1, kFakeKind), 0);
  static_cast<FakePar*>(MulStrucRecord(b, kFakeKind))->value = 81;
  ASSERT_EQ(Copy_MulStruc(a, b), 0);
  EXPECT_EQ(static_cast<MpluPar*>(MulStrucRecord(b, 9))->values[99], 2.5f);
  EXPECT_EQ(static_cast<FakePar*>(MulStrucRecord(b, kFakeKind))->value, 81);
  EXPECT_EQ(MulStrucRecord(b, 8), nullptr);
  Dele_MulStruc(a);
  Dele_MulStruc(b);
}

TEST(RecordKindRegistry, LookupIdempotenceAndRefusal) {
  RegisterFakeKinds();
  RegisterFakeKinds();
  const RecordKind* tcol = FindRecordKind(8);
  ASSERT_NE(tcol, nullptr);
  EXPECT_EQ(tcol->slot, 9);
  EXPECT_EQ(tcol->storedSize, 8236);
  EXPECT_EQ(FindRecordKind(25), nullptr);
  EXPECT_EQ(FindRecordKind(2), nullptr);

  RecordKind other = *tcol;
  other.copy = [](const void*, void*) {};
  EXPECT_EQ(RegisterRecordKind(other), -1);
  EXPECT_EQ(FindRecordKind(8)->copy, tcol->copy);
  RecordKind noSlot = *tcol;
  noSlot.kind = 29;
  EXPECT_EQ(RegisterRecordKind(noSlot), -1);
  RecordKind wrongSlot = *tcol;
  wrongSlot.slot = 4;
  EXPECT_EQ(RegisterRecordKind(wrongSlot), -1);
  EXPECT_EQ(SlotOfKind(30), 28);
  EXPECT_EQ(KindOfSlot(23), 22);
  EXPECT_EQ(KindOfSlot(5), -1);

  EXPECT_EQ(WholeResolution(299.9f), 299);
  EXPECT_EQ(WholeResolution(-7.9f), -7);
  EXPECT_EQ(WholeResolution(1e20f), INT32_MAX);
  EXPECT_EQ(WholeResolution(-1e20f), INT32_MIN);
  EXPECT_EQ(WholeResolution(std::nanf("")), 0);
}

}  // namespace
