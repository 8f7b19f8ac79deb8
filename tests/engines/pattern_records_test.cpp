// Records and preset files of the cookie cutter, shapes, screen, backdrop, composition,
// lens blur, flare, frame flags, super gradient, painter strokes, cast shadow and extrusion.
#include <cstring>
#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "engines/patterns/backdrop_compo_records.h"
#include "engines/patterns/cast_shadow_record.h"
#include "engines/patterns/cookie_cutter_record.h"
#include "engines/patterns/extrusion_record.h"
#include "engines/patterns/lens_flare_gradient_records.h"
#include "engines/patterns/painter_strokes_record.h"
#include "engines/patterns/screen_record.h"
#include "engines/patterns/shape_record.h"
#include "record_file_helpers.h"

namespace {

using plat::bytes::Order;
using vmktest::LittleWord;

constexpr vmkrec::PresetFormat Format(const char (&type)[5]) {
  return {FourCC(type), "", vmkrec::PresetLayout::RecordOnly, 0, false};
}

class PatternFile : public vmktest::RecordFileTest {};

TEST(PatternRecords, StoredSizes) {
  EXPECT_EQ(vmkrec::StoredSize(*std::make_unique<CookiCutPar>()), 5952u);
  EXPECT_EQ(vmkrec::StoredSize(*std::make_unique<ShapePar>()), 10252u);
  EXPECT_EQ(vmkrec::StoredSize(*std::make_unique<ScreenPar>()), 143396u);
  EXPECT_EQ(vmkrec::StoredSize(*std::make_unique<BDropPar>()), 843322u);
  EXPECT_EQ(vmkrec::StoredSize(*std::make_unique<CompoPar>()), 1316u);
  EXPECT_EQ(vmkrec::StoredSize(*std::make_unique<SupVigPar>()), 1828u);
  EXPECT_EQ(vmkrec::StoredSize(*std::make_unique<StrokPar>()), 55420u);
  EXPECT_EQ(vmkrec::StoredSize(*std::make_unique<ShadoPar>()), 5996u);
  EXPECT_EQ(vmkrec::StoredSize(*std::make_unique<XTrudePar>()), 6812u);
  EXPECT_EQ(vmkrec::StoredSize(*std::make_unique<LBlurPar>()), 604u);
  EXPECT_EQ(vmkrec::StoredSize(*std::make_unique<FlarePar>()), 592u);
  EXPECT_EQ(vmkrec::StoredSize(*std::make_unique<FramPar>()), 4u);
  EXPECT_EQ(vmkrec::StoredSize(*std::make_unique<StrokInfo>()), 6020u);
  EXPECT_EQ(vmkrec::StoredSize(*std::make_unique<StrokInfo1>()), 1880u);
}

TEST_F(PatternFile, CookieCutterLayoutRoundTripAndCutFile) {
  CookiCutPar r;
  Init_CookiCutPar(&r);
  EXPECT_EQ(r.byteOrderFlag, 1);
  EXPECT_EQ(r.softness, 2);
  EXPECT_EQ(r.radius, 100);
  EXPECT_EQ(r.turns, 1);
  EXPECT_EQ(r.shape[3], 50);
  EXPECT_EQ(r.shapeScale, 50);
  EXPECT_EQ(r.ramp.opacity[127], 255);
  EXPECT_EQ(r.ramp.opacity[128], 254);
  r.width = 700;
  r.angle = -30;
  r.ramp.values[255] = 0x7FFF;
  const auto b = vmktest::SaveByDialog(ui_, Do_ACookiCut_file, &r, dir_.file("c"), FourCC("hCoo"));
  ASSERT_EQ(b.size(), 5952u);
  EXPECT_EQ(LittleWord(b, 0), 1);
  EXPECT_EQ(LittleWord(b, 8), 700);
  EXPECT_EQ(LittleWord(b, 60), -30);
  EXPECT_TRUE(vmktest::AllZero(b, 64, 4092));
  EXPECT_EQ(b[4156 + 2 + 510], 0xFF);  // values[255]
  EXPECT_EQ(b[4156 + 2 + 511], 0x7F);
  EXPECT_EQ(b[4156 + 514 + 128], 254);  // opacity table

  CookiCutPar back;
  ui_.AnswerOpenFile(dir_.file("c.hcoo"));
  ASSERT_EQ(Do_ACookiCut_file(0, FSSpec{}, &back), 0);
  EXPECT_EQ(ui_.openRequests.back().prompt, "Load a New Cookie Cutter...");
  EXPECT_EQ(0, std::memcmp(&back, &r, sizeof r));
  const std::string again = dir_.file("again");
  EXPECT_EQ(vmktest::SaveByDialog(ui_, Do_ACookiCut_file, &back, again, FourCC("hCoo")), b);

  const std::string big = dir_.file("big.hcoo");
  vmktest::WriteBytes(big, vmktest::BigEndianImage(Format("hCoo"), r));
  CookiCutPar fromBig;
  ASSERT_EQ(Do_ACookiCut_file(2, vmktest::SpecForPath(big), &fromBig), 0);
  EXPECT_EQ(0, std::memcmp(&fromBig, &r, sizeof r));

  vmktest::WriteBytes(big, std::vector<uint8_t>(b.begin(), b.end() - 2));
  CookiCutPar keep;
  Init_CookiCutPar(&keep);
  const CookiCutPar before = keep;
  EXPECT_EQ(Do_ACookiCut_file(2, vmktest::SpecForPath(big), &keep), -1);
  EXPECT_EQ(Do_ACookiCut_file(3, vmktest::SpecForPath(big), &keep), 0);
  EXPECT_EQ(0, std::memcmp(&keep, &before, sizeof keep));
}

TEST_F(PatternFile, ShapeEmbedsTheShapeToolRecord) {
  auto r = std::make_unique<ShapePar>();
  Init_ShapePar(r.get(), 100, 60, 1);
  EXPECT_EQ(r->width, 100);
  EXPECT_EQ(r->kind, 1);
  EXPECT_EQ(r->radius, 40);
  EXPECT_EQ(r->carried[4], 255);
  r->shape.w[kObjStarPoints] = 7;
  r->shape.w[559] = -50;
  r->shape.w[TObjPar::kWords] = 99;  // a spare word: neither copied nor stored
  r->lightnessShift = -12;
  const auto b = vmktest::SaveByDialog(ui_, Do_AShapePar_file, r.get(), dir_.file("s"), FourCC("hShp"));
  ASSERT_EQ(b.size(), 10252u);
  EXPECT_EQ(LittleWord(b, 16), 1);              // the shape-tool record's own flag
  EXPECT_EQ(LittleWord(b, 16 + 136), 7);        // point count
  EXPECT_EQ(LittleWord(b, 16 + 4 * 559), -50);  // last spirograph value
  EXPECT_EQ(LittleWord(b, 16 + 4 * 560), 0);
  EXPECT_EQ(LittleWord(b, 4304), 1);            // kind
  EXPECT_EQ(LittleWord(b, 4344), 255);
  EXPECT_EQ(LittleWord(b, 4356), -12);
  EXPECT_TRUE(vmktest::AllZero(b, 4360, 4096));
  EXPECT_EQ(b[8456 + 514 + 127], 255);  // the ramp's opacity table
  EXPECT_EQ(b[8456 + 514 + 129], 252);

  auto back = std::make_unique<ShapePar>();
  ASSERT_EQ(Do_AShapePar_file(2, vmktest::SpecForPath(dir_.file("s.hshp")), back.get()), 0);
  EXPECT_EQ(back->shape.w[kObjStarPoints], 7);
  EXPECT_EQ(back->lightnessShift, -12);
  EXPECT_EQ(back->shape.w[TObjPar::kWords], 0);
  EXPECT_EQ(vmktest::SaveByDialog(ui_, Do_AShapePar_file, back.get(), dir_.file("t"), FourCC("hShp")), b);

  const std::string big = dir_.file("big.hshp");
  vmktest::WriteBytes(big, vmktest::BigEndianImage(Format("hShp"), *back));
  auto fromBig = std::make_unique<ShapePar>();
  ASSERT_EQ(Do_AShapePar_file(2, vmktest::SpecForPath(big), fromBig.get()), 0);
  EXPECT_EQ(0, std::memcmp(fromBig.get(), back.get(), sizeof(ShapePar)));
}

TEST_F(PatternFile, ScreenRawFileIsLittleEndianOnEitherHost) {
  auto r = std::make_unique<ScreenPar>();
  Init_ScreenPar(r.get(), 1);
  EXPECT_EQ(r->w[0], 0);
  EXPECT_EQ(r->w[1], 1);
  EXPECT_EQ(r->w[5], 2);
  EXPECT_EQ(r->imageFlags[255], 1);
  r->w[kScrDisplacement] = 0x00050006;
  r->imageFlags[200] = 0;
  SetPStr(r->images[255].name, "level255.tif");
  std::vector<uint8_t> files[2];
  for (int i = 0; i < 2; ++i) {
    plat::bytes::setHostOrderForTesting(i == 0 ? Order::Little : Order::Big);
    files[i] = vmktest::SaveByDialog(ui_, Do_AScreenPar_file, r.get(), dir_.file("s" + std::to_string(i)),
                                     FourCC("hScr"));
  }
  plat::bytes::setHostOrderForTesting(std::nullopt);
  ASSERT_EQ(files[0].size(), 143396u);
  EXPECT_EQ(files[0], files[1]);
  const auto& b = files[0];
  EXPECT_EQ(LittleWord(b, 0), 0);
  EXPECT_EQ(LittleWord(b, 32), 0x00050006);
  EXPECT_EQ(LittleWord(b, 36 + 4 * 200), 0);
  EXPECT_EQ(LittleWord(b, 36 + 4 * 201), 1);
  EXPECT_EQ(b[1060 + 540 * 255 + 6], 12);
  EXPECT_TRUE(vmktest::AllZero(b, 143396 - 4096, 4096));

  auto back = std::make_unique<ScreenPar>();
  ui_.AnswerOpenFile(dir_.file("s1.hscr"));
  ASSERT_EQ(Do_AScreenPar_file(0, FSSpec{}, back.get()), 0);
  EXPECT_EQ(ui_.openRequests.back().prompt, "Load a New Screen...");
  EXPECT_EQ(back->w[kScrDisplacement], 0x00050006);
  EXPECT_EQ(back->imageFlags[200], 0);
  EXPECT_EQ(PStrString(back->images[255].name), "level255.tif");

  vmktest::WriteBytes(dir_.file("cut.hscr"), std::vector<uint8_t>(b.begin(), b.begin() + 143000));
  EXPECT_EQ(Do_AScreenPar_file(2, vmktest::SpecForPath(dir_.file("cut.hscr")), back.get()), -1);
  EXPECT_EQ(back->w[kScrDisplacement], 0x00050006);
}

TEST_F(PatternFile, BackdropConvertsAllEntries) {
  gPer->previewWidth = 640;
  gPer->previewHeight = 480;
  auto r = std::make_unique<BDropPar>();
  Init_BDropPar(r.get(), 1);
  EXPECT_EQ(r->head.w[0], 0);
  EXPECT_EQ(r->head.w[2], 640);
  EXPECT_EQ(r->head.w[9], 1);
  EXPECT_EQ(r->head.ramp.colour[0][10], 10);
  const int32_t entry[17] = {0, 1, 1, 0, 100, 0, 0, 1, 1, 0, 100, 100, 0, 0, 0, 100, 100};
  EXPECT_EQ(0, std::memcmp(r->entries[127].w, entry, sizeof entry));
  EXPECT_EQ(r->entries[127].ramp.colour[3][0], 255);
  for (int n = 0; n < kBDropImages; ++n) r->entries[n].w[16] = 1000 + n;
  SetPStr(r->images[127].name, "last.jpg");
  SetPStr(r->background.name, "back.tif");

  const auto b = vmktest::SaveByDialog(ui_, Do_ABDrop_file, r.get(), dir_.file("b"), FourCC("hCbd"));
  ASSERT_EQ(b.size(), 843322u);
  EXPECT_EQ(LittleWord(b, 0), 1);
  EXPECT_EQ(LittleWord(b, 8), 0);  // preview size: not copied, so not stored
  EXPECT_TRUE(vmktest::AllZero(b, 1834, 5920 - 1834));
  EXPECT_EQ(b[5920 + 6], 8);
  EXPECT_EQ(b[6458 + 538 * 127 + 6], 8);
  for (int n : {0, 15, 16, 127}) {
    EXPECT_EQ(LittleWord(b, 75322 + 6000 * n), 1) << n;
    EXPECT_EQ(LittleWord(b, 75322 + 6000 * n + 64), 1000 + n) << n;
  }

  // A big-endian writer's file comes back whole, entries 16..127 included.
  const std::string big = dir_.file("big.hcbd");
  vmktest::WriteBytes(big, vmktest::BigEndianImage(Format("hCbd"), *r));
  auto fromBig = std::make_unique<BDropPar>();
  ASSERT_EQ(Do_ABDrop_file(2, vmktest::SpecForPath(big), fromBig.get()), 0);
  for (int n = 0; n < kBDropImages; ++n) ASSERT_EQ(fromBig->entries[n].w[16], 1000 + n) << n;
  EXPECT_EQ(fromBig->entries[100].w[4], 100);
  EXPECT_EQ(fromBig->entries[100].ramp.opacity[200], r->entries[100].ramp.opacity[200]);
  EXPECT_EQ(PStrString(fromBig->images[127].name), "last.jpg");
  // The head's preview size is read from the file too, though copies leave it out.
  EXPECT_EQ(fromBig->head.w[2], 640);
  EXPECT_EQ(fromBig->head.w[3], 480);
  EXPECT_EQ(Do_ABDrop_file(3, vmktest::SpecForPath(big), fromBig.get()), 0);

  // The conversion itself reaches the last entry.
  auto swapped = std::make_unique<BDropPar>(*r);
  SwapBDropPar(swapped.get(), 1, 1);
  EXPECT_EQ(swapped->entries[127].w[16], static_cast<int32_t>(plat::bytes::swap32(1127)));
  SwapBDropPar(swapped.get(), 1, 1);
  EXPECT_EQ(swapped->entries[127].w[16], 1127);
}

TEST_F(PatternFile, CompositionFileAndFlag) {
  for (auto host : {Order::Little, Order::Big}) {
    plat::bytes::setHostOrderForTesting(host);
    CompoPar c;
    Init_CompoPar(&c, 320, 200, 1, 1, 1, 1);
    EXPECT_EQ(c.byteOrderFlag, 1);
    EXPECT_EQ(c.info.w[3], 200);
  }
  plat::bytes::setHostOrderForTesting(std::nullopt);
  CompoPar c;
  Init_CompoPar(&c, 320, 200, 1, 1, 1, 1);
  const std::string given = dir_.file("given.hcom");
  ASSERT_EQ(Do_ACompoPar_file(3, vmktest::SpecForPath(given), &c), 0);
  const auto b = vmktest::ReadBytes(given);
  ASSERT_EQ(b.size(), 1316u);
  const std::vector<uint8_t> head = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0,
                                     0x40, 1, 0, 0, 200, 0, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 24), head);
  EXPECT_TRUE(vmktest::AllZero(b, 24, 1292));
  CompoPar back;
  ASSERT_EQ(Do_ACompoPar_file(2, vmktest::SpecForPath(given), &back), 0);
  EXPECT_EQ(0, std::memcmp(&back, &c, sizeof c));
  vmktest::WriteBytes(given, std::vector<uint8_t>(b.begin(), b.begin() + 24));
  CompoPar keep;
  EXPECT_EQ(Do_ACompoPar_file(2, vmktest::SpecForPath(given), &keep), -1);
  EXPECT_EQ(keep.info.w[2], 0);
}

TEST_F(PatternFile, SmallRecordsAndTheSuperGradientFile) {
  LBlurPar lb;
  Init_LBlurPar(&lb);
  EXPECT_EQ(lb.contrastGate, 128);
  EXPECT_EQ(lb.contrastSecond, 122);
  EXPECT_EQ(lb.unread[7], 50);
  EXPECT_EQ(lb.tail[1], 5);
  const auto lbBytes = vmkrec::StoreRecord(lb);
  EXPECT_EQ(LittleWord(lbBytes, 588), 128);
  EXPECT_EQ(LittleWord(lbBytes, 600), 5);

  FlarePar fl;
  fl.more[4] = 77;  // the word at 580 is not set by the defaults
  Init_FlarePar(&fl);
  EXPECT_EQ(fl.blur, 2);
  EXPECT_EQ(fl.more[3], 128);
  EXPECT_EQ(fl.more[4], 77);
  EXPECT_EQ(fl.more[5], 5);
  EXPECT_EQ(LittleWord(vmkrec::StoreRecord(fl), 560), 2);

  FramPar fr;
  Init_FramPar(&fr);
  fr.value = -2;
  fr.byteOrderFlag = 0;
  SwapFramPar(&fr, 1, 1);
  EXPECT_EQ(fr.byteOrderFlag, 1);
  EXPECT_EQ(fr.flag, 1);
  EXPECT_EQ(fr.value, -2);
  plat::bytes::setHostOrderForTesting(Order::Big);
  SwapFramPar(&fr, 0, 1);
  plat::bytes::setHostOrderForTesting(std::nullopt);
  EXPECT_EQ(fr.byteOrderFlag, 0);
  EXPECT_EQ(fr.value, -2);

  SupVigPar sv;
  Init_SupVigPar(&sv);
  EXPECT_EQ(sv.w[3], 10);
  EXPECT_EQ(sv.w[6], 10);
  EXPECT_EQ(sv.ramp.opacity[0], 255);
  sv.w[0] = 0x0A0B0C0D;
  SupVigPar copy;
  Copy_SupVigPar(&sv, &copy);
  EXPECT_EQ(0, std::memcmp(&copy, &sv, sizeof sv));
  plat::bytes::setHostOrderForTesting(Order::Big);
  const auto b = vmktest::SaveByDialog(ui_, Do_ASupVigPar_file, &sv, dir_.file("g"), FourCC("hSvr"));
  plat::bytes::setHostOrderForTesting(std::nullopt);
  ASSERT_EQ(b.size(), 1828u);
  EXPECT_EQ((std::vector<uint8_t>(b.begin(), b.begin() + 4)), (std::vector<uint8_t>{0x0D, 0x0C, 0x0B, 0x0A}));
  EXPECT_EQ(LittleWord(b, 12), 10);
  EXPECT_EQ(b[32 + 514], 255);
  SupVigPar back;
  ASSERT_EQ(Do_ASupVigPar_file(2, vmktest::SpecForPath(dir_.file("g.hsvr")), &back), 0);
  EXPECT_EQ(0, std::memcmp(&back, &sv, sizeof sv));
  EXPECT_EQ(Do_ASupVigPar_file(3, vmktest::SpecForPath(dir_.file("g.hsvr")), &back), 0);
}

TEST_F(PatternFile, PainterFileKeepsZeroTerminatedNames) {
  auto r = std::make_unique<StrokPar>();
  Init_StrokPar(r.get());
  EXPECT_EQ(r->head.w[0], 0);
  EXPECT_EQ(r->head.w[kStrPaperMode], 7);
  EXPECT_EQ(r->sets[7].w[kStrAngleRange], 90);
  EXPECT_EQ(r->sets[7].w[kStrSizeCount], 16);
  EXPECT_EQ(r->sets[7].w[kStrSetValue], 1);
  SetPStr(r->brushes[7].name, "brush7.tif");
  SetPStr(r->brushes[7].path, "Disk:Brushes:");
  SetPStr(r->paper.name, "paper.tif");
  r->sets[3].w[31] = -4;
  const auto b = vmktest::SaveByDialog(ui_, Do_AStrok_file, r.get(), dir_.file("p"), FourCC("hSto"));
  ASSERT_EQ(b.size(), 55420u);
  EXPECT_EQ(LittleWord(b, 0), 1);
  EXPECT_EQ(LittleWord(b, 64), 7);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[1880 + 6])), "paper.tif");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[2956 + 538 * 7 + 6])), "brush7.tif");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[2956 + 538 * 7 + 262])), "Disk:Brushes:");
  EXPECT_EQ(LittleWord(b, 7260 + 6020 * 3 + 124), -4);
  EXPECT_TRUE(vmktest::AllZero(b, 7260 + 6020 * 3 + 128, 4096));
  EXPECT_EQ(PStrString(r->brushes[7].name), "brush7.tif");  // the caller's record unchanged

  auto back = std::make_unique<StrokPar>();
  ui_.AnswerOpenFile(dir_.file("p.hsto"));
  ASSERT_EQ(Do_AStrok_file(0, FSSpec{}, back.get()), 0);
  EXPECT_EQ(ui_.openRequests.back().prompt, "Load a New Painter...");
  EXPECT_EQ(PStrString(back->brushes[7].name), "brush7.tif");
  EXPECT_EQ(PStrString(back->brushes[7].path), "Disk:Brushes:");
  EXPECT_EQ(back->sets[3].w[31], -4);
  EXPECT_EQ(vmktest::SaveByDialog(ui_, Do_AStrok_file, back.get(), dir_.file("q"), FourCC("hSto")), b);

  // In memory the conversion turns the names into C strings and back.
  SwapStrokPar(back.get(), 1, 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(back->paper.name)), "paper.tif");
  SwapStrokPar(back.get(), 0, 0);
  EXPECT_EQ(PStrString(back->paper.name), "paper.tif");

  vmktest::WriteBytes(dir_.file("cut.hsto"), std::vector<uint8_t>(b.begin(), b.end() - 6020));
  auto keep = std::make_unique<StrokPar>();
  EXPECT_EQ(Do_AStrok_file(2, vmktest::SpecForPath(dir_.file("cut.hsto")), keep.get()), -1);
  EXPECT_EQ(keep->sets[0].w[1], 0);
}

TEST_F(PatternFile, CastShadowCornersFollowTheReferenceSize) {
  gPer->previewWidth = 1000;
  gPer->previewHeight = 800;
  ShadoPar stored;
  Init_ShadoPar(&stored, 0);
  const int32_t head[18] = {0, 1, 1000, 800, 5, 0, 5, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5};
  EXPECT_EQ(0, std::memcmp(stored.w, head, sizeof head));
  const int32_t corners[8] = {0, 0, 1000, 1000, 0, 800, 800, 0};
  EXPECT_EQ(0, std::memcmp(&stored.w[kShaCornerX], corners, sizeof corners));
  EXPECT_EQ(stored.ramp.opacity[100], 100);
  stored.w[kShaCornerX + 1] = 333;
  stored.w[kShaCornerY + 2] = -401;
  const auto b = vmktest::SaveByDialog(ui_, Do_AShadoPar_file, &stored, dir_.file("s"), FourCC("hShs"));
  ASSERT_EQ(b.size(), 5996u);
  EXPECT_EQ(LittleWord(b, 0), 0);
  EXPECT_EQ(LittleWord(b, 4 * 19), 333);
  EXPECT_TRUE(vmktest::AllZero(b, 104, 4096));

  // Read into a record for a 500 x 400 photo: every corner halved, truncated.
  ShadoPar half;
  gPer->previewWidth = 500;
  gPer->previewHeight = 400;
  Init_ShadoPar(&half, 0);
  ui_.AnswerOpenFile(dir_.file("s.hshs"));
  ASSERT_EQ(Do_AShadoPar_file(0, FSSpec{}, &half), 0);
  EXPECT_EQ(ui_.openRequests.back().prompt, "Load a New Cast...");
  EXPECT_EQ(half.w[kShaRefWidth], 500);
  EXPECT_EQ(half.w[kShaRefHeight], 400);
  const int32_t halved[8] = {0, 166, 500, 500, 0, 400, -200, 0};
  EXPECT_EQ(0, std::memcmp(&half.w[kShaCornerX], halved, sizeof halved));
  EXPECT_EQ(half.w[kShaBlur], 4);

  // A stored reference size of 0 cannot be scaled from: the corners stay as stored.
  stored.w[kShaRefWidth] = 0;
  vmktest::SaveByDialog(ui_, Do_AShadoPar_file, &stored, dir_.file("z"), FourCC("hShs"));
  ASSERT_EQ(Do_AShadoPar_file(2, vmktest::SpecForPath(dir_.file("z.hshs")), &half), 0);
  EXPECT_EQ(half.w[kShaCornerX + 1], 333);
  EXPECT_EQ(half.w[kShaCornerY + 2], -200);
}

TEST(ExtrusionRecord, DefaultsCopyAndConversion) {
  vmktest::ScopedSession session;
  gPer->previewWidth = 300;
  gPer->previewHeight = 200;
  XTrudePar r;
  Init_XTrudePar(&r, 0, 640, 480);
  EXPECT_EQ(r.w[kXtrWidth], 640);
  EXPECT_EQ(r.w[kXtrColourMode], 1);
  EXPECT_EQ(r.w[kXtrSegment], 30);
  EXPECT_EQ(r.w[kXtrVariation], 50);
  for (int q = 0; q < kXTrudeQuads; ++q) {
    EXPECT_EQ(r.w[XTrudeQuadWord(0, q)], 0);    // corner 0 (0, 0)
    EXPECT_EQ(r.w[XTrudeQuadWord(3, q)], 200);  // corner 1 (0, height)
    EXPECT_EQ(r.w[XTrudeQuadWord(4, q)], 300);  // corner 2 (width, height)
    EXPECT_EQ(r.w[XTrudeQuadWord(7, q)], 0);    // corner 3 (width, 0)
  }
  EXPECT_EQ(r.ramp.opacity[0], 255);
  EXPECT_EQ(r.ramp.opacity[255], 0);

  int32_t tables[8][10];
  for (int t = 0; t < 8; ++t)
    for (int q = 0; q < 10; ++q) tables[t][q] = 100 * t + q;
  SetQuad_XTrudePar(&r, tables[0], tables[1], tables[2], tables[3], tables[4], tables[5],
                    tables[6], tables[7]);
  EXPECT_EQ(r.w[229], 709);
  Init_XTrudePar(&r, 1, 1, 1);
  EXPECT_EQ(r.w[229], 709);  // keepQuads leaves them

  r.w[145] = 5;
  XTrudePar c;
  Copy_XTrudePar(&r, &c);
  EXPECT_EQ(c.w[145], 0);
  EXPECT_EQ(c.w[144], 0);
  EXPECT_EQ(c.w[143], 5);
  EXPECT_EQ(c.w[229], 709);
  SwapXTrudePar(&c, 1, 1);
  EXPECT_EQ(c.w[0], 1);
  EXPECT_EQ(c.w[1], static_cast<int32_t>(plat::bytes::swap32(1)));
  SwapXTrudePar(&c, 1, 1);
  EXPECT_EQ(c.w[229], 709);
  const auto b = vmkrec::StoreRecord(c);
  EXPECT_EQ(LittleWord(b, 4 * 229), 709);
  EXPECT_TRUE(vmktest::AllZero(b, 8, 540));
  EXPECT_TRUE(vmktest::AllZero(b, 920, 4096));
}

}  // namespace
