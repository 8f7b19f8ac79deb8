#include "app/core/text_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

std::string P(const unsigned char* s) { return std::string(PStrView(s)); }

TEST(PascalStrings, ConversionsCutAt255WithAConsistentLength) {
  char c[400];
  std::memset(c, 'x', 300);
  c[300] = 0;
  CPstr(c);
  EXPECT_EQ(static_cast<unsigned char>(c[0]), 255);

  Str255 p;
  std::string long300(300, 'y');
  CToPStrCopy(p, long300.c_str());
  EXPECT_EQ(p[0], 255);
  EXPECT_EQ(P(p), std::string(255, 'y'));

  CToPStrCopy(p, "Tiles");
  char back[256];
  PToCStrCopy(back, p);
  EXPECT_STREQ(back, "Tiles");
  PCstr(p);
  EXPECT_STREQ(reinterpret_cast<char*>(p), "Tiles");

  // 255 characters survive the trip through a C string whole.
  SetPStr(p, std::string(255, 'z'));
  PCstr(p);
  EXPECT_EQ(std::strlen(reinterpret_cast<char*>(p)), 255u);
}

TEST(PascalStrings, ConcatenationStopsAt255) {
  Str255 a, b;
  SetPStr(a, std::string(200, 'a'));
  SetPStr(b, std::string(100, 'b'));
  Pstrcat(a, b);
  EXPECT_EQ(a[0], 255);
  EXPECT_EQ(P(a), std::string(200, 'a') + std::string(55, 'b'));
  // Appending a string to itself.
  SetPStr(a, "ab");
  Pstrcat(a, a);
  EXPECT_EQ(P(a), "abab");
  pStrCopy(a, b);
  EXPECT_EQ(P(b), "abab");
}

TEST(PascalStrings, CutCopyKeepsTheLengthByteTruthful) {
  Str255 a;
  SetPStr(a, std::string(255, 'x'));
  // A 255-byte field holds 254 characters; the byte after them stays.
  unsigned char field[256];
  std::memset(field, 0x5A, sizeof field);
  PStrCopyCut(field, a, 254);
  EXPECT_EQ(field[0], 254);
  EXPECT_EQ(field[254], 'x');
  EXPECT_EQ(field[255], 0x5A);
  // A shorter string is copied whole.
  SetPStr(a, "link");
  PStrCopyCut(field, a, 254);
  EXPECT_EQ(P(field), "link");
  EXPECT_EQ(field[5], 'x');
  // In place, only the length changes.
  PStrCopyCut(a, a, 2);
  EXPECT_EQ(P(a), "li");
}

TEST(PascalStrings, EqualityAndFolderNames) {
  Str255 a, b;
  SetPStr(a, "ab");
  SetPStr(b, "abc");
  EXPECT_EQ(Pasc_streql(a, b), 0);
  SetPStr(b, "aB");
  EXPECT_EQ(Pasc_streql(a, b), 0);
  SetPStr(a, "");
  SetPStr(b, "");
  EXPECT_EQ(Pasc_streql(a, b), 1);

  Str255 path, name;
  SetPStr(path, "Disk:Images:Tiles:");
  StrFolderUp(path, name);
  EXPECT_EQ(P(name), "Tiles");
  // Any length up to 255.
  const std::string deep = "Disk:" + std::string(200, 'd') + ":" + std::string(48, 'e') + ":";
  ASSERT_EQ(deep.size(), 255u);
  SetPStr(path, deep);
  StrFolderUp(path, name);
  EXPECT_EQ(P(name), std::string(48, 'e'));
  SetPStr(path, "Disk:");
  StrFolderUp(path, name);
  EXPECT_EQ(P(name), "Disk");
}

TEST(Numbers, TextToNumberAndBack) {
  int32_t v = 99;
  VMK_StringToNum("  -42xyz", &v);
  EXPECT_EQ(v, -42);
  VMK_StringToNum("abc", &v);
  EXPECT_EQ(v, 0);
  VMK_StringToNum("99999999999", &v);
  EXPECT_EQ(v, 2147483647);
  VMK_StringToNum("-99999999999", &v);
  EXPECT_EQ(v, -2147483647 - 1);

  Str255 s;
  VMK_NumToString(-2147483647 - 1, s);
  EXPECT_EQ(P(s), "-2147483648");
  VMK_NumToString(0, s);
  EXPECT_EQ(P(s), "0");
}

TEST(Numbers, ConvertStringTakesOnlyDigitsInRange) {
  Str255 s;
  int16_t v = 7;
  SetPStr(s, "150");
  EXPECT_EQ(ConvertString(s, &v, 0, 200), 1);
  EXPECT_EQ(v, 150);
  v = 7;
  for (const char* bad : {"-5", "+5", "1.5", "", "5 ", "201", "99999999999999"}) {
    SetPStr(s, bad);
    EXPECT_EQ(ConvertString(s, &v, 0, 200), 0) << bad;
    EXPECT_EQ(v, 7) << bad;
  }
}

TEST(Numbers, FloatToStrRoundsItsLastDigit) {
  char t[64];
  EXPECT_EQ(FloatToStr(t, 1.05f, 3), t + 6);
  EXPECT_STREQ(t, "1.0500");
  FloatToStr(t, -0.5f, 3);
  EXPECT_STREQ(t, "-0.5000");
  FloatToStr(t, 1.99999f, 3);
  EXPECT_STREQ(t, "2.0000");
  FloatToStr(t, -1.99999f, 3);
  EXPECT_STREQ(t, "-2.0000");
  FloatToStr(t, 3.25f, -2);
  EXPECT_STREQ(t, "3.3");
  FloatToStr(t, 0.0f, 0);
  EXPECT_STREQ(t, "0.0");
  FloatToStr(t, 12.0625f, 2);
  EXPECT_STREQ(t, "12.063");
  FloatToStr(t, 1e30f, 3);
  EXPECT_EQ(std::string(t).substr(std::strlen(t) - 5), ".0000");
}

TEST(Units, PixelsFromUnitsTruncateOrRoundAsEachUnitDoes) {
  int32_t px = -1;
  pixfromunit(&px, kUnitMillimetres, 10.0f, 300.0f);
  EXPECT_EQ(px, 118);
  pixfromunit(&px, kUnitInches, 1.0f, 72.5f);
  EXPECT_EQ(px, 72);
  pixfromunit(&px, kUnitPixels, 12.9f, 300.0f);
  EXPECT_EQ(px, 12);
  pixfromunit(&px, kUnitPoints, 36.0f, 300.0f);
  EXPECT_EQ(px, 150);
  pixfromunit(&px, kUnitPicas, 1.0f, 300.0f);
  EXPECT_EQ(px, 50);
  px = -1;
  pixfromunit(&px, 6, 1.0f, 300.0f);
  pixfromunit(&px, 0, 1.0f, 300.0f);
  EXPECT_EQ(px, -1);
  pixfromunit(&px, kUnitInches, 1e30f, 300.0f);
  EXPECT_EQ(px, 2147483647);

  float v = -1.0f;
  valfromunit(300, kUnitPoints, &v, 300.0f);
  EXPECT_EQ(v, 72.0f);
  valfromunit(300, kUnitInches, &v, 300.0f);
  EXPECT_EQ(v, 1.0f);
  valfromunit(118, kUnitMillimetres, &v, 300.0f);
  EXPECT_NEAR(v, 9.99066f, 1e-4f);
  valfromunit(50, kUnitPicas, &v, 300.0f);
  EXPECT_EQ(v, 1.0f);
  valfromunit(7, kUnitPixels, &v, 300.0f);
  EXPECT_EQ(v, 7.0f);
  v = -1.0f;
  valfromunit(7, 9, &v, 300.0f);
  EXPECT_EQ(v, -1.0f);
}

TEST(Rects, ConversionsAndInsideTest) {
  Rect r;
  ConvertCGRecttoRect(CGRect{{10.7f, -3.9f}, {5.5f, 7.0f}}, &r);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.top, -3);
  EXPECT_EQ(r.right, 16);
  EXPECT_EQ(r.bottom, 3);
  ConvertCGRecttoRect(0.0f, 0.0f, 1e9f, -1e9f, &r);
  EXPECT_EQ(r.right, 32767);
  EXPECT_EQ(r.bottom, -32768);
  CGRect c;
  VMK_SetRect(&r, 1, 2, 11, 22);
  ConvertRecttoCGRect(r, &c);
  EXPECT_EQ(c.origin.x, 1.0f);
  EXPECT_EQ(c.origin.y, 2.0f);
  EXPECT_EQ(c.size.width, 10.0f);
  EXPECT_EQ(c.size.height, 20.0f);

  setuprect(&r, Point{20, 5}, Point{4, 9});
  EXPECT_EQ(r.top, 4);
  EXPECT_EQ(r.left, 5);
  EXPECT_EQ(r.bottom, 20);
  EXPECT_EQ(r.right, 9);
  EXPECT_EQ(InRect(r, Point{10, 7}), 1);
  EXPECT_EQ(InRect(r, Point{10, 5}), 0);  // on the left edge
  EXPECT_EQ(InRect(r, Point{4, 7}), 0);
  EXPECT_EQ(InRect(r, Point{20, 7}), 0);
  EXPECT_EQ(InRect(r, Point{10, 9}), 0);
}

TEST(Sorting, QuickSortSortsEveryShapeOfInput) {
  std::vector<int32_t> equal(13, 4);
  QuickSort(equal.data(), 0, 12);
  EXPECT_EQ(equal, std::vector<int32_t>(13, 4));
  int32_t one[1] = {9};
  QuickSort(one, 0, 0);
  EXPECT_EQ(one[0], 9);

  std::mt19937 gen(5);
  for (int size : {2, 12, 13, 14, 50, 1000}) {
    for (int range : {3, 1000000}) {
      std::vector<int32_t> v(static_cast<size_t>(size));
      for (auto& x : v) x = static_cast<int32_t>(gen() % static_cast<uint32_t>(range)) - range / 2;
      std::vector<int32_t> want = v;
      std::sort(want.begin(), want.end());
      QuickSort(v.data(), 0, size - 1);
      EXPECT_EQ(v, want) << size << " " << range;
    }
  }
  // Only the given range moves.
  std::vector<int32_t> part{9, 8, 7, 6, 5, 4, 3, 2, 1, 0, -1, -2, -3, -4, -5, -6, -7, 100};
  QuickSort(part.data(), 1, 16);
  EXPECT_EQ(part.front(), 9);
  EXPECT_EQ(part.back(), 100);
  EXPECT_TRUE(std::is_sorted(part.begin() + 1, part.end() - 1));
  std::vector<int32_t> descending(40);
  for (int i = 0; i < 40; ++i) descending[static_cast<size_t>(i)] = 40 - i;
  QuickSort(descending.data(), 0, 39);
  EXPECT_TRUE(std::is_sorted(descending.begin(), descending.end()));
}

TEST(RunLength, PackBitsCodesRunsAndStretches) {
  const std::vector<uint8_t> src{1, 1, 1, 2, 3, 4, 4, 5};
  std::vector<uint8_t> packed(16);
  int32_t len = 0;
  PackBit(src.data(), 8, packed.data(), &len);
  packed.resize(static_cast<size_t>(len));
  EXPECT_EQ(packed, (std::vector<uint8_t>{0xFE, 1, 1, 2, 3, 0xFF, 4, 0, 5}));

  std::vector<uint8_t> out(8);
  const uint8_t* end = UnPackBit(packed.data(), out.data(), 8);
  EXPECT_EQ(out, src);
  EXPECT_EQ(end, packed.data() + 7);  // the header of the last packet

  // Long runs and long stretches split at 128.
  std::vector<uint8_t> big(300, 7);
  for (int i = 0; i < 140; ++i) big[static_cast<size_t>(160 + i)] = static_cast<uint8_t>(i);
  std::vector<uint8_t> coded(400);
  PackBit(big.data(), 300, coded.data(), &len);
  EXPECT_EQ(coded[0], static_cast<uint8_t>(-127));
  std::vector<uint8_t> back(300);
  UnPackBit(coded.data(), back.data(), 300);
  EXPECT_EQ(back, big);

  // Decoding stops at the count, inside a packet.
  std::vector<uint8_t> guard(8, 0xAA);
  UnPackBit(coded.data(), guard.data(), 3);
  EXPECT_EQ(guard[2], 7);
  EXPECT_EQ(guard[3], 0xAA);
  // -128 is skipped with the byte after it.
  const uint8_t odd[] = {0x80, 9, 0x00, 5};
  uint8_t one_byte = 0;
  UnPackBit(odd, &one_byte, 1);
  EXPECT_EQ(one_byte, 5);
}

}  // namespace
