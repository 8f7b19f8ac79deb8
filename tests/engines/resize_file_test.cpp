// The content-aware resize record's defaults, masks, holder and 'hYxl' preset.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engines/correction/resize_record.h"
#include "engines/records/param_record.h"
#include "platform/bytes/byte_order.h"
#include "platform/memory/memory.h"
#include "platform/toolbox/api/scripted_ui.h"
#include "support/preset_files.h"

namespace {

using plat::bytes::loadLE32;

int64_t Entries(const int16_t* mask) { return plat::GetPtrSize(mask) / 2; }

// Compares every stored word; the mask references are the caller's own.
bool SameWords(const YoxelPar& a, const YoxelPar& b) {
  YoxelPar x = a, y = b;
  x.protectMask = y.protectMask = nullptr;
  x.removeMask = y.removeMask = nullptr;
  return std::memcmp(&x, &y, sizeof x) == 0;
}

// A record with masks of width x height filled with a pattern.
struct Sample {
  YoxelPar r{};
  Sample(int32_t maskWidth, int32_t maskHeight) {
    Init_YoxelPar(&r, 3000, 2000, 300, 0, 8);
    r.maskWidth = maskWidth;
    r.maskHeight = maskHeight;
    Init_YoxelMsk(&r, 0);
    for (int32_t k = 0; k < maskWidth * maskHeight; ++k) {
      r.protectMask[k] = static_cast<int16_t>((k / 3) % 7 * 1000);
      r.removeMask[k] = static_cast<int16_t>(k % maskWidth < 2 ? -16384 : 0);
    }
    r.targetQuad[5] = -42;
    r.contrast = 33;
    r.flipMode = 3;
    r.dialogSettings[2] = 77;
  }
  ~Sample() { Dele_YoxelMsk(&r); }
};

TEST(ResizeRecord, DefaultsAndMaskModes) {
  YoxelPar r{};
  r.twoStage = 1;
  Init_YoxelPar(&r, 640, 480, 72, 0, 8);
  EXPECT_EQ(r.byteOrderFlag, HostOrderFlag());
  EXPECT_EQ(r.recordVersion, 1);
  EXPECT_EQ(r.imageWidth, 640);
  EXPECT_EQ(r.imageResolution, 72);
  EXPECT_EQ(r.overlayOpacity, 128);
  EXPECT_EQ(r.resizeMethod, 8);
  const int32_t quad[8] = {0, 100000, 100000, 0, 0, 0, 100000, 100000};
  EXPECT_EQ(0, std::memcmp(r.middleQuad, quad, sizeof quad));
  EXPECT_EQ(r.sharpenAmount, 5);
  EXPECT_EQ(r.fillMode, 1);
  EXPECT_EQ(r.twoStage, 1);  // kind 8 leaves it
  EXPECT_EQ(r.energySpread, 5);
  EXPECT_EQ(r.edgeKernel, 2);
  EXPECT_EQ(r.maskWidth, 1000);
  EXPECT_EQ(r.protectWeight, 100);
  const int32_t dialog[5] = {0, 40, 100, 0, 1};
  EXPECT_EQ(0, std::memcmp(r.dialogSettings, dialog, sizeof dialog));
  EXPECT_EQ(r.flipMode, 2);
  EXPECT_EQ(r.protectMask, nullptr);
  Init_YoxelPar(&r, 640, 480, 72, 0, 5);
  EXPECT_EQ(r.twoStage, 0);

  // Mode 1: two masks of zeros, spare row and column included.
  const int64_t live = plat::LiveBlockCount();
  Init_YoxelPar(&r, 640, 480, 72, 1, 5);
  ASSERT_NE(r.protectMask, nullptr);
  ASSERT_NE(r.removeMask, nullptr);
  EXPECT_EQ(Entries(r.protectMask), 1001 * 1001);
  EXPECT_TRUE(std::all_of(r.removeMask, r.removeMask + 1001 * 1001, [](int16_t v) { return v == 0; }));
  // Mode 1 again frees before it makes; mode 2 keeps.
  int16_t* kept = r.protectMask;
  kept[5] = 9;
  Init_YoxelPar(&r, 640, 480, 72, 2, 5);
  EXPECT_EQ(r.protectMask, kept);
  EXPECT_EQ(kept[5], 9);
  Init_YoxelPar(&r, 640, 480, 72, 1, 5);
  EXPECT_EQ(plat::LiveBlockCount(), live + 2);
  // Mode 0 forgets the references without freeing (they may be another record's).
  int16_t* a = r.protectMask;
  int16_t* b = r.removeMask;
  Init_YoxelPar(&r, 640, 480, 72, 0, 5);
  EXPECT_EQ(r.protectMask, nullptr);
  EXPECT_EQ(plat::LiveBlockCount(), live + 2);
  plat::DisposePtr(a);
  plat::DisposePtr(b);
  EXPECT_EQ(plat::LiveBlockCount(), live);
}

TEST(ResizeRecord, MasksFollowTheRecordsSize) {
  YoxelPar r{};
  Init_YoxelPar(&r, 640, 480, 72, 0, 5);
  r.maskWidth = 10;
  r.maskHeight = 10;
  Init_YoxelMsk(&r, 3);
  EXPECT_EQ(Entries(r.protectMask), 121);
  // A larger size remakes the masks; every entry, spare ones too, takes the value.
  r.maskWidth = 20;
  Init_YoxelMsk(&r, -5);
  EXPECT_EQ(Entries(r.removeMask), 21 * 11);
  EXPECT_TRUE(std::all_of(r.removeMask, r.removeMask + 21 * 11, [](int16_t v) { return v == -5; }));

  // Copies: words, then the contents into the destination's own (made larger) arrays.
  Sample s(6, 4);
  YoxelPar d{};
  Init_YoxelPar(&d, 1, 1, 1, 0, 5);
  d.maskWidth = 2;
  d.maskHeight = 2;
  Init_YoxelMsk(&d, 1);
  Copy_YoxelPar(&s.r, &d);
  EXPECT_TRUE(SameWords(d, s.r));
  EXPECT_NE(d.protectMask, s.r.protectMask);
  EXPECT_GE(Entries(d.protectMask), 7 * 5);
  EXPECT_EQ(0, std::memcmp(d.protectMask, s.r.protectMask, 24 * sizeof(int16_t)));
  EXPECT_EQ(0, std::memcmp(d.removeMask, s.r.removeMask, 24 * sizeof(int16_t)));
  // A missing source mask leaves the destination's.
  d.removeMask[0] = 99;
  Copy_YoxelMsk(&d, 6, 4, s.r.protectMask, nullptr);
  EXPECT_EQ(d.removeMask[0], 99);
  Dele_YoxelMsk(&d);
  Dele_YoxelMsk(&r);
  EXPECT_EQ(r.protectMask, nullptr);
}

TEST(ResizeRecord, HolderOwnsRecordAndMasks) {
  vmktest::ScopedSession session;
  const int64_t live = plat::LiveBlockCount();
  const int32_t blocks = session.memMan().count();
  {
    Yoxel y;
    ASSERT_NE(y.par, nullptr);
    EXPECT_EQ(y.par->protectMask, nullptr);
    EXPECT_EQ(y.par->removeMask, nullptr);
    EXPECT_EQ(session.memMan().count(), blocks + 1);
    Init_YoxelPar(y.par, 500, 500, 72, 1, 5);
    EXPECT_EQ(plat::LiveBlockCount(), live + 3);
  }
  EXPECT_EQ(session.memMan().count(), blocks);
  EXPECT_EQ(plat::LiveBlockCount(), live);
}

class ResizeFile : public vmktest::PresetFileTest {};

TEST_F(ResizeFile, RoundTripKeepsPictureAndMaskSize) {
  Sample s(6, 4);
  const std::string path = dir_.file("r.hyxl");
  ASSERT_EQ(Do_AYoxel_file(3, vmktest::SpecForPath(path), &s.r, 1, 6, 4, s.r.protectMask,
                           s.r.removeMask),
            0);
  const std::vector<uint8_t> b = vmktest::ReadBytes(path);
  ASSERT_GT(b.size(), 4328u);
  EXPECT_EQ(loadLE32(&b[0]), 1u);
  EXPECT_EQ(loadLE32(&b[4 * 2]), 3000u);
  EXPECT_EQ(loadLE32(&b[4 * 23]), static_cast<uint32_t>(-42));
  EXPECT_EQ(loadLE32(&b[4 * 46]), 0u);
  EXPECT_EQ(loadLE32(&b[4 * 47]), 0u);
  EXPECT_TRUE(std::all_of(b.begin() + 224, b.begin() + 4316, [](uint8_t v) { return v == 0; }));
  EXPECT_EQ(loadLE32(&b[4316]), 6u);
  EXPECT_EQ(loadLE32(&b[4320]), 4u);
  const uint32_t lp = loadLE32(&b[4324]);
  // Protect runs of three (the pattern steps every third entry); the first run's value is 0.
  EXPECT_EQ(loadLE32(&b[4328]), 3u);
  EXPECT_EQ(loadLE32(&b[4328 + 12]), 1000u);
  const size_t remove = 4328 + 4 * lp;
  const uint32_t lr = loadLE32(&b[remove]);
  EXPECT_EQ(loadLE32(&b[remove + 4]), 2u);
  EXPECT_EQ(loadLE32(&b[remove + 8]), 0xFFFFC000u);  // sign-extended -16384
  EXPECT_EQ(b.size(), remove + 4 + 4 * lr);

  // Loaded into a record of another picture: its width, height, resolution and mask
  // size stay; everything else comes from the file.
  YoxelPar t{};
  Init_YoxelPar(&t, 640, 480, 72, 0, 5);
  t.maskWidth = 6;
  t.maskHeight = 4;
  Init_YoxelMsk(&t, 8);
  ASSERT_EQ(Do_AYoxel_file(2, vmktest::SpecForPath(path), &t, 1, 6, 4, t.protectMask, t.removeMask),
            0);
  YoxelPar expect = s.r;
  expect.imageWidth = 640;
  expect.imageHeight = 480;
  expect.imageResolution = 72;
  expect.byteOrderFlag = HostOrderFlag();
  EXPECT_TRUE(SameWords(t, expect));
  EXPECT_EQ(0, std::memcmp(t.protectMask, s.r.protectMask, 24 * sizeof(int16_t)));
  EXPECT_EQ(0, std::memcmp(t.removeMask, s.r.removeMask, 24 * sizeof(int16_t)));
  Dele_YoxelMsk(&t);
}

TEST_F(ResizeFile, SmallerStoredMasksFillBlocksOfTheCallersMasks) {
  Sample s(500, 500);
  const std::string path = dir_.file("half.hyxl");
  ASSERT_EQ(Do_AYoxel_file(3, vmktest::SpecForPath(path), &s.r, 1, 500, 500, s.r.protectMask,
                           s.r.removeMask),
            0);
  YoxelPar t{};
  Init_YoxelPar(&t, 640, 480, 72, 1, 5);
  ASSERT_EQ(Do_AYoxel_file(2, vmktest::SpecForPath(path), &t, 1, t.maskWidth, t.maskHeight,
                           t.protectMask, t.removeMask),
            0);
  EXPECT_EQ(t.maskWidth, 1000);
  EXPECT_EQ(t.maskHeight, 1000);
  int32_t wrong = 0;
  for (int32_t r = 0; r < 1000; ++r)
    for (int32_t c = 0; c < 1000; ++c) {
      const int32_t from = (r / 2) * 500 + c / 2;
      wrong += t.protectMask[r * 1000 + c] != s.r.protectMask[from];
      wrong += t.removeMask[r * 1000 + c] != s.r.removeMask[from];
    }
  EXPECT_EQ(wrong, 0);
  Dele_YoxelMsk(&t);
}

TEST_F(ResizeFile, BigEndianRecordAndMissingMasks) {
  Sample s(4, 3);
  const std::string path = dir_.file("r.hyxl");
  // No remove mask: it is stored as nothing painted.
  ASSERT_EQ(Do_AYoxel_file(3, vmktest::SpecForPath(path), &s.r, 1, 4, 3, s.r.protectMask, nullptr),
            0);
  std::vector<uint8_t> b = vmktest::ReadBytes(path);
  const size_t remove = 4328 + 4 * loadLE32(&b[4324]);
  EXPECT_EQ(loadLE32(&b[remove]), 2u);
  EXPECT_EQ(loadLE32(&b[remove + 4]), 12u);
  EXPECT_EQ(loadLE32(&b[remove + 8]), 0u);

  // The record block of a big-endian writer (the mask section stays little-endian).
  for (size_t i = 4; i < 224; i += 4) std::reverse(b.begin() + i, b.begin() + i + 4);
  std::fill(b.begin(), b.begin() + 4, 0);
  vmktest::WriteBytes(dir_.file("big.hyxl"), b);
  YoxelPar t{};
  Init_YoxelPar(&t, 640, 480, 72, 0, 5);
  t.maskWidth = 4;
  t.maskHeight = 3;
  Init_YoxelMsk(&t, 5);
  ASSERT_EQ(Do_AYoxel_file(2, vmktest::SpecForPath(dir_.file("big.hyxl")), &t, 1, 4, 3,
                           t.protectMask, t.removeMask),
            0);
  EXPECT_EQ(t.targetQuad[5], -42);
  EXPECT_EQ(t.dialogSettings[2], 77);
  EXPECT_EQ(t.byteOrderFlag, HostOrderFlag());
  EXPECT_EQ(0, std::memcmp(t.protectMask, s.r.protectMask, 12 * sizeof(int16_t)));
  EXPECT_TRUE(std::all_of(t.removeMask, t.removeMask + 12, [](int16_t v) { return v == 0; }));
  Dele_YoxelMsk(&t);
}

TEST_F(ResizeFile, DamagedFilesLeaveRecordAndMasks) {
  plat::ui::ScriptedUi ui;
  plat::ui::ScopedServices scoped(&ui);
  Sample s(6, 4);
  const std::string path = dir_.file("r.hyxl");
  ASSERT_EQ(Do_AYoxel_file(3, vmktest::SpecForPath(path), &s.r, 1, 6, 4, s.r.protectMask,
                           s.r.removeMask),
            0);
  const std::vector<uint8_t> good = vmktest::ReadBytes(path);
  const size_t remove = 4328 + 4 * loadLE32(&good[4324]);

  YoxelPar t{};
  Init_YoxelPar(&t, 640, 480, 72, 0, 5);
  t.maskWidth = 6;
  t.maskHeight = 4;
  Init_YoxelMsk(&t, 8);
  const YoxelPar before = t;
  auto refused = [&](const std::vector<uint8_t>& bytes, const char* what, int32_t w = 6,
                     int32_t h = 4) {
    const std::string bad = dir_.file("bad.hyxl");
    vmktest::WriteBytes(bad, bytes);
    EXPECT_EQ(Do_AYoxel_file(2, vmktest::SpecForPath(bad), &t, 1, w, h, t.protectMask,
                             t.removeMask),
              -1)
        << what;
    EXPECT_TRUE(SameWords(t, before)) << what;
    EXPECT_TRUE(std::all_of(t.protectMask, t.protectMask + 35, [](int16_t v) { return v == 8; }))
        << what;
    EXPECT_TRUE(std::all_of(t.removeMask, t.removeMask + 35, [](int16_t v) { return v == 8; }))
        << what;
  };

  std::vector<uint8_t> b = good;
  plat::bytes::storeLE32(&b[remove + 4], 25);  // one run more than 6 x 4
  refused(b, "remove runs beyond the stored mask");
  b = good;
  plat::bytes::storeLE32(&b[4324], 0x01000000);
  refused(b, "a protect stream longer than the file");
  b = good;
  plat::bytes::storeLE32(&b[4324], 3);
  refused(b, "an odd stream");
  b = std::vector<uint8_t>(good.begin(), good.begin() + 4000);
  refused(b, "a cut record");
  b = std::vector<uint8_t>(good.begin(), good.end() - 4);
  refused(b, "a cut remove stream");
  // Masks too small for the size the caller names.
  refused(good, "masks smaller than 40 x 40", 40, 40);

  // Without masks, only the record is read: a file cut in its masks still loads.
  b = std::vector<uint8_t>(good.begin(), good.begin() + 4320);
  vmktest::WriteBytes(dir_.file("nomask.hyxl"), b);
  EXPECT_EQ(Do_AYoxel_file(2, vmktest::SpecForPath(dir_.file("nomask.hyxl")), &t, 0, 6, 4,
                           t.protectMask, t.removeMask),
            0);
  EXPECT_EQ(t.contrast, 33);
  EXPECT_EQ(t.imageWidth, 640);
  EXPECT_EQ(t.protectMask[0], 8);

  // The open dialog's type and prompt; other modes do nothing.
  ui.AnswerOpenFile(std::nullopt);
  EXPECT_EQ(Do_AYoxel_file(0, FSSpec{}, &t, 1, 6, 4, t.protectMask, t.removeMask), -1);
  EXPECT_EQ(ui.openRequests.back().prompt, "Load a New Yoxel...");
  EXPECT_EQ(ui.openRequests.back().types, std::vector<OSType>{FourCC("hYxl")});
  EXPECT_EQ(Do_AYoxel_file(4, vmktest::SpecForPath(path), &t, 1, 6, 4, t.protectMask, t.removeMask),
            0);
  Dele_YoxelMsk(&t);
}

}  // namespace
