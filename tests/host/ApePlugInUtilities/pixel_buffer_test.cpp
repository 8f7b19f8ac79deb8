#include "host/ApePlugInUtilities/pixel_buffer.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(PixelBuffer, RowsArePaddedToSixteenBytes) {
  EXPECT_EQ(PixelBuffer(100, 1, 1, 4).rowBytes(), 400u);
  EXPECT_EQ(PixelBuffer(3, 1, 1, 4).rowBytes(), 16u);
  EXPECT_EQ(PixelBuffer(4, 1, 1, 4).rowBytes(), 16u);
  EXPECT_EQ(PixelBuffer(5, 1, 1, 4).rowBytes(), 32u);
  EXPECT_EQ(PixelBuffer(5, 1, 2, 4).rowBytes(), 48u);
  EXPECT_EQ(PixelBuffer(3, 1, 4, 4).rowBytes(), 48u);
  // Rows that cannot be addressed in 32 bits give the empty buffer.
  const PixelBuffer huge(0x40000000u, 1, 4, 4);
  EXPECT_EQ(huge.width(), 0u);
  EXPECT_EQ(huge.height(), 0u);
}

TEST(PixelBuffer, NewBuffersAreZeroedAndEmptyOnesHaveNoRows) {
  const PixelBuffer b(3, 2, 2, 4);
  for (uint32_t y = 0; y < 2; ++y)
    for (uint32_t i = 0; i < b.rowBytes(); ++i) EXPECT_EQ(b.rowPtr(y)[i], 0);
  const PixelBuffer empty;
  EXPECT_EQ(empty.width(), 0u);
  EXPECT_THROW(empty.rowPtr(0), std::out_of_range);
  EXPECT_THROW(b.rowPtr(2), std::out_of_range);
  try {
    b.rowPtr(7);
  } catch (const std::out_of_range& e) {
    EXPECT_STREQ(e.what(), "");
  }
}

TEST(PixelBuffer, CopiesShareUntilOneIsWritten) {
  PixelBuffer a(4, 2, 1, 4);
  a.rowPtr(1)[5] = 77;
  PixelBuffer b = a;
  EXPECT_TRUE(b.sharesBodyWith(a));
  EXPECT_EQ(a.shareCount(), 2u);

  b = b;  // self-assignment keeps body and count
  EXPECT_TRUE(b.sharesBodyWith(a));
  EXPECT_EQ(a.shareCount(), 2u);

  b.rowPtr(1)[5] = 99;  // separates b
  EXPECT_FALSE(b.sharesBodyWith(a));
  EXPECT_EQ(a.shareCount(), 1u);
  EXPECT_EQ(b.shareCount(), 1u);
  const PixelBuffer& ca = a;
  EXPECT_EQ(ca.rowPtr(1)[5], 77);
  EXPECT_EQ(static_cast<const PixelBuffer&>(b).rowPtr(1)[5], 99);

  PixelBuffer c(1, 1, 1, 4);
  c = a;
  a.swap(b);
  EXPECT_TRUE(c.sharesBodyWith(b));
  EXPECT_EQ(a.rowPtr(1)[5], 99);
  // Reading through the const form never separates.
  PixelBuffer d = c;
  EXPECT_EQ(static_cast<const PixelBuffer&>(d).rowPtr(1)[5], 77);
  EXPECT_TRUE(d.sharesBodyWith(c));
  EXPECT_EQ(c.shareCount(), 3u);
}

// Large bodies come mapped from the system: zeroed, writable to their last
// byte, copied and separated like small ones, and handed back whole (many
// taken and dropped in turn, sizes on and off the large-page steps).
TEST(PixelBuffer, LargeBodiesAreZeroedCopiedAndGivenBack) {
  for (const uint32_t width : {1024u, 1025u, 3000u}) {
    for (int round = 0; round < 3; ++round) {
      PixelBuffer a(width, 1200 + static_cast<uint32_t>(round), 2, 4);
      ASSERT_EQ(a.width(), width);
      const uint32_t last = a.height() - 1;
      const PixelBuffer& ca = a;
      for (uint32_t y : {0u, last / 2, last})
        for (uint32_t i = 0; i < ca.rowBytes(); i += 97) ASSERT_EQ(ca.rowPtr(y)[i], 0);
      ASSERT_EQ(ca.rowPtr(last)[ca.rowBytes() - 1], 0);
      a.rowPtr(0)[0] = 1;
      a.rowPtr(last)[a.rowBytes() - 1] = 2;
      PixelBuffer b = a;
      b.rowPtr(last)[a.rowBytes() - 1] = 3;  // separates b, a private copy
      EXPECT_FALSE(b.sharesBodyWith(a));
      EXPECT_EQ(static_cast<const PixelBuffer&>(b).rowPtr(0)[0], 1);
      EXPECT_EQ(ca.rowPtr(last)[ca.rowBytes() - 1], 2);
      EXPECT_EQ(static_cast<const PixelBuffer&>(b).rowPtr(last)[b.rowBytes() - 1], 3);
    }
  }
}

// A write over every byte takes a fresh body only where the old one is
// shared: the other handles keep the pixels, and the old body is handed out
// when asked for (the write-back carries its alpha over from it).
TEST(PixelBuffer, AFreshBodyIsTakenOnlyFromASharedOne) {
  PixelBuffer a(5, 3, 2, 4);
  a.rowPtr(2)[7] = 9;
  const PixelBuffer& ca = a;
  const uint8_t* own = ca.rowPtr(0);
  a.TakeFreshBodyIfShared();
  EXPECT_EQ(ca.rowPtr(0), own);  // alone: kept as it is
  EXPECT_EQ(ca.rowPtr(2)[7], 9);

  PixelBuffer b = a;
  PixelBuffer old;
  b.TakeFreshBodyIfShared(&old);
  EXPECT_FALSE(b.sharesBodyWith(a));
  EXPECT_TRUE(old.sharesBodyWith(a));
  EXPECT_EQ(b.width(), 5u);
  EXPECT_EQ(b.height(), 3u);
  EXPECT_EQ(b.bytesPerComponent(), 2u);
  EXPECT_EQ(b.componentsPerPixel(), 4u);
  EXPECT_EQ(ca.rowPtr(2)[7], 9);  // the other handle's pixels stay
  EXPECT_EQ(static_cast<const PixelBuffer&>(b).rowPtr(2)[7], 0);
}
