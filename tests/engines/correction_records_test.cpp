#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engines/correction/resize_record.h"
#include "engines/correction/warp_frame_record.h"
#include "platform/bytes/byte_order.h"

namespace {

using plat::bytes::Order;
using plat::bytes::Reader;
using plat::bytes::Writer;

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

TEST(ResizeRecordLayout, StoredBlockHasTheDocumentedWords) {
  YoxelPar r = sampleRecord();
  int16_t mask[4] = {};
  r.protectMask = mask;
  r.removeMask = mask;
  Writer w;
  WriteYoxelParBlock(r, w);
  const auto& b = w.bytes();
  ASSERT_EQ(b.size(), static_cast<size_t>(kYoxelParStoredSize));
  EXPECT_EQ(wordAt(b, 0), 1);
  EXPECT_EQ(wordAt(b, 2), 3000);
  EXPECT_EQ(wordAt(b, 4), 300);
  EXPECT_EQ(wordAt(b, 9), 8);
  EXPECT_EQ(wordAt(b, 10), 1000);
  EXPECT_EQ(wordAt(b, 18), -2000);
  EXPECT_EQ(wordAt(b, 33), 3007);
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

TEST(ResizeRecordLayout, RoundTripKeepsTheCallersMasks) {
  const YoxelPar original = sampleRecord();
  for (Order order : {Order::Little, Order::Big}) {
    Writer w(order);
    WriteYoxelParBlock(original, w);
    // A big-endian block says so with a zero first word.
    EXPECT_EQ(w.bytes()[0], order == Order::Little ? 1 : 0);
    YoxelPar back{};
    int16_t mine[4] = {};
    back.protectMask = mine;
    back.removeMask = nullptr;
    back.byteOrderFlag = 77;
    Reader r(w.bytes());
    ASSERT_EQ(ReadYoxelParBlock(r, back), 0);
    EXPECT_EQ(r.pos(), static_cast<size_t>(kYoxelParStoredSize));
    EXPECT_EQ(back.byteOrderFlag, 1);  // this host's order
    EXPECT_EQ(back.imageWidth, 3000);
    EXPECT_EQ(back.targetQuad[7], -2007);
    EXPECT_EQ(back.removeWeight, 90);
    EXPECT_EQ(back.dialogSettings[4], 1);
    EXPECT_EQ(back.flipMode, 2);
    EXPECT_EQ(back.protectMask, mine);
    EXPECT_EQ(back.removeMask, nullptr);
  }
}

TEST(ResizeRecordLayout, ShortBlockIsRefusedAndLeavesTheRecord) {
  Writer w;
  WriteYoxelParBlock(sampleRecord(), w);
  std::vector<uint8_t> cut(w.bytes().begin(), w.bytes().end() - 1);
  YoxelPar back{};
  back.imageWidth = 640;
  Reader r(cut);
  EXPECT_EQ(ReadYoxelParBlock(r, back), -1);
  EXPECT_EQ(back.imageWidth, 640);
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
