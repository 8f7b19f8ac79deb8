#include "raster/run_length.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "raster/crop_box.h"

namespace {

using Words = std::vector<uint32_t>;

// Measures, encodes and returns the coded words of a char buffer.
Words EncodeChar(std::vector<uint8_t> buf, int32_t w, int32_t h) {
  int32_t count = -7;
  EXPECT_EQ(encodeRLEcharbuf(0, &count, w, h, buf.data(), nullptr), 0);
  Words coded(static_cast<size_t>(count), 0xDEADBEEFu);
  int32_t untouched = 12345;
  EXPECT_EQ(encodeRLEcharbuf(1, &untouched, w, h, buf.data(), coded.data()), 0);
  EXPECT_EQ(untouched, 12345);  // encoding does not write the count
  return coded;
}

TEST(RunLength, EqualSamplesCodeToOnePair) {
  EXPECT_EQ(EncodeChar(std::vector<uint8_t>(12, 7), 4, 3), (Words{12, 7}));
}

TEST(RunLength, AlternatingSamplesCodeToOnePairEach) {
  const Words w = EncodeChar({1, 2, 1, 2, 1}, 5, 1);
  EXPECT_EQ(w, (Words{1, 1, 1, 2, 1, 1, 1, 2, 1, 1}));
}

TEST(RunLength, RunsCrossRowEnds) {
  EXPECT_EQ(EncodeChar({0, 0, 0, 0, 3, 3}, 2, 3), (Words{4, 0, 2, 3}));
}

TEST(RunLength, ValuesAreSignExtendedAndRoundTrip) {
  std::vector<uint8_t> c = {255, 255, 200, 1};
  const Words cw = EncodeChar(c, 4, 1);
  EXPECT_EQ(cw, (Words{2, 0xFFFFFFFFu, 1, 0xFFFFFFC8u, 1, 1}));
  std::vector<uint8_t> back(4, 0);
  int32_t n = static_cast<int32_t>(cw.size());
  Words cwCopy = cw;
  ASSERT_EQ(encodeRLEcharbuf(2, &n, 4, 1, back.data(), cwCopy.data()), 0);
  EXPECT_EQ(back, c);

  std::vector<int16_t> s = {-2, -2, 32767, 16384, 16384};
  int32_t count = 0;
  ASSERT_EQ(encodeRLEshortbuf(0, &count, 5, 1, s.data(), nullptr), 0);
  ASSERT_EQ(count, 6);
  Words sw(6);
  ASSERT_EQ(encodeRLEshortbuf(1, &count, 5, 1, s.data(), sw.data()), 0);
  EXPECT_EQ(sw, (Words{2, 0xFFFFFFFEu, 1, 32767, 2, 16384}));
  std::vector<int16_t> sback(5, 0);
  ASSERT_EQ(encodeRLEshortbuf(2, &count, 5, 1, sback.data(), sw.data()), 0);
  EXPECT_EQ(sback, s);

  std::vector<uint32_t> l = {0x80000000u, 0x80000000u, 5};
  ASSERT_EQ(encodeRLElongbuf(0, &count, 3, 1, l.data(), nullptr), 0);
  Words lw(static_cast<size_t>(count));
  ASSERT_EQ(encodeRLElongbuf(1, &count, 3, 1, l.data(), lw.data()), 0);
  EXPECT_EQ(lw, (Words{2, 0x80000000u, 1, 5}));
  std::vector<uint32_t> lback(3, 0);
  ASSERT_EQ(encodeRLElongbuf(2, &count, 3, 1, lback.data(), lw.data()), 0);
  EXPECT_EQ(lback, l);
}

// Long runs are passed a block at a time: every run length around the block's 64 samples,
// ending anywhere in a block, at the buffer's end or just short of it, codes as the sample by
// sample walk does and decodes back, for all three widths.
template <typename T, typename Encode>
void LongRunsCodeAsThePlainWalk(Encode encode) {
  for (int32_t first : {1, 62, 63, 64, 65, 127, 128, 129, 200}) {
    for (int32_t tail : {0, 1, 63, 64, 65}) {
      std::vector<T> buf;
      buf.insert(buf.end(), static_cast<size_t>(first), static_cast<T>(5));
      buf.push_back(static_cast<T>(6));  // a single sample between two runs
      buf.insert(buf.end(), static_cast<size_t>(first), static_cast<T>(5));
      buf.insert(buf.end(), static_cast<size_t>(tail), static_cast<T>(7));
      const auto n = static_cast<int32_t>(buf.size());
      Words plain;
      for (int32_t i = 0; i < n;) {
        int32_t j = i + 1;
        while (j < n && buf[static_cast<size_t>(j)] == buf[static_cast<size_t>(i)]) ++j;
        plain.push_back(static_cast<uint32_t>(j - i));
        plain.push_back(static_cast<uint32_t>(static_cast<int32_t>(buf[static_cast<size_t>(i)])));
        i = j;
      }
      int32_t count = 0;
      ASSERT_EQ(encode(0, &count, n, buf.data(), nullptr), 0);
      Words coded(static_cast<size_t>(count));
      ASSERT_EQ(encode(1, &count, n, buf.data(), coded.data()), 0);
      EXPECT_EQ(coded, plain) << first << " " << tail;
      std::vector<T> back(buf.size(), static_cast<T>(99));
      ASSERT_EQ(encode(2, &count, n, back.data(), coded.data()), 0);
      EXPECT_EQ(back, buf) << first << " " << tail;
    }
  }
}

TEST(RunLength, LongRunsCodeAsThePlainWalk) {
  LongRunsCodeAsThePlainWalk<uint8_t>([](int16_t m, int32_t* c, int32_t n, uint8_t* b, uint32_t* w) {
    return encodeRLEcharbuf(m, c, n, 1, b, w);
  });
  LongRunsCodeAsThePlainWalk<int16_t>([](int16_t m, int32_t* c, int32_t n, int16_t* b, uint32_t* w) {
    return encodeRLEshortbuf(m, c, 1, n, b, w);
  });
  LongRunsCodeAsThePlainWalk<uint32_t>([](int16_t m, int32_t* c, int32_t n, uint32_t* b, uint32_t* w) {
    return encodeRLElongbuf(m, c, n, 1, b, w);
  });
}

TEST(RunLength, DecodingUsesOnlyTheLowBitsAndSkipsEmptyRuns) {
  Words coded = {0, 9, 2, 0x12345678u, 0xFFFFFFFFu, 3, 1, 0xABCDu};
  int32_t n = 8;
  std::vector<uint8_t> c(3, 0);
  ASSERT_EQ(encodeRLEcharbuf(2, &n, 3, 1, c.data(), coded.data()), 0);
  EXPECT_EQ(c, (std::vector<uint8_t>{0x78, 0x78, 0xCD}));
  std::vector<int16_t> s(3, 0);
  ASSERT_EQ(encodeRLEshortbuf(2, &n, 3, 1, s.data(), coded.data()), 0);
  EXPECT_EQ(s, (std::vector<int16_t>{0x5678, 0x5678, static_cast<int16_t>(0xABCD)}));
}

TEST(RunLength, ZeroWordsLeaveTheBuffer) {
  std::vector<uint8_t> c(4, 42);
  int32_t n = 0;
  Words none;
  EXPECT_EQ(encodeRLEcharbuf(2, &n, 2, 2, c.data(), none.data()), 0);
  EXPECT_EQ(c, std::vector<uint8_t>(4, 42));
}

TEST(RunLength, DamagedStreamsAreRefusedByEveryDecoder) {
  // Runs adding up to more than the buffer, an odd count, a negative count.
  const std::vector<Words> streams = {{3, 1, 2, 2}, {0x7FFFFFFFu, 1}, {2, 1, 2}};
  const std::vector<int32_t> counts = {4, 2, 3};
  for (size_t i = 0; i < streams.size(); ++i) {
    Words s = streams[i];
    int32_t n = counts[i];
    std::vector<uint8_t> c(4, 42);
    EXPECT_EQ(encodeRLEcharbuf(2, &n, 2, 2, c.data(), s.data()), -1) << i;
    EXPECT_EQ(c, std::vector<uint8_t>(4, 42));
    std::vector<int16_t> h(4, 42);
    EXPECT_EQ(encodeRLEshortbuf(2, &n, 4, 1, h.data(), s.data()), -1) << i;
    EXPECT_EQ(h, std::vector<int16_t>(4, 42));
    std::vector<uint32_t> l(4, 42);
    EXPECT_EQ(encodeRLElongbuf(2, &n, 1, 4, l.data(), s.data()), -1) << i;
    EXPECT_EQ(l, std::vector<uint32_t>(4, 42));
  }
  Words s = {1, 1};
  int32_t negative = -2;
  std::vector<uint8_t> c(4, 42);
  EXPECT_EQ(encodeRLEcharbuf(2, &negative, 2, 2, c.data(), s.data()), -1);
  EXPECT_EQ(c, std::vector<uint8_t>(4, 42));
}

TEST(RunLength, EmptyBuffersAndUnknownModes) {
  std::vector<uint8_t> c(1, 0);
  int32_t n = 99;
  EXPECT_EQ(encodeRLEcharbuf(0, &n, 0, 5, c.data(), nullptr), -1);
  EXPECT_EQ(n, 99);
  EXPECT_EQ(encodeRLEshortbuf(0, &n, 3, -1, nullptr, nullptr), -1);
  EXPECT_EQ(encodeRLElongbuf(0, &n, 0, 0, nullptr, nullptr), -1);
  EXPECT_EQ(encodeRLEcharbuf(3, &n, 1, 1, c.data(), nullptr), 0);
  EXPECT_EQ(n, 99);
}

struct Box {
  int32_t l = -9, t = -9, r = -9, b = -9;
  bool operator==(const Box& o) const { return l == o.l && t == o.t && r == o.r && b == o.b; }
};

Box Crop(const std::vector<uint8_t>& p, int32_t w, int32_t h) {
  Box b;
  inCropbuf(w, h, p.data(), &b.l, &b.t, &b.r, &b.b);
  return b;
}

TEST(CropBox, MarginOfOneWhereThePlaneAllows) {
  std::vector<uint8_t> p(6 * 5, 0);
  p[0] = 1;
  EXPECT_EQ(Crop(p, 6, 5), (Box{0, 0, 1, 1}));
  p[0] = 0;
  p[6 * 5 - 1] = 9;
  EXPECT_EQ(Crop(p, 6, 5), (Box{4, 3, 5, 4}));
  p[6 * 5 - 1] = 0;
  p[2 * 6 + 3] = 200;
  EXPECT_EQ(Crop(p, 6, 5), (Box{2, 1, 4, 3}));
  p[1 * 6 + 1] = 1;
  EXPECT_EQ(Crop(p, 6, 5), (Box{0, 0, 4, 3}));
}

TEST(CropBox, EmptyPlane) {
  EXPECT_EQ(Crop(std::vector<uint8_t>(6 * 5, 0), 6, 5), (Box{0, 0, 6, 4}));
}

}  // namespace
