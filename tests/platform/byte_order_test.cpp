#include "platform/bytes/byte_order.h"

#include <gtest/gtest.h>

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
