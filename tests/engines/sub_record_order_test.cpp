// Sub-records inside a parameter record: the record's word 0 decides the order of all its
// numbers, conversions leave what the stored convention leaves, and reading a preset file
// takes every field the file holds.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "engines/patterns/backdrop_compo_records.h"
#include "engines/patterns/cookie_cutter_record.h"
#include "engines/patterns/painter_strokes_record.h"
#include "engines/patterns/shape_record.h"
#include "engines/patterns/weave_plaid_record.h"
#include "engines/record_file_helpers.h"
#include "platform/bytes/byte_order.h"

namespace {

// Stores `r`, clears the 4 bytes at `at` (a sub-record's own word 0) and reads it back.
template <class R>
std::unique_ptr<R> WithInnerWordZero(R& r, size_t at) {
  std::vector<uint8_t> image = vmkrec::StoreRecord(r);
  EXPECT_EQ(vmktest::LittleWord(image, at), 1);
  std::memset(&image[at], 0, 4);
  auto back = std::make_unique<R>();
  EXPECT_TRUE(vmkrec::LoadRecord(image.data(), image.size(), *back));
  return back;
}

TEST(SubRecordOrder, AnInnerWordZeroSwitchesNothing) {
  auto shape = std::make_unique<ShapePar>();
  Init_ShapePar(shape.get(), 640, 480, 0);
  shape->shape.w[kObjStarRadius] = 1234;
  shape->kind = 1;
  auto s = WithInnerWordZero(*shape, 16);
  EXPECT_EQ(s->shape.w[kObjStarRadius], 1234);
  EXPECT_EQ(s->shape.w[0], HostOrderFlag());
  EXPECT_EQ(s->kind, 1);
  EXPECT_EQ(s->centreX, 50);

  auto drop = std::make_unique<BDropPar>();
  Init_BDropPar(drop.get(), 1);
  drop->head.w[0] = 1;
  drop->entries[3].w[16] = 777;
  drop->entries[4].w[2] = 55;
  auto d = WithInnerWordZero(*drop, 75322 + 6000 * 3);
  EXPECT_EQ(d->entries[3].w[16], 777);
  EXPECT_EQ(d->entries[4].w[2], 55);  // the entries after it too

  CompoPar compo;
  Init_CompoPar(&compo, 320, 200, 0, 0, 0, 0);
  auto c = WithInnerWordZero(compo, 8);
  EXPECT_EQ(c->info.w[2], 320);
  EXPECT_EQ(c->info.w[3], 200);

  auto strokes = std::make_unique<StrokPar>();
  Init_StrokPar(strokes.get());
  strokes->head.w[0] = 1;
  strokes->sets[0].w[5] = 4321;
  strokes->sets[7].w[kStrokSetWords - 1] = 99;
  const size_t firstSet = StrokInfo1::kStoredSize + 538 * (2 + kStrokSets);
  auto k = WithInnerWordZero(*strokes, firstSet);
  EXPECT_EQ(k->sets[0].w[5], 4321);
  EXPECT_EQ(k->sets[7].w[kStrokSetWords - 1], 99);
}

TEST(SubRecordOrder, ConversionsLeaveTheSizeWordsAndThePlaidRamps) {
  CookiCutPar cut;
  Init_CookiCutPar(&cut);
  cut.width = 0x01020304;
  cut.height = 0x05060708;
  cut.radius = 0x11;
  SwapCookiCutPar(&cut, 1, 1);  // forced: as a big-endian host would
  EXPECT_EQ(cut.width, 0x01020304);
  EXPECT_EQ(cut.height, 0x05060708);
  EXPECT_EQ(cut.radius, static_cast<int32_t>(plat::bytes::swap32(0x11)));

  auto plaid = std::make_unique<PlaidPar>();
  Init_PlaidPar(plaid.get(), 0);
  plaid->ramp1.values[1] = 0x0102;
  plaid->rowAngle = 0x0203;
  plaid->shade2 = 0x0304;
  auto both = std::make_unique<PlaidPar>(*plaid);
  SwapPlaidPar(both.get(), 1, 1);
  EXPECT_EQ(both->ramp1.values[1], 0x0102);
  EXPECT_EQ(both->rowAngle, 0x0302);
  EXPECT_EQ(both->shade2, static_cast<int32_t>(plat::bytes::swap32(0x0304)));
  // The head and the rest apart: each converts its own part only.
  auto head = std::make_unique<PlaidPar>(*plaid);
  SwapPlaidInfo1(head.get(), 1, 1);
  EXPECT_EQ(head->rowAngle, 0x0302);
  EXPECT_EQ(head->shade2, 0x0304);
  auto rest = std::make_unique<PlaidPar>(*plaid);
  SwapPlaidInfo2(rest.get(), 1, 1);
  EXPECT_EQ(rest->rowAngle, 0x0203);
  EXPECT_EQ(rest->shade2, both->shade2);
  EXPECT_EQ(rest->ramp1.values[1], 0x0102);
}

class SubRecordFile : public vmktest::RecordFileTest {
 protected:
  template <class R>
  std::string Write(const char* name, R& record) {
    const std::string path = dir_.file(name);
    vmktest::WriteBytes(path, vmkrec::StoreRecord(record));
    return path;
  }
};

TEST_F(SubRecordFile, ReadingTakesWhatTheCopiesLeaveOut) {
  WeaveInfo weave;
  Init_WeaveInfo(&weave, 4, 4);
  weave.word10 = 10;
  weave.word12 = 12;
  WeaveInfo w;
  ASSERT_EQ(Do_AWeaveInfo_file(2, vmktest::SpecForPath(Write("w.hwea", weave)), &w), 0);
  EXPECT_EQ(w.word10, 10);
  EXPECT_EQ(w.word12, 12);

  auto shape = std::make_unique<ShapePar>();
  Init_ShapePar(shape.get(), 8, 8, 0);
  shape->shape.w[TObjPar::kWords + 7] = 0x00ABCDEF;
  auto s = std::make_unique<ShapePar>();
  ASSERT_EQ(Do_AShapePar_file(2, vmktest::SpecForPath(Write("s.hshp", *shape)), s.get()), 0);
  EXPECT_EQ(s->shape.w[TObjPar::kWords + 7], 0x00ABCDEF);

  auto drop = std::make_unique<BDropPar>();
  Init_BDropPar(drop.get(), 1);
  drop->head.w[2] = 300;
  drop->head.w[3] = 200;
  auto d = std::make_unique<BDropPar>();
  ASSERT_EQ(Do_ABDrop_file(2, vmktest::SpecForPath(Write("d.hcbd", *drop)), d.get()), 0);
  EXPECT_EQ(d->head.w[2], 300);
  EXPECT_EQ(d->head.w[3], 200);
}

}  // namespace
