#include "platform/bytes/byte_order.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <optional>
#include <vector>

using namespace plat::bytes;

TEST(ByteOrder, WriterAndReaderAgreeInBothOrders) {
  for (Order o : {Order::Little, Order::Big}) {
    Writer w(o);
    w.i16(-2);
    w.u32(0x01020304u);
    w.f32(1.5f);
    w.f64(-0.25);
    w.fourCC(0x68566967u);  // 'hVig'
    Reader r(w.bytes(), o);
    EXPECT_EQ(r.i16(), -2);
    EXPECT_EQ(r.u32(), 0x01020304u);
    EXPECT_EQ(r.f32(), 1.5f);
    EXPECT_EQ(r.f64(), -0.25);
    EXPECT_EQ(r.fourCC(), 0x68566967u);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.remaining(), 0u);
  }
}

TEST(ByteOrder, LayoutsAreExplicit) {
  Writer le(Order::Little), be(Order::Big);
  le.u32(0x68566967u);
  be.u32(0x68566967u);
  EXPECT_EQ(le.bytes(), (std::vector<uint8_t>{0x67, 0x69, 0x56, 0x68}));
  EXPECT_EQ(be.bytes(), (std::vector<uint8_t>{'h', 'V', 'i', 'g'}));
}

TEST(ByteOrder, ShortReadFailsAndYieldsZeros) {
  std::vector<uint8_t> three{1, 2, 3};
  Reader r(three);
  EXPECT_EQ(r.u16(), 0x0201);
  EXPECT_EQ(r.u32(), 0u);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.u8(), 0);  // stays failed
}

TEST(ByteOrder, ForcedHostOrderSwapsConversions) {
  setHostOrderForTesting(Order::Big);
  EXPECT_EQ(hostToLittle32(0x11223344u), 0x44332211u);
  EXPECT_EQ(hostToBig16(0x1122), 0x1122);
  setHostOrderForTesting(Order::Little);
  EXPECT_EQ(hostToLittle32(0x11223344u), 0x11223344u);
  EXPECT_EQ(hostToBig16(0x1122), 0x2211);
  setHostOrderForTesting(std::nullopt);
}

// The array forms give the bytes and values a loop of the single forms gives, in both orders
// (one of them the host's, taken by a copy), with the host order forced or not; a read that
// runs short fails at the same element, zeros the rest and leaves the position where the
// single forms leave it.
TEST(ByteOrder, ArraysAreTheSingleFormsInALoop) {
  const uint16_t u16[] = {0x0102, 0xFFFE, 0, 0x8000, 0x7FFF};
  const int16_t i16[] = {-2, 3, -32768, 32767, 0};
  const uint32_t u32[] = {0x01020304u, 0xFFFFFFFEu, 0, 0x80000000u, 7};
  const int32_t i32[] = {-5, 1 << 30, INT32_MIN, INT32_MAX, 0};
  const float f32[] = {1.5f, -0.0f, 3.4e38f, -1e-30f, 0.25f};
  for (std::optional<Order> forced : {std::optional<Order>{}, std::optional<Order>{Order::Big}}) {
    setHostOrderForTesting(forced);
    for (Order o : {Order::Little, Order::Big}) {
      for (size_t n : {size_t{0}, size_t{1}, size_t{5}}) {
        Writer one(o), all(o);
        for (size_t i = 0; i < n; ++i) {
          one.u16(u16[i]);
          one.i16(i16[i]);
          one.u32(u32[i]);
          one.i32(i32[i]);
          one.f32(f32[i]);
        }
        all.u16s(u16, n);
        all.i16s(i16, n);
        all.u32s(u32, n);
        all.i32s(i32, n);
        all.f32s(f32, n);
        std::vector<uint8_t> reordered;  // the single forms field by field, the arrays array by array
        {
          Writer w(o);
          for (size_t i = 0; i < n; ++i) w.u16(u16[i]);
          for (size_t i = 0; i < n; ++i) w.i16(i16[i]);
          for (size_t i = 0; i < n; ++i) w.u32(u32[i]);
          for (size_t i = 0; i < n; ++i) w.i32(i32[i]);
          for (size_t i = 0; i < n; ++i) w.f32(f32[i]);
          reordered = w.take();
        }
        EXPECT_EQ(all.bytes(), reordered);
        EXPECT_EQ(one.size(), all.size());
        Reader r(all.bytes(), o);
        uint16_t a[5];
        int16_t b[5];
        uint32_t c[5];
        int32_t d[5];
        float e[5];
        r.u16s(a, n);
        r.i16s(b, n);
        r.u32s(c, n);
        r.i32s(d, n);
        r.f32s(e, n);
        EXPECT_TRUE(r.ok());
        EXPECT_EQ(r.remaining(), 0u);
        for (size_t i = 0; i < n; ++i) {
          EXPECT_EQ(a[i], u16[i]);
          EXPECT_EQ(b[i], i16[i]);
          EXPECT_EQ(c[i], u32[i]);
          EXPECT_EQ(d[i], i32[i]);
          EXPECT_EQ(std::bit_cast<uint32_t>(e[i]), std::bit_cast<uint32_t>(f32[i]));
        }
      }
      // Seven bytes hold three 16-bit numbers and one 32-bit number, not more.
      const std::vector<uint8_t> seven = {1, 2, 3, 4, 5, 6, 7};
      for (size_t width : {size_t{2}, size_t{4}}) {
        Reader single(seven, o), array(seven, o);
        uint32_t want[5], got[5] = {9, 9, 9, 9, 9};
        for (uint32_t& v : want) v = width == 2 ? single.u16() : single.u32();
        if (width == 2) {
          uint16_t g[5] = {9, 9, 9, 9, 9};
          array.u16s(g, 5);
          for (int i = 0; i < 5; ++i) got[i] = g[i];
        } else {
          array.u32s(got, 5);
        }
        EXPECT_EQ(std::vector<uint32_t>(got, got + 5), std::vector<uint32_t>(want, want + 5)) << width;
        EXPECT_FALSE(array.ok());
        EXPECT_EQ(array.pos(), single.pos());
        float f[2] = {9.0f, 9.0f};
        array.f32s(f, 2);  // a failed reader reads nothing more
        EXPECT_EQ(f[0], 0.0f);
        EXPECT_EQ(array.pos(), single.pos());
      }
    }
  }
  setHostOrderForTesting(std::nullopt);
}
