// Path-resource records: record counts and selectors, the repeated first
// knot of closed paths, paths left out, and the signed 8.24 fractions.
#include <algorithm>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "path_fixture.h"
#include "paths/path_list.h"
#include "paths/text_objects.h"
#include "platform/bytes/byte_order.h"

using pathtest::ClosedPath;
using pathtest::OpenPath;

namespace {

class PathResourceTest : public pathtest::PathTest {
 protected:
  std::vector<uint8_t> Export(CPathList& l, int32_t w, int32_t h, int32_t* records) {
    *records = 0;
    l.PathList_sizHandlRsrc(records);
    std::vector<uint8_t> block(static_cast<size_t>(*records) * 26 + 1, 0xAB);
    EXPECT_EQ(l.PathList_creaHandlRsrc(reinterpret_cast<char*>(block.data()), w, h), 5);
    EXPECT_EQ(block.back(), 0xAB);  // nothing past the counted records
    block.pop_back();
    return block;
  }
  static int32_t Be32(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<int32_t>(plat::bytes::loadBE32(b.data() + at));
  }
  static int16_t Be16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<int16_t>(plat::bytes::loadBE16(b.data() + at));
  }
};

TEST_F(PathResourceTest, OpenPathGivesLengthAndKnotRecords) {
  CPathList l(0);
  l.first = OpenPath({{50.0f, 25.0f}, {100.0f, 100.0f}});
  l.count = 1;
  l.first->first->outX = 75.0f;
  l.first->first->next->inY = 50.0f;
  int32_t n = 0;
  const std::vector<uint8_t> b = Export(l, 200, 100, &n);
  ASSERT_EQ(n, 3);
  EXPECT_EQ(Be16(b, 0), 3);
  EXPECT_EQ(Be16(b, 2), 2);
  EXPECT_TRUE(std::all_of(b.begin() + 4, b.begin() + 26, [](uint8_t v) { return v == 0; }));
  // First knot: preceding = the knot, anchor, leaving = its out point.
  EXPECT_EQ(Be16(b, 26), 5);
  EXPECT_EQ(Be32(b, 28), 1 << 22);   // y 25 / 100
  EXPECT_EQ(Be32(b, 32), 1 << 22);   // x 50 / 200
  EXPECT_EQ(Be32(b, 36), 1 << 22);
  EXPECT_EQ(Be32(b, 44), 1 << 22);   // leaving y
  EXPECT_EQ(Be32(b, 48), 3 << 21);   // leaving x 75 / 200
  // Second knot: preceding = its in point.
  EXPECT_EQ(Be32(b, 54), 1 << 23);
  EXPECT_EQ(Be32(b, 58), 1 << 23);
  EXPECT_EQ(Be32(b, 62), 1 << 24);
}

TEST_F(PathResourceTest, ClosedPathRepeatsFirstKnotAndStaysUnchanged) {
  CPathList l(0);
  l.first = ClosedPath({{10.0f, 10.0f}, {90.0f, 10.0f}, {50.0f, 80.0f}});
  l.count = 1;
  CPathPoint* k0 = l.first->first;
  k0->outX = 30.0f;
  k0->outY = 12.0f;
  k0->inX = 20.0f;
  k0->inY = 40.0f;
  int32_t n = 0;
  const std::vector<uint8_t> b = Export(l, 100, 100, &n);
  ASSERT_EQ(n, 5);
  EXPECT_EQ(Be16(b, 0), 0);
  EXPECT_EQ(Be16(b, 2), 4);
  const size_t last = 4 * 26;
  EXPECT_EQ(Be16(b, last), 5);
  EXPECT_EQ(Be32(b, last + 2), static_cast<int32_t>(0.4 * 16777216.0));  // in point
  EXPECT_EQ(Be32(b, last + 6), static_cast<int32_t>(0.2 * 16777216.0));
  EXPECT_EQ(Be32(b, last + 18), Be32(b, last + 10));  // leaving = the knot
  EXPECT_EQ(Be32(b, last + 22), Be32(b, last + 14));
  EXPECT_EQ(k0->outX, 30.0f);  // the path keeps its out point
  EXPECT_EQ(k0->outY, 12.0f);
}

TEST_F(PathResourceTest, ShortAndTextPathsAreLeftOutAndFractionsKeepTheirSign) {
  CPathList l(0);
  l.first = OpenPath({{1.0f, 1.0f}});
  l.first->next = OpenPath({{1.0f, 1.0f}, {2.0f, 2.0f}});
  l.first->next->txtPath = new CTxtPath;
  l.first->next->next = OpenPath({{-50.0f, -1700.0f}, {2000.0f, 3.0f}});
  l.count = 3;
  int32_t n = 0;
  const std::vector<uint8_t> b = Export(l, 100, 100, &n);
  ASSERT_EQ(n, 3);
  EXPECT_EQ(Be32(b, 28), -16 * (1 << 24));  // y -17 held at -16
  EXPECT_EQ(Be32(b, 32), -(1 << 23));       // x -0.5 in two's complement
  EXPECT_EQ(Be32(b, 66), 16 * (1 << 24));   // x 20 held at 16
}

}  // namespace
