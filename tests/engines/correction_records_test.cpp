#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engines/correction/resize_record.h"
#include "engines/records/param_record.h"
#include "platform/bytes/byte_order.h"
#include "raster/warp_frame_record.h"

namespace {

YoxelPar sampleRecord() {
  YoxelPar r{};
  r.byteOrderFlag = 1;
  r.recordVersion = 1;
  r.imageWidth = 3000;
  r.imageHeight = 2000;
  r.imageResolution = 300;
  r.overlayOpacity = 128;
  r.resizeMethod = 8;
  for (int k = 0; k < 8; ++k) {
    r.sourceQuad[k] = 1000 + k;
    r.targetQuad[k] = -2000 - k;
    r.middleQuad[k] = 3000 + k;
  }
  r.sharpenAmount = 5;
  r.fillMode = 2;
  r.fillBlue = 255;
  r.energySpread = 5;
  r.edgeKernel = 2;
  r.maskWidth = 1000;
  r.maskHeight = 1000;
  r.protectWeight = 100;
  r.removeWeight = 90;
  r.dialogSettings[1] = 40;
  r.dialogSettings[4] = 1;
  r.flipMode = 2;
  return r;
}

int32_t wordAt(const std::vector<uint8_t>& b, int word) {
  return static_cast<int32_t>(plat::bytes::loadLE32(b.data() + 4 * word));
}

TEST(ResizeRecordLayout, StoredBlockHoldsEachFieldAtItsWord) {
  YoxelPar r = sampleRecord();
  int16_t mask[4] = {};
  r.protectMask = mask;
  r.removeMask = mask;
  EXPECT_EQ(vmkrec::StoredSize(r), static_cast<size_t>(YoxelPar::kStoredSize));
  const std::vector<uint8_t> b = vmkrec::StoreRecord(r);
  ASSERT_EQ(b.size(), static_cast<size_t>(YoxelPar::kStoredSize));
  EXPECT_EQ(wordAt(b, 0), 1);
  EXPECT_EQ(wordAt(b, 2), 3000);
  EXPECT_EQ(wordAt(b, 4), 300);
  EXPECT_EQ(wordAt(b, 7), 128);
  EXPECT_EQ(wordAt(b, 9), 8);
  EXPECT_EQ(wordAt(b, 10), 1000);
  EXPECT_EQ(wordAt(b, 18), -2000);
  EXPECT_EQ(wordAt(b, 33), 3007);
  EXPECT_EQ(wordAt(b, 35), 5);
  EXPECT_EQ(wordAt(b, 36), 2);
  EXPECT_EQ(wordAt(b, 39), 255);
  EXPECT_EQ(wordAt(b, 44), 1000);
  // The mask references are never stored.
  EXPECT_EQ(wordAt(b, 46), 0);
  EXPECT_EQ(wordAt(b, 47), 0);
  EXPECT_EQ(wordAt(b, 49), 90);
  EXPECT_EQ(wordAt(b, 51), 40);
  EXPECT_EQ(wordAt(b, 55), 2);
  for (size_t i = 224; i < b.size(); ++i) ASSERT_EQ(b[i], 0) << i;
}

TEST(ResizeRecordLayout, BigEndianBlockReadsBackAndMasksStayTheCallers) {
  // A block of an older big-endian writer: word 0 is 0 and every word is
  // reversed.
  YoxelPar big = sampleRecord();
  std::vector<uint8_t> b = vmkrec::StoreRecord(big);
  for (int k = 1; k < 56; ++k) {
    const uint32_t v = plat::bytes::loadLE32(b.data() + 4 * k);
    plat::bytes::storeBE32(b.data() + 4 * k, v);
  }
  plat::bytes::storeLE32(b.data(), 0);

  YoxelPar back{};
  int16_t mine[4] = {};
  back.protectMask = mine;
  back.byteOrderFlag = 77;
  ASSERT_TRUE(vmkrec::LoadRecord(b.data(), b.size(), back));
  EXPECT_EQ(back.byteOrderFlag, HostOrderFlag());
  EXPECT_EQ(back.imageWidth, 3000);
  EXPECT_EQ(back.targetQuad[7], -2007);
  EXPECT_EQ(back.removeWeight, 90);
  EXPECT_EQ(back.dialogSettings[4], 1);
  EXPECT_EQ(back.flipMode, 2);
  EXPECT_EQ(back.protectMask, mine);
  EXPECT_EQ(back.removeMask, nullptr);

  // In-place conversion skips the mask references too.
  vmkrec::SwapRecord(back, 1, 1);
  EXPECT_EQ(back.byteOrderFlag, 1);
  EXPECT_EQ(back.imageWidth, static_cast<int32_t>(plat::bytes::swap32(3000)));
  EXPECT_EQ(back.protectMask, mine);
}

TEST(WarpFrameRecord, LatticeLimits) {
  auto frame = std::make_unique<TCWrap>();
  frame->columns = 100;
  frame->rows = 100;
  EXPECT_TRUE(TCWrapLatticeFits(*frame));
  frame->columns = 101;
  EXPECT_FALSE(TCWrapLatticeFits(*frame));
  frame->columns = 0;
  EXPECT_FALSE(TCWrapLatticeFits(*frame));
  EXPECT_EQ(sizeof(TCWrap), static_cast<size_t>(kTCWrapSize));
  // The second node set follows the first set's flags, word-aligned.
  EXPECT_EQ(offsetof(TCWrap, set2) - offsetof(TCWrap, flags1), static_cast<size_t>(10204));
}

}  // namespace
