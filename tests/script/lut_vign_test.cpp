#include "script/lut_vign.h"

#include <cstring>

#include <gtest/gtest.h>

#include "platform/random/random.h"
#include "platform/toolbox/api/scripted_ui.h"
#include "support/preset_files.h"

namespace {

LutVign WithNumbers() {
  LutVign l;
  l.flag = 9;
  for (int i = 0; i < 256; ++i) l.values[i] = static_cast<int16_t>(i - 100);
  return l;
}

TEST(LutVignPresets, OpacityAndColourTables) {
  LutVign l = WithNumbers();
  Init_LutVign(3, &l, 0, 0, 0, 0);
  EXPECT_EQ(l.flag, 0);
  EXPECT_EQ(l.values[255], 0);
  EXPECT_EQ(l.opacity[0], 255);
  EXPECT_EQ(l.opacity[127], 255);
  EXPECT_EQ(l.opacity[128], 254);
  EXPECT_EQ(l.opacity[254], 2);
  EXPECT_EQ(l.opacity[255], 0);
  for (int t = 0; t < 4; ++t) EXPECT_EQ(l.colour[t][77], 77);

  // Preset 1 keeps the colour ramp it finds.
  l.colour[2][5] = 200;
  Init_LutVign(1, &l, 1, 2, 3, 4);
  EXPECT_EQ(l.opacity[255], 255);
  EXPECT_EQ(l.colour[2][5], 200);
  EXPECT_EQ(l.colour[0][9], 9);

  // Only the low 8 bits of a colour value are used.
  Init_LutVign(2, &l, 0x1F0, 0, 0, 0);
  for (int t = 0; t < 4; ++t) EXPECT_EQ(l.colour[t][0], 0xF0);
  EXPECT_EQ(l.opacity[0], 0);
  EXPECT_EQ(l.opacity[200], 200);

  Init_LutVign(4, &l, 7, 0, 0, 0);
  EXPECT_EQ(l.opacity[0], 255);
  EXPECT_EQ(l.opacity[255], 0);
  EXPECT_EQ(l.colour[3][100], 7);

  Init_LutVign(5, &l, 1, 2, 3, 4);
  EXPECT_EQ(l.opacity[128], 254);
  EXPECT_EQ(l.colour[0][0], 1);
  EXPECT_EQ(l.colour[1][0], 2);
  EXPECT_EQ(l.colour[2][255], 3);
  EXPECT_EQ(l.colour[3][255], 4);

  Init_LutVign(6, &l, 10, 20, 30, 40);
  EXPECT_EQ(l.opacity[255], 255);
  EXPECT_EQ(l.colour[1][128], 20);

  // An unknown preset clears the flag and the values and nothing else.
  LutVign before = WithNumbers();
  Init_LutVign(0, &before, 0, 0, 0, 0);
  before.flag = 3;
  before.values[4] = 4;
  LutVign after = before;
  Init_LutVign(7, &after, 9, 9, 9, 9);
  EXPECT_EQ(after.flag, 0);
  EXPECT_EQ(after.values[4], 0);
  EXPECT_EQ(0, std::memcmp(after.opacity, before.opacity, 256));
  EXPECT_EQ(0, std::memcmp(after.colour, before.colour, 1024));
}

TEST(LutVignInvert, ReversesTheRangeOfTheChosenTables) {
  LutVign rising;
  Init_LutVign(2, &rising, 5, 0, 0, 0);
  LutVign falling;
  Init_LutVign(4, &falling, 5, 0, 0, 0);
  LutVign l = rising;
  Invert_LutVign(1, &l, 0, 255);
  EXPECT_EQ(0, std::memcmp(l.opacity, falling.opacity, 256));

  LutVign ramp;
  Init_LutVign(0, &ramp, 0, 0, 0, 0);
  for (int i = 0; i < 256; ++i) ramp.opacity[i] = static_cast<uint8_t>(i);
  l = ramp;
  Invert_LutVign(2, &l, 10, 20);
  EXPECT_EQ(l.colour[0][10], 20);
  EXPECT_EQ(l.colour[3][20], 10);
  EXPECT_EQ(l.colour[1][15], 15);  // the middle stays
  EXPECT_EQ(l.colour[0][9], 9);
  EXPECT_EQ(l.colour[0][21], 21);
  EXPECT_EQ(l.opacity[10], 10);  // mode 2 leaves the opacity

  l = ramp;
  Invert_LutVign(0, &l, 0, 255);
  EXPECT_EQ(l.opacity[0], 255);
  EXPECT_EQ(l.colour[2][255], 0);

  // Ranges reaching past the ramp are cut to it; an empty range changes nothing.
  l = ramp;
  Invert_LutVign(0, &l, -40, 300);
  EXPECT_EQ(l.opacity[0], 255);
  EXPECT_EQ(l.opacity[255], 0);
  l = ramp;
  Invert_LutVign(0, &l, 30, 20);
  EXPECT_EQ(0, std::memcmp(&l, &ramp, sizeof l));
}

int32_t gNext[4];
int gAt = 0;
int32_t Scripted() { return gNext[gAt++ % 4]; }

TEST(LutVignRandom, SignedSixteenBitDrawsFoldedBy255) {
  // Draws 0 .. 2^31-1 map onto -32767 .. 32767 like the old toolbox generator; a byte is
  // the signed remainder by 255 kept in 8 bits.
  gNext[0] = 0;          // -32767 % 255 = -127 -> 0x81
  gNext[1] = 32767;      // 0
  gNext[2] = 32767 + 300;  // 300 % 255 = 45
  gNext[3] = 65534;      // 32767 % 255 = 127
  gAt = 0;
  plat::SetRandomFunctions(Scripted, nullptr);
  LutVign l = WithNumbers();
  Init_LutVign(0, &l, 0, 0, 0, 0);
  Random_LutVign(1, &l);
  plat::SetRandomFunctions(nullptr, nullptr);
  EXPECT_EQ(l.flag, 0);
  EXPECT_EQ(l.values[0], 0);
  EXPECT_EQ(l.opacity[0], 0x81);
  EXPECT_EQ(l.opacity[1], 0);
  EXPECT_EQ(l.opacity[2], 45);
  EXPECT_EQ(l.opacity[3], 127);
  EXPECT_EQ(l.colour[0][200], 200);  // mode 1: colours untouched

  gAt = 0;
  plat::SetRandomFunctions(Scripted, nullptr);
  Random_LutVign(2, &l);
  plat::SetRandomFunctions(nullptr, nullptr);
  EXPECT_EQ(l.opacity[2], 45);     // mode 2: opacity untouched
  EXPECT_EQ(l.colour[0][0], 0x81);  // colour 1 is drawn first, position by position
  EXPECT_EQ(l.colour[1][2], 45);   // 256 draws later: table 2 starts where the cycle is
  EXPECT_EQ(gAt, 1024);

  l = WithNumbers();
  Random_LutVign(5, &l);
  EXPECT_EQ(l.flag, 0);
  EXPECT_EQ(l.values[100], 0);
}

TEST(LutVignHsl, ZeroOffsetsKeepColoursAndHueTurnsRedToCyan) {
  LutVign l;
  Init_LutVign(0, &l, 0, 0, 0, 0);
  const LutVign before = l;
  HSLadjust_LutVign(&l, 0, 0, 0);
  for (int t = 0; t < 3; ++t)
    for (int i = 0; i < 256; ++i) EXPECT_NEAR(l.colour[t][i], before.colour[t][i], 1) << t << i;
  EXPECT_EQ(0, std::memcmp(l.colour[3], before.colour[3], 256));
  EXPECT_EQ(0, std::memcmp(l.opacity, before.opacity, 256));

  Init_LutVign(6, &l, 255, 0, 0, 99);
  HSLadjust_LutVign(&l, 180, 0, 0);
  EXPECT_LE(l.colour[0][0], 1);
  EXPECT_GE(l.colour[1][0], 254);
  EXPECT_GE(l.colour[2][0], 254);
  EXPECT_EQ(l.colour[3][0], 99);
}

TEST(LutVignOrder, OnlyFlagAndValuesAreConverted) {
  LutVign l = WithNumbers();
  Init_LutVign(0, &l, 0, 0, 0, 0);
  l.flag = 0x0102;
  l.values[1] = 0x0304;
  EXPECT_EQ(vmkrec::StoredSize(l), 1794u);
  EXPECT_EQ(sizeof(LutVign), 1794u);
  LutVign same = l;
  SwapLutVign(&same, 1);  // little-endian host, no force
  EXPECT_EQ(0, std::memcmp(&same, &l, sizeof l));

  plat::bytes::setHostOrderForTesting(plat::bytes::Order::Big);
  SwapLutVign(&same, 1);
  EXPECT_EQ(same.flag, 0x0201);
  EXPECT_EQ(same.values[1], 0x0403);
  EXPECT_EQ(same.colour[0][7], 7);
  SwapLutVign(&same, 0);
  plat::bytes::setHostOrderForTesting(std::nullopt);
  EXPECT_EQ(0, std::memcmp(&same, &l, sizeof l));

  const std::vector<uint8_t> stored = vmkrec::StoreRecord(l);
  ASSERT_EQ(stored.size(), 1794u);
  EXPECT_EQ(stored[0], 0x02);
  EXPECT_EQ(stored[4], 0x04);
  EXPECT_EQ(stored[514 + 3], 255);       // the opacity follows the 256 values, as it is
  EXPECT_EQ(stored[514 + 256 + 3], 3);  // then colour 1
}

class RampFile : public vmktest::PresetFileTest {};

LutVign Gradient() {
  LutVign l;
  Init_LutVign(0, &l, 0, 0, 0, 0);
  for (int i = 0; i < 256; ++i) {
    l.opacity[i] = static_cast<uint8_t>(255 - i);
    l.colour[3][i] = static_cast<uint8_t>(i ^ 0x55);
  }
  return l;
}

TEST_F(RampFile, WritesTextsAndTablesAndReadsThemBack) {
  const std::string path = dir_.file("ramp.hvig");
  plat::ui::ScriptedUi ui;
  plat::ui::ScopedServices scoped(&ui);
  ui.AnswerSaveFile(path);
  LutVign l = Gradient();
  char text1[256] = "Category", text2[256] = "A ramp";
  ASSERT_EQ(Do_ALutVign_file(1, FSSpec{}, &l, text1, text2, 0, 0, 0, 0), 0);
  ASSERT_EQ(ui.saveRequests.size(), 1u);
  EXPECT_EQ(ui.saveRequests[0].type, FourCC("hVig"));
  EXPECT_EQ(ui.saveRequests[0].creator, FourCC("vMkC"));
  EXPECT_EQ(ui.saveRequests[0].defaultName, "");

  const std::vector<uint8_t> b = vmktest::ReadBytes(path);
  ASSERT_EQ(b.size(), 1790u);
  EXPECT_EQ(0, std::memcmp(b.data(), "Category", 9));
  EXPECT_EQ(0, std::memcmp(b.data() + 255, "A ramp", 7));
  EXPECT_EQ(b[510], 255);
  EXPECT_EQ(b[510 + 255], 0);
  EXPECT_EQ(b[766 + 3 * 256 + 1], 1 ^ 0x55);

  LutVign back;
  back.flag = 5;
  back.values[0] = 6;
  char r1[256] = {}, r2[256] = {};
  ASSERT_EQ(Do_ALutVign_file(2, vmktest::SpecForPath(path), &back, r1, r2, 0, 0, 0, 0), 0);
  EXPECT_STREQ(r1, "Category");
  EXPECT_STREQ(r2, "A ramp");
  EXPECT_EQ(0, std::memcmp(back.opacity, l.opacity, 256));
  EXPECT_EQ(0, std::memcmp(back.colour, l.colour, 1024));
  EXPECT_EQ(back.flag, 5);  // not stored, so not changed
  EXPECT_EQ(back.values[0], 6);

  // Written again from what was read: the same bytes.
  const std::string again = dir_.file("again.hvig");
  ui.AnswerSaveFile(again);
  ASSERT_EQ(Do_ALutVign_file(1, FSSpec{}, &back, r1, r2, 0, 0, 0, 0), 0);
  std::vector<uint8_t> c = vmktest::ReadBytes(again);
  EXPECT_EQ(0, std::memcmp(c.data() + 510, b.data() + 510, 1280));
}

TEST_F(RampFile, ColoursOnlyKeepsOpacityAndSavingKeepsTheAdjustment) {
  const std::string path = dir_.file("red.hvig");
  plat::ui::ScriptedUi ui;
  plat::ui::ScopedServices scoped(&ui);
  ui.AnswerSaveFile(path);
  LutVign red;
  Init_LutVign(6, &red, 255, 0, 0, 0);
  ASSERT_EQ(Do_ALutVign_file(1, FSSpec{}, &red, nullptr, nullptr, 180, 0, 0, 0), 0);
  EXPECT_LE(red.colour[0][0], 1);  // the caller's ramp stays adjusted
  EXPECT_GE(red.colour[1][0], 254);

  LutVign l = Gradient();
  ui.AnswerOpenFile(path);
  ASSERT_EQ(Do_ALutVign_file(0, FSSpec{}, &l, nullptr, nullptr, 0, 0, 0, 1), 0);
  ASSERT_EQ(ui.openRequests.size(), 1u);
  EXPECT_EQ(ui.openRequests[0].types, std::vector<OSType>{FourCC("hVig")});
  EXPECT_EQ(l.opacity[0], 255);  // the gradient's, kept
  EXPECT_EQ(l.opacity[255], 0);
  EXPECT_GE(l.colour[2][100], 254);  // the file's colours
}

TEST_F(RampFile, CancelShortFileAndOtherModes) {
  const std::string path = dir_.file("short.hvig");
  std::vector<uint8_t> bytes(1789, 7);
  vmktest::WriteBytes(path, bytes);
  plat::ui::ScriptedUi ui;
  plat::ui::ScopedServices scoped(&ui);
  LutVign l = Gradient();
  const LutVign before = l;
  char t1[256] = "keep", t2[256] = "me";
  EXPECT_EQ(Do_ALutVign_file(2, vmktest::SpecForPath(path), &l, t1, t2, 0, 0, 0, 0), -1);
  EXPECT_EQ(Do_ALutVign_file(2, vmktest::SpecForPath(dir_.file("none")), &l, t1, t2, 0, 0, 0, 0),
            -1);
  ui.AnswerOpenFile(std::nullopt);
  EXPECT_EQ(Do_ALutVign_file(0, FSSpec{}, &l, t1, t2, 0, 0, 0, 0), -1);
  ui.AnswerSaveFile(std::nullopt);
  EXPECT_EQ(Do_ALutVign_file(1, FSSpec{}, &l, t1, t2, 90, 0, 0, 0), -1);
  EXPECT_EQ(Do_ALutVign_file(3, vmktest::SpecForPath(path), &l, t1, t2, 0, 0, 0, 0), 0);
  EXPECT_EQ(0, std::memcmp(&l, &before, sizeof l));
  EXPECT_STREQ(t1, "keep");
  EXPECT_STREQ(t2, "me");
  EXPECT_EQ(vmktest::ReadBytes(path), bytes);
}

}  // namespace
