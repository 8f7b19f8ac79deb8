#include "engines/correction/colour_matrix.h"
#include "engines/correction/colour_matrix_engine.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "platform/toolbox/api/scripted_ui.h"
#include "support/preset_files.h"

namespace {

uint8_t Ch(const ColMatPar& r, int c, int row, int k) {
  return ColMatChannel(r.cells[row * kColMatSide + c], k);
}

ColMatPar Filled(uint32_t cell, int tool) {
  ColMatPar r;
  Init_ColMatPar(&r);
  for (auto& c : r.cells) c = cell;
  r.tool = tool;
  return r;
}

TEST(ColMatDefaults, CircularGradientFromABlackCentre) {
  ColMatPar r;
  Init_ColMatPar(&r);
  EXPECT_EQ(r.byteOrder, 1);
  EXPECT_EQ(r.second, 1);
  EXPECT_EQ(r.tool, 5);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(Ch(r, 16, 16, k), 0);
    EXPECT_EQ(Ch(r, 24, 16, k), 127);  // d = 8 of radius 16
    EXPECT_EQ(Ch(r, 0, 0, k), 255);
    EXPECT_EQ(Ch(r, 32, 32, k), 255);
    EXPECT_EQ(Ch(r, 16, 0, k), 255);  // d = 16: the corner value
  }
}

TEST(ColMatGrid, ToolsPaintTheirCells) {
  // Tool 4 with one channel flagged.
  ColMatPar r = Filled(0x10203040u, 4);
  Calc_vign(&r, 3, 3, 0, 1, 0, 0, 0, 7, 9, 9, 9);
  for (uint32_t c : r.cells) EXPECT_EQ(c, 0x07203040u);

  // Tool 2 at x = 0 interpolates every row toward cell (32, 0) over 33 steps.
  r = Filled(0, 2);
  r.cells[32] = ColMatWithChannel(0, 0, 66);
  Calc_vign(&r, 0, 5, 0, 1, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(Ch(r, 0, 0, 0), 0);
  EXPECT_EQ(Ch(r, 1, 0, 0), 2);     // 66 * 1 / 33
  EXPECT_EQ(Ch(r, 32, 0, 0), 64);   // 66 * 32 / 33: short of the old end
  EXPECT_EQ(Ch(r, 16, 20, 0), 31);  // later rows read the rewritten end: 64 * 16 / 33

  // Tool 0 (and anything above 10) paints only the clicked cell.
  r = Filled(0, 11);
  Calc_vign(&r, 4, 5, 0, 0, 1, 0, 0, 0, 200, 0, 0);
  EXPECT_EQ(Ch(r, 4, 5, 1), 200);
  EXPECT_EQ(Ch(r, 5, 5, 1), 0);
  EXPECT_EQ(Ch(r, 4, 5, 0), 0);

  // Tools 9 and 10 ignore flags and values.
  r = Filled(0, 9);
  Calc_vign(&r, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(r.cells[1], 0x04040404u);
  EXPECT_EQ(r.cells[64], 0x00000000u);  // 256 mod 256

  // Tool 1 interpolates down each column from row 0 through row y to row 32.
  r = Filled(0, 1);
  Calc_vign(&r, 0, 10, 0, 0, 0, 1, 0, 0, 0, 100, 0);
  EXPECT_EQ(Ch(r, 0, 10, 2), 100);
  EXPECT_EQ(Ch(r, 5, 5, 2), 50);
  EXPECT_EQ(Ch(r, 5, 21, 2), 54);  // toward (0, 32), already rewritten to 4: 100 - 96 * 11 / 23

  // Tool 3: a point pulls the four quadrants.
  r = Filled(0, 3);
  Calc_vign(&r, 16, 16, 0, 1, 0, 0, 0, 160, 0, 0, 0);
  EXPECT_EQ(Ch(r, 16, 16, 0), 160);
  EXPECT_EQ(Ch(r, 8, 16, 0), 80);
  EXPECT_EQ(Ch(r, 8, 8, 0), 40);
  EXPECT_EQ(Ch(r, 0, 0, 0), 0);
}

TEST(ColMatGrid, RadialBorderClickAndAccumulation) {
  // After the default's centre click at (16, 16), a border click sets the corners and
  // redraws the gradient around that centre toward them.
  ColMatPar r;
  Init_ColMatPar(&r);
  Calc_vign(&r, 0, 7, 0, 1, 0, 0, 0, 100, 0, 0, 0);
  EXPECT_EQ(Ch(r, 0, 0, 0), 100);
  EXPECT_EQ(Ch(r, 32, 32, 0), 100);
  EXPECT_EQ(Ch(r, 24, 16, 0), 50);
  EXPECT_EQ(Ch(r, 24, 16, 1), 127);  // unflagged channel kept

  // Accumulate 1 adds and clamps at 255, -1 subtracts and clamps at 0.
  r = Filled(0xC8C8C8C8u, 4);
  Calc_vign(&r, 0, 0, 1, 1, 1, 0, 0, 100, 20, 0, 0);
  EXPECT_EQ(Ch(r, 3, 3, 0), 255);
  EXPECT_EQ(Ch(r, 3, 3, 1), 220);
  EXPECT_EQ(Ch(r, 3, 3, 2), 200);
  r = Filled(0x32323232u, 4);
  Calc_vign(&r, 0, 0, -1, 1, 1, 0, 0, 100, 20, 0, 0);
  EXPECT_EQ(Ch(r, 3, 3, 0), 0);
  EXPECT_EQ(Ch(r, 3, 3, 1), 30);

  // Clicks outside the grid land on its edge.
  r = Filled(0, 0);
  Calc_vign(&r, 40, -3, 0, 1, 0, 0, 0, 9, 0, 0, 0);
  EXPECT_EQ(Ch(r, 32, 0, 0), 9);
}

TEST(ColMatInvert, FlaggedChannelsOnlyAndTwiceIsIdentity) {
  ColMatPar r;
  Init_ColMatPar(&r);
  r.cells[5] = 0x10203040u;
  const ColMatPar before = r;
  Invert_vign(&r, 1, 0, 0, 1);
  EXPECT_EQ(r.cells[5], 0xEF2030BFu);
  Invert_vign(&r, 1, 0, 0, 1);
  EXPECT_EQ(0, std::memcmp(&r, &before, sizeof r));
}

TEST(ColMatStored, LayoutOfTheDefaultRecord) {
  ColMatPar r;
  Init_ColMatPar(&r);
  r.cells[0] = 0x10203040u;
  r.contrast = -3;
  EXPECT_EQ(vmkrec::StoredSize(r), 6452u);
  const std::vector<uint8_t> b = vmkrec::StoreRecord(r);
  ASSERT_EQ(b.size(), 6452u);
  EXPECT_EQ(b[0], 1);
  EXPECT_EQ(b[4], 1);
  EXPECT_EQ((std::vector<uint8_t>(b.begin() + 8, b.begin() + 12)),
            (std::vector<uint8_t>{0x40, 0x30, 0x20, 0x10}));
  EXPECT_EQ((std::vector<uint8_t>(b.begin() + 4364, b.begin() + 4368)),
            (std::vector<uint8_t>{5, 0, 0, 0}));
  EXPECT_EQ(b[4400], 0xFD);
  for (size_t i = 4404; i < b.size(); ++i) ASSERT_EQ(b[i], 0) << i;
}

class ColMatFile : public vmktest::PresetFileTest {};

TEST_F(ColMatFile, RoundTripBigEndianFileAndFailures) {
  plat::ui::ScriptedUi ui;
  plat::ui::ScopedServices scoped(&ui);
  ColMatPar r;
  Init_ColMatPar(&r);
  r.tool = 3;
  r.paint[2] = 77;
  r.shift[0] = -20;
  r.noise = 0x12345;
  r.cells[1088] = 0x01020304u;
  const std::string path = dir_.file("m.hcma");
  ui.AnswerSaveFile(path);
  ASSERT_EQ(Do_AColMatPar_file(1, FSSpec{}, &r), 0);
  const std::vector<uint8_t> written = vmktest::ReadBytes(path);
  ASSERT_EQ(written.size(), 6452u);
  EXPECT_EQ(written, vmkrec::StoreRecord(r));

  ColMatPar back;
  ASSERT_EQ(Do_AColMatPar_file(2, vmktest::SpecForPath(path), &back), 0);
  EXPECT_EQ(0, std::memcmp(&back, &r, sizeof r));

  // The same record from an older big-endian writer: word 0 = 0, every word reversed.
  std::vector<uint8_t> big = written;
  for (size_t i = 0; i < 4404; i += 4) std::swap(big[i], big[i + 3]), std::swap(big[i + 1], big[i + 2]);
  big[3] = 0;
  const std::string bigPath = dir_.file("big.hcma");
  vmktest::WriteBytes(bigPath, big);
  ColMatPar fromBig;
  ASSERT_EQ(Do_AColMatPar_file(2, vmktest::SpecForPath(bigPath), &fromBig), 0);
  EXPECT_EQ(fromBig.byteOrder, 1);
  EXPECT_EQ(0, std::memcmp(&fromBig, &r, sizeof r));

  // Truncated by one byte: the record is left as it was.
  std::vector<uint8_t> shortFile(written.begin(), written.end() - 1);
  const std::string shortPath = dir_.file("short.hcma");
  vmktest::WriteBytes(shortPath, shortFile);
  ColMatPar keep;
  Init_ColMatPar(&keep);
  const ColMatPar before = keep;
  EXPECT_EQ(Do_AColMatPar_file(2, vmktest::SpecForPath(shortPath), &keep), -1);
  EXPECT_EQ(0, std::memcmp(&keep, &before, sizeof keep));

  // Mode 3 is not a mode of this family: 0, nothing written.
  EXPECT_EQ(Do_AColMatPar_file(3, vmktest::SpecForPath(dir_.file("new.hcma")), &keep), 0);
  EXPECT_TRUE(vmktest::ReadBytes(dir_.file("new.hcma")).empty());
  ui.AnswerOpenFile(std::nullopt);
  EXPECT_EQ(Do_AColMatPar_file(0, FSSpec{}, &keep), -1);
  EXPECT_EQ(ui.openRequests.back().prompt, "Load a New ColorMatrix...");
  EXPECT_EQ(0, std::memcmp(&keep, &before, sizeof keep));
}

TEST_F(ColMatFile, ReadOnBigEndianHostKeepsValuesAndTakesItsFlag) {
  ColMatPar r;
  Init_ColMatPar(&r);
  r.contrast = 42;
  const std::string path = dir_.file("m.hcma");
  vmktest::WriteBytes(path, vmkrec::StoreRecord(r));
  plat::bytes::setHostOrderForTesting(plat::bytes::Order::Big);
  ColMatPar back;
  const int16_t result = Do_AColMatPar_file(2, vmktest::SpecForPath(path), &back);
  plat::bytes::setHostOrderForTesting(std::nullopt);
  ASSERT_EQ(result, 0);
  EXPECT_EQ(back.byteOrder, 0);
  EXPECT_EQ(back.contrast, 42);
  EXPECT_EQ(0, std::memcmp(back.cells, r.cells, sizeof r.cells));
}

}  // namespace

namespace {

class ColMatEngine : public vmktest::SessionTest {};

TEST_F(ColMatEngine, RecordAccessorsAndOperationValues) {
  {
    MiscColMat engine;
    ASSERT_NE(engine.record(), nullptr);
    EXPECT_EQ(session_.memMan().count(), 1);
    ColMatPar r;
    Init_ColMatPar(&r);
    r.tool = 7;
    r.paint[3] = 9;
    engine.SetColMatPar(&r);
    std::vector<int32_t> table(kColMatCells, static_cast<int32_t>(0x80402010u));
    engine.SetColMatVal(table.data(), -4, 1, 2, 3, 50);
    ColMatPar out;
    engine.GetColMatPar(&out);
    EXPECT_EQ(out.cells[100], 0x80402010u);
    EXPECT_EQ(ColMatChannel(out.cells[100], 0), 0x80);
    EXPECT_EQ(out.noise, -4);
    EXPECT_EQ(out.shift[2], 3);
    EXPECT_EQ(out.contrast, 50);
    EXPECT_EQ(out.tool, 7);  // the drawing state stays
    EXPECT_EQ(out.paint[3], 9);
  }
  EXPECT_EQ(session_.memMan().count(), 0);
}

}  // namespace
