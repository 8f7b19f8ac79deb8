// Tessellation, twin tessellation and photo-repeat records and their preset files.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "engines/tessellation/photo_repeat_record.h"
#include "engines/tessellation/tessellation_record.h"
#include "engines/tessellation/twin_tessellation_record.h"
#include "record_file_helpers.h"

namespace {

using vmktest::LittleWord;

std::unique_ptr<TessPar> DefaultTess() {
  auto r = std::make_unique<TessPar>();
  Init_TessPar(r.get(), 0, 0, 1);
  return r;
}

// Gives every meaningful field of a tessellation record its own value.
void Scribble(TessPar* r) {
  for (int i = 1; i < kTessHeadWords; ++i) r->head.w[i] = 100 * i - 3;
  for (int k = 0; k < kTessSets; ++k) {
    SetPStr(r->tiles[k].name, "tile" + std::to_string(k) + ".tif");
    SetPStr(r->tiles[k].path, "Disk:Tiles:");
    r->tiles[k].type = FourCC("TIFF");
    r->ramps[k].values[7] = static_cast<int16_t>(-k - 1);
    r->ramps[k].colour[2][9] = static_cast<uint8_t>(k);
    for (int i = 1; i < kTessInfoWords; ++i) r->sets[k].w[i] = 1000 * k + i;
  }
}

bool SameTess(const TessPar& a, const TessPar& b) {
  if (std::memcmp(a.head.w, b.head.w, sizeof a.head.w) != 0) return false;
  for (int k = 0; k < kTessSets; ++k) {
    for (int i = 0; i < kTessInfoWords; ++i)
      if (a.sets[k].w[i] != b.sets[k].w[i]) return false;
    if (std::memcmp(&a.ramps[k], &b.ramps[k], sizeof(LutVign)) != 0) return false;
    if (PStrString(a.tiles[k].name) != PStrString(b.tiles[k].name) ||
        PStrString(a.tiles[k].path) != PStrString(b.tiles[k].path) ||
        a.tiles[k].type != b.tiles[k].type)
      return false;
  }
  return true;
}

TEST(TessRecord, DefaultsCopyGroupsAndQuads) {
  auto r = std::make_unique<TessPar>();
  r->ramps[12].opacity[0] = 7;
  // The defaults' stored bytes are pinned by the golden table of default records.
  Init_TessPar(r.get(), 0, 0, 1);
  EXPECT_EQ(r->ramps[12].opacity[0], 7);  // ramps 12..15 untouched
  EXPECT_EQ(vmkrec::StoredSize(*r), 105124u);
  EXPECT_EQ(vmkrec::StoredSize(r->sets[0]), 4236u);

  // Group 0 copies everything but words 4..7; each other group only its words.
  TessInfo s, d;
  for (int i = 0; i < kTessInfoWords; ++i) s.w[i] = i + 500;
  Copy_TessInfo(&s, &d, 0);
  for (int i = 0; i < kTessInfoWords; ++i) EXPECT_EQ(d.w[i], (i >= 4 && i <= 7) ? 0 : i + 500) << i;
  const std::vector<std::vector<int>> groups = {
      {2}, {3}, {8, 9, 10}, {11, 12}, {15, 16, 17, 20, 24, 25, 26, 27, 34}, {13, 14}, {}};
  for (int16_t g = 1; g <= 7; ++g) {
    TessInfo e;
    Copy_TessInfo(&s, &e, g);
    for (int i = 2; i < kTessInfoWords; ++i) {
      const auto& want = groups[g - 1];
      const bool copied = std::find(want.begin(), want.end(), i) != want.end() ||
                          (g == 5 && i >= 15);
      EXPECT_EQ(e.w[i], copied ? i + 500 : 0) << "group " << g << " word " << i;
    }
    EXPECT_EQ(e.w[1], 501);
  }

  // Default source quads of a few symmetry types, corners as (x, y).
  auto quad = [&](int k) {
    std::vector<int32_t> q;
    for (int c = 0; c < 4; ++c) {
      q.push_back(r->sets[k].w[kTessSourceX + c]);
      q.push_back(r->sets[k].w[kTessSourceY + c]);
    }
    return q;
  };
  Init_TessParQuad(r.get(), 9, 3);
  EXPECT_EQ(quad(3), (std::vector<int32_t>{0, 0, 1000, 0, 500, 500, 0, 1000}));
  EXPECT_EQ(quad(4), (std::vector<int32_t>{0, 0, 1000, 0, 1000, 1000, 0, 1000}));
  Init_TessParQuad(r.get(), 14, 0);
  EXPECT_EQ(quad(0), (std::vector<int32_t>{0, 0, 500, 833, 333, 1000, 0, 1000}));
  // Type 0 sets nothing, but index -1 still spreads tile set 0's quad.
  Init_TessParQuad(r.get(), 0, -1);
  for (int k = 0; k < kTessSets; ++k) EXPECT_EQ(quad(k), quad(0)) << k;
  Init_TessParQuad(r.get(), 5, -1);
  EXPECT_EQ(quad(15), (std::vector<int32_t>{0, 0, 1000, 0, 1000, 500, 1000, 1000}));
  Init_TessParQuad(r.get(), 7, 1);
  EXPECT_EQ(quad(1), (std::vector<int32_t>{0, 0, 500, 0, 500, 1000, 0, 1000}));
  Init_TessParQuad(r.get(), 17, 2);
  EXPECT_EQ(quad(2), (std::vector<int32_t>{0, 0, 333, 1000, 166, 1000, 0, 1000}));
  Init_TessParQuad(r.get(), 18, 2);
  Init_TessParQuad(r.get(), 1, 16);  // no such tile set
  EXPECT_EQ(quad(2), (std::vector<int32_t>{0, 0, 333, 1000, 166, 1000, 0, 1000}));
  Init_TessParQuad(r.get(), 12, 6);
  EXPECT_EQ(quad(6), (std::vector<int32_t>{0, 0, 500, 500, 1000, 1000, 0, 1000}));
  Init_TessParQuad(r.get(), 16, 6);
  EXPECT_EQ(quad(6), (std::vector<int32_t>{500, 0, 1000, 1000, 500, 1000, 0, 1000}));
}

class TessFile : public vmktest::PresetFileTest {};

TEST_F(TessFile, DefaultTileReferencesNameTheGenericPicture) {
  const auto images = dir_.path() / "Maker" / "Vellmarkstead" / "Images";
  std::filesystem::create_directories(images);
  ASSERT_TRUE(SetFicFromPosix(&gPer->makersFolder, (dir_.path() / "Maker").string()));
  auto r = std::make_unique<TessPar>();
  Init_TessPar(r.get(), 1, 0, 0);
  auto rep = std::make_unique<RepPar>();
  Init_RepPar(rep.get(), 0, 4, 4);
  for (int k = 0; k < kTessSets; ++k) {
    EXPECT_EQ(FicToPosix(r->tiles[k]), (images / "generic.tif").string()) << k;
    EXPECT_EQ(r->tiles[k].type, FourCC("TIFF"));
    EXPECT_EQ(FicToPosix(rep->tiles[k]), (images / "generic.tif").string()) << k;
    EXPECT_EQ(rep->tiles[k].type, FourCC("TIFF"));
  }
  // The other flag values leave the references alone.
  SetPStr(r->tiles[3].name, "mine.tif");
  SetPStr(rep->tiles[3].name, "mine.tif");
  Init_TessPar(r.get(), 0, 0, 0);
  Init_RepPar(rep.get(), 1, 4, 4);
  EXPECT_EQ(PStrString(r->tiles[3].name), "mine.tif");
  EXPECT_EQ(PStrString(rep->tiles[3].name), "mine.tif");
}

TEST_F(TessFile, LayoutRoundTripAndDamagedFiles) {
  plat::ui::ScriptedUi ui;
  plat::ui::ScopedServices scoped(&ui);
  auto r = DefaultTess();
  Scribble(r.get());
  r->sets[2].w[5] = 77;  // Copy_TessInfo skips it, the file does not
  const auto b = vmktest::SaveByDialog(ui, Do_ATessPar_file, r.get(), dir_.file("t"), FourCC("hPts"));
  ASSERT_EQ(b.size(), 105124u);
  EXPECT_EQ(ui.saveRequests.back().type, FourCC("hPts"));
  EXPECT_EQ(LittleWord(b, 0), 1);
  EXPECT_EQ(LittleWord(b, 8), 197);
  EXPECT_EQ(LittleWord(b, 32), 797);
  EXPECT_EQ(b[36 + 538 * 5 + 6], 9);  // length of "tile5.tif"
  EXPECT_EQ(b[36 + 538 * 5 + 7], 't');
  EXPECT_EQ(b[36 + 538 * 15 + 262 + 1], 'D');
  EXPECT_EQ(static_cast<OSType>(LittleWord(b, 36 + 538 * 15 + 524)), FourCC("TIFF"));
  const size_t ramp3 = 8644 + 1794 * 3;
  EXPECT_EQ(b[ramp3 + 2 + 2 * 7], 0xFC);  // values[7] = -4, little-endian
  EXPECT_EQ(b[ramp3 + 2 + 2 * 7 + 1], 0xFF);
  EXPECT_EQ(b[ramp3 + 514 + 3 * 256 + 9], 3);  // colour table 2
  const size_t set9 = 37348 + 4236 * 9;
  EXPECT_EQ(LittleWord(b, set9), 1);
  EXPECT_EQ(LittleWord(b, set9 + 4 * 2), 9002);
  EXPECT_EQ(LittleWord(b, set9 + 4 * 34), 9034);
  EXPECT_EQ(LittleWord(b, 37348 + 4236 * 2 + 4 * 5), 77);
  EXPECT_TRUE(vmktest::AllZero(b, set9 + 140, 4096));

  // Read back through the open dialog, then written again with mode 3: the same bytes.
  auto back = std::make_unique<TessPar>();
  ui.AnswerOpenFile(dir_.file("t.hpts"));
  ASSERT_EQ(Do_ATessPar_file(0, FSSpec{}, back.get()), 0);
  EXPECT_EQ(ui.openRequests.back().prompt, "Load a New Pattern...");
  EXPECT_EQ(ui.openRequests.back().types, std::vector<OSType>{FourCC("hPts")});
  EXPECT_TRUE(SameTess(*back, *r));
  const std::string again = dir_.file("again.hpts");
  ASSERT_EQ(Do_ATessPar_file(3, vmktest::SpecForPath(again), back.get()), 0);
  EXPECT_EQ(vmktest::ReadBytes(again), b);

  // A big-endian writer's file: every number reversed, flags 0.
  const std::string big = dir_.file("big.hpts");
  constexpr vmkrec::PresetFormat kFormat{FourCC("hPts"), "", vmkrec::PresetLayout::RecordOnly, 0, true};
  vmktest::WriteBytes(big, vmktest::BigEndianImage(kFormat, *r));
  EXPECT_EQ(vmktest::ReadBytes(big).size(), 105124u);
  auto fromBig = std::make_unique<TessPar>();
  ASSERT_EQ(Do_ATessPar_file(2, vmktest::SpecForPath(big), fromBig.get()), 0);
  EXPECT_TRUE(SameTess(*fromBig, *r));
  EXPECT_EQ(fromBig->sets[15].w[0], 1);

  // A tile set's zero flag decides nothing: the record's flag says little-endian.
  std::vector<uint8_t> zeroFlag = b;
  std::fill(zeroFlag.begin() + set9, zeroFlag.begin() + set9 + 4, 0);
  const std::string inner = dir_.file("inner.hpts");
  vmktest::WriteBytes(inner, zeroFlag);
  auto fromInner = std::make_unique<TessPar>();
  ASSERT_EQ(Do_ATessPar_file(2, vmktest::SpecForPath(inner), fromInner.get()), 0);
  EXPECT_EQ(fromInner->sets[9].w[2], 9002);
  EXPECT_EQ(fromInner->sets[2].w[5], 77);

  // Cut short by one byte: refused, the record as it was.
  const std::string cut = dir_.file("cut.hpts");
  vmktest::WriteBytes(cut, std::vector<uint8_t>(b.begin(), b.end() - 1));
  auto keep = DefaultTess();
  const auto before = std::make_unique<TessPar>(*keep);
  EXPECT_EQ(Do_ATessPar_file(2, vmktest::SpecForPath(cut), keep.get()), -1);
  EXPECT_EQ(0, std::memcmp(keep.get(), before.get(), sizeof(TessPar)));
  EXPECT_EQ(Do_ATessPar_file(4, vmktest::SpecForPath(again), keep.get()), 0);
}

TEST(TwinRecord, DefaultsDifferFromTheTessellation) {
  auto r = std::make_unique<HeschPar>();
  SetPStr(r->tiles[4].name, "kept.tif");
  r->ramps[13].opacity[1] = 9;
  Init_HeschPar(r.get(), 1, 1, 1);
  const int32_t head[9] = {0, 1, 0, 0, 4, 0, 1, 1, 1};
  EXPECT_EQ(0, std::memcmp(r->head.w, head, sizeof head));
  EXPECT_EQ(PStrString(r->tiles[4].name), "kept.tif");
  EXPECT_EQ(r->ramps[13].opacity[1], 9);
  EXPECT_EQ(r->ramps[2].colour[1][5], 255);
  const int32_t info[35] = {0,  1,  1,  0,    100,  0, 0,    0,    0,  0,  0,  0,
                            0,  100, 100, 0,   0,    0, 1000, 1000, 0,  0,  0,  1000,
                            1000, 0, 0,  40,   60,   60, 40,  40,   40, 60, 60};
  EXPECT_EQ(0, std::memcmp(r->sets[15].w, info, sizeof info));
  // Words 0..14 always, the quads only on request.
  HeschInfo h;
  h.w[17] = 5;
  h.w[30] = 6;
  Init_HeschInfo(&h, 0, 0);
  EXPECT_EQ(0, std::memcmp(h.w, info, 15 * sizeof(int32_t)));
  EXPECT_EQ(h.w[17], 5);
  EXPECT_EQ(h.w[30], 6);

  auto c = std::make_unique<HeschPar>();
  r->sets[3].w[6] = 66;
  Copy_HeschPar(r.get(), c.get());
  EXPECT_EQ(PStrString(c->tiles[4].name), "kept.tif");
  EXPECT_EQ(c->sets[3].w[6], 0);
  EXPECT_EQ(c->sets[3].w[kTessBaseY + 3], 60);
  EXPECT_EQ(vmkrec::StoredSize(*r), 105156u);
}

class TwinFile : public vmktest::PresetFileTest {
 protected:
  void TearDown() override { plat::bytes::setHostOrderForTesting(std::nullopt); }
};

TEST_F(TwinFile, RawBlockIsTheSameOnEitherHost) {
  plat::ui::ScriptedUi ui;
  plat::ui::ScopedServices scoped(&ui);
  auto r = std::make_unique<HeschPar>();
  Init_HeschPar(r.get(), 1, 1, 1);
  r->head.w[2] = 0x01020304;
  SetPStr(r->tiles[1].name, "b.tif");
  r->sets[15].w[34] = -2;
  std::vector<uint8_t> files[2];
  int i = 0;
  for (auto host : {plat::bytes::Order::Little, plat::bytes::Order::Big}) {
    plat::bytes::setHostOrderForTesting(host);
    files[i] = vmktest::SaveByDialog(ui, Do_AHeschPar_file, r.get(), dir_.file("h" + std::to_string(i)),
                                     FourCC("hHhs"));
    ++i;
  }
  plat::bytes::setHostOrderForTesting(std::nullopt);
  ASSERT_EQ(files[0].size(), 105156u);
  EXPECT_EQ(files[0], files[1]);
  const auto& b = files[0];
  EXPECT_EQ(LittleWord(b, 0), 0);  // stored as it stands
  EXPECT_EQ(LittleWord(b, 8), 0x01020304);
  EXPECT_EQ(b[36 + 540 + 6], 5);  // references at their 540-byte spacing
  EXPECT_EQ(LittleWord(b, 37380 + 4236 * 15 + 4 * 34), -2);

  // Read back on a big-endian host: no conversion, no byte-order test.
  plat::bytes::setHostOrderForTesting(plat::bytes::Order::Big);
  auto back = std::make_unique<HeschPar>();
  const int16_t result = Do_AHeschPar_file(2, vmktest::SpecForPath(dir_.file("h0.hhhs")), back.get());
  plat::bytes::setHostOrderForTesting(std::nullopt);
  ASSERT_EQ(result, 0);
  EXPECT_EQ(back->head.w[2], 0x01020304);
  EXPECT_EQ(back->head.w[0], 0);
  EXPECT_EQ(PStrString(back->tiles[1].name), "b.tif");

  // Mode 3 does nothing; a cut file is refused.
  const std::string given = dir_.file("given.hhhs");
  EXPECT_EQ(Do_AHeschPar_file(3, vmktest::SpecForPath(given), r.get()), 0);
  EXPECT_FALSE(std::filesystem::exists(given));
  vmktest::WriteBytes(given, std::vector<uint8_t>(b.begin(), b.begin() + 105155));
  auto keep = std::make_unique<HeschPar>(*r);
  EXPECT_EQ(Do_AHeschPar_file(2, vmktest::SpecForPath(given), keep.get()), -1);
  EXPECT_EQ(0, std::memcmp(keep.get(), r.get(), sizeof(HeschPar)));
}

TEST(RepeatRecord, DefaultsCopyAndOversizedGrid) {
  auto r = std::make_unique<RepPar>();
  r->symm.w[5] = 44;
  r->ramps[2].opacity[0] = 3;
  Init_RepPar(r.get(), 1, 4, 3);
  EXPECT_EQ(r->byteOrderFlag, 1);
  EXPECT_EQ(r->version, 2);
  EXPECT_EQ(r->grid.w[kRepColumnCount], 4);
  EXPECT_EQ(r->grid.w[kRepRowCount], 3);
  EXPECT_EQ(r->grid.w[kRepTileSource], 1);
  EXPECT_EQ(r->grid.w[1], 2);
  int on = 0;
  for (int k = 0; k < kRepCells; ++k) {
    if (r->cells[k].w[kCellOn] == 1) {
      ++on;
      EXPECT_LT(k, 12);
      EXPECT_EQ(r->cells[k].w[kCellOpacity], 100);
      EXPECT_EQ(r->cells[k].w[kCellMaskMode], 1);
      EXPECT_EQ(r->cells[k].w[kCellBlendMode], 1);
    } else {
      EXPECT_EQ(r->cells[k].w[kCellColumn], -1);
      EXPECT_EQ(r->cells[k].w[kCellRow], -1);
      EXPECT_EQ(r->cells[k].w[0], 0);
    }
  }
  EXPECT_EQ(on, 12);
  EXPECT_EQ(r->cells[5].w[kCellColumn], 1);
  EXPECT_EQ(r->cells[5].w[kCellRow], 2);
  EXPECT_EQ(r->symm.w[5], 44);  // the SymmInfo and the ramps are left alone
  EXPECT_EQ(r->ramps[2].opacity[0], 3);
  EXPECT_EQ(vmkrec::StoredSize(*r), 711884u);

  auto d = std::make_unique<RepPar>();
  d->byteOrderFlag = 5;
  d->version = 6;
  Copy_RepPar(r.get(), d.get());
  EXPECT_EQ(d->byteOrderFlag, 5);
  EXPECT_EQ(d->version, 6);
  EXPECT_EQ(d->cells[5].w[kCellRow], 2);
  EXPECT_EQ(d->symm.w[5], 44);

  // A grid beyond 24 x 24 cannot place cells outside the record.
  auto big = std::make_unique<RepPar>();
  Init_RepPar(big.get(), 1, 30, 30);
  EXPECT_EQ(big->cells[575].w[kCellColumn], 19);
  EXPECT_EQ(big->cells[575].w[kCellRow], 5);
}

class RepeatFile : public vmktest::PresetFileTest {};

TEST_F(RepeatFile, SectionsInFileOrderAndDamagedFiles) {
  plat::ui::ScriptedUi ui;
  plat::ui::ScopedServices scoped(&ui);
  auto r = std::make_unique<RepPar>();
  Init_RepPar(r.get(), 1, 24, 24);
  r->grid.w[kRepRowShift + 23] = -50;
  r->cells[575].w[30] = 0x11223344;
  for (int i = 1; i < kSymmWords; ++i) r->symm.w[i] = i;
  Init_SymmInfo(&r->symm);
  SetPStr(r->tiles[0].name, "tile.jpg");
  r->ramps[15].values[0] = 0x0102;
  const auto b = vmktest::SaveByDialog(ui, Do_ARepPar_file, r.get(), dir_.file("p"), FourCC("hPre"));
  ASSERT_EQ(b.size(), 711884u);
  EXPECT_EQ(LittleWord(b, 0), 1);
  EXPECT_EQ(LittleWord(b, 4), 2);
  EXPECT_EQ(LittleWord(b, 8), 1);  // the grid head's own flag
  EXPECT_EQ(LittleWord(b, 8 + 4 * (kRepRowShift + 23)), -50);
  EXPECT_TRUE(vmktest::AllZero(b, 8 + 284, 1024));
  EXPECT_EQ(b[1316 + 6], 8);  // reference 0's name
  EXPECT_EQ(b[9924 + 1794 * 15 + 2], 0x02);
  EXPECT_EQ(b[9924 + 1794 * 15 + 3], 0x01);
  EXPECT_EQ(LittleWord(b, 38628 + 1148 * 575 + 4 * 30), 0x11223344);
  EXPECT_EQ(LittleWord(b, 38628 + 1148 * 575 + 4 * 6), 23);
  EXPECT_EQ(LittleWord(b, 699876), 1);
  EXPECT_EQ(LittleWord(b, 699876 + 4 * 3001), 3001);

  // Read back and written again: the same bytes; word 1 comes from the file.
  auto back = std::make_unique<RepPar>();
  ASSERT_EQ(Do_ARepPar_file(2, vmktest::SpecForPath(dir_.file("p.hpre")), back.get()), 0);
  EXPECT_EQ(back->version, 2);
  EXPECT_EQ(back->cells[575].w[30], 0x11223344);
  EXPECT_EQ(PStrString(back->tiles[0].name), "tile.jpg");
  const std::string again = dir_.file("again.hpre");
  ASSERT_EQ(Do_ARepPar_file(3, vmktest::SpecForPath(again), back.get()), 0);
  EXPECT_EQ(vmktest::ReadBytes(again), b);

  // Big-endian numbers, every flag 0: reversed in full on this host.
  constexpr vmkrec::PresetFormat kFormat{FourCC("hPre"), "", vmkrec::PresetLayout::RecordOnly, 0, true};
  const std::string big = dir_.file("big.hpre");
  vmktest::WriteBytes(big, vmktest::BigEndianImage(kFormat, *r));
  auto fromBig = std::make_unique<RepPar>();
  ASSERT_EQ(Do_ARepPar_file(2, vmktest::SpecForPath(big), fromBig.get()), 0);
  EXPECT_EQ(fromBig->grid.w[kRepRowShift + 23], -50);
  EXPECT_EQ(fromBig->cells[575].w[30], 0x11223344);
  EXPECT_EQ(fromBig->symm.w[3001], 3001);
  EXPECT_EQ(fromBig->ramps[15].values[0], 0x0102);
  EXPECT_EQ(fromBig->version, 2);

  // Long enough for the head but short of the end: refused, nothing taken.
  const std::string cut = dir_.file("cut.hpre");
  vmktest::WriteBytes(cut, std::vector<uint8_t>(b.begin(), b.begin() + 700000));
  auto keep = std::make_unique<RepPar>();
  Init_RepPar(keep.get(), 1, 2, 2);
  const auto before = std::make_unique<RepPar>(*keep);
  EXPECT_EQ(Do_ARepPar_file(2, vmktest::SpecForPath(cut), keep.get()), -1);
  EXPECT_EQ(0, std::memcmp(keep.get(), before.get(), sizeof(RepPar)));
  ui.AnswerOpenFile(std::nullopt);
  EXPECT_EQ(Do_ARepPar_file(0, FSSpec{}, keep.get()), -1);
  EXPECT_EQ(0, std::memcmp(keep.get(), before.get(), sizeof(RepPar)));
}

// Sub-record flags follow the record's own; the reserved blocks and the ramps come back
// as they were stored, so a file read and written again is the same file.
TEST_F(RepeatFile, InnerFlagsReservedBlocksAndRampsAsStored) {
  plat::ui::ScriptedUi ui;
  plat::ui::ScopedServices scoped(&ui);
  auto r = std::make_unique<RepPar>();
  Init_RepPar(r.get(), 1, 3, 2);
  r->cells[4].w[kCellScrollX] = 0x01020304;
  const auto saved = vmktest::SaveByDialog(ui, Do_ARepPar_file, r.get(), dir_.file("p"), FourCC("hPre"));
  ASSERT_EQ(saved.size(), 711884u);
  std::vector<uint8_t> b = saved;
  const size_t cell4 = 38628 + 1148 * 4;
  for (size_t at : {size_t{8}, cell4, size_t{699876}}) std::fill(b.begin() + at, b.begin() + at + 4, 0);
  b[8 + 284 + 10] = 0xAB;         // the grid head's reserved block
  b[cell4 + 124 + 1023] = 0xCD;   // cell 4's
  b[9924 + 1794 * 7 + 2] = 0x12;  // ramp 7, values[0], stored big-endian: left so
  b[9924 + 1794 * 7 + 3] = 0x34;
  const std::string odd = dir_.file("odd.hpre");
  vmktest::WriteBytes(odd, b);
  auto back = std::make_unique<RepPar>();
  ASSERT_EQ(Do_ARepPar_file(2, vmktest::SpecForPath(odd), back.get()), 0);
  EXPECT_EQ(back->cells[4].w[kCellScrollX], 0x01020304);  // not reversed by its zero flag
  EXPECT_EQ(back->grid.w[kRepColumnCount], 3);
  EXPECT_EQ(back->grid.reserved[10], 0xAB);
  EXPECT_EQ(back->cells[4].reserved[1023], 0xCD);
  EXPECT_EQ(back->ramps[7].values[0], 0x3412);
  auto swapped = std::make_unique<RepPar>(*back);
  SwapRepPar(swapped.get(), 1, 1);  // a forced conversion reverses the words, not the ramps
  EXPECT_EQ(swapped->cells[4].w[kCellScrollX], 0x04030201);
  EXPECT_EQ(swapped->ramps[7].values[0], 0x3412);
  const std::string again = dir_.file("again.hpre");
  ASSERT_EQ(Do_ARepPar_file(3, vmktest::SpecForPath(again), back.get()), 0);
  std::vector<uint8_t> expected = b;
  for (size_t at : {size_t{8}, cell4, size_t{699876}}) expected[at] = 1;  // flags written as 1
  EXPECT_EQ(vmktest::ReadBytes(again), expected);
  Init_RepInfo(&back->cells[4], 0, 0);
  EXPECT_EQ(back->cells[4].reserved[1023], 0);
}

}  // namespace
