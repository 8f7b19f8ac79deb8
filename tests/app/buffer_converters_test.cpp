// Row converters, surface copies, resource byte blocks and file previews.
#include <gtest/gtest.h>

#include <vector>

#include "app/buffer_converters.h"
#include "app/preview_thumbnails.h"
#include "platform/draw/port.h"
#include "platform/resources/resource_file.h"
#include "support/session.h"

namespace vmktest {
namespace {

// A 3 x 2 BGR picture: pixel (x, y) = (10 y + x, 100 + 10 y + x, 200 + x).
std::vector<uint8_t> Bgr3x2() {
  std::vector<uint8_t> p;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) p.insert(p.end(), {uint8_t(10 * y + x), uint8_t(100 + 10 * y + x), uint8_t(200 + x)});
  return p;
}

TEST(BufferConverters, ByteOrderRowsAndQuarterTurn) {
  const std::vector<uint8_t> src = Bgr3x2();
  std::vector<uint8_t> dst(3 * 2 * 4, 0xEE);
  ASSERT_EQ(BufBGRToBufARGB(2, 3, src.data(), 2, 3, dst.data(), 0, 0, 2, 1, 0, 0, 2, 1), 0);
  EXPECT_EQ(std::vector<uint8_t>(dst.begin() + 4, dst.begin() + 8), (std::vector<uint8_t>{201, 101, 1, 0xEE}));
  ASSERT_EQ(RevBufBGRToBufARGB(2, 3, src.data(), 2, 3, dst.data(), 0, 0, 2, 1, 0, 0, 2, 1, 3), 0);
  EXPECT_EQ(dst[0], 200);  // row 0 now holds the source's bottom row
  EXPECT_EQ(dst[2], 10);
  std::vector<uint8_t> back(3 * 2 * 3, 0);
  ASSERT_EQ(BufRGBAToBufBGR(2, 3, dst.data(), 2, 3, back.data(), 0, 0, 2, 1, 0, 0, 2, 1), 0);
  EXPECT_EQ(back[0], 10);  // blue byte of the turned-over first pixel
  ASSERT_EQ(RevBufRGBAToBufBGR(2, 3, dst.data(), 2, 3, back.data(), 0, 0, 2, 1, 0, 0, 2, 1), 0);
  EXPECT_EQ(back, src);
  // A quarter turn: 2 x 3 destination; destination row j walks source
  // columns, destination column i the source rows (bottom up).
  std::vector<uint8_t> turned(2 * 3 * 4, 0);
  ASSERT_EQ(Rev90BufBGRToBufARGB(2, 3, src.data(), 3, 2, turned.data(), 0, 0, 2, 1, 0, 0, 1, 2, 3), 0);
  EXPECT_EQ(turned[0 * 4 + 2], 10);      // (i 0, j 0): source (0, 1)
  EXPECT_EQ(turned[1 * 4 + 2], 0);       // (i 1, j 0): source (0, 0)
  EXPECT_EQ(turned[(2 * 2 + 1) * 4 + 2], 2);  // (i 1, j 2): source (2, 0)
}

TEST(BufferConverters, GreyPlanesOneByteSourcesAndEmptyRectangles) {
  const std::vector<uint8_t> src = Bgr3x2();
  std::vector<uint8_t> grey(6, 0);
  ASSERT_EQ(RevBufBGRToBufARGB_gray(2, 3, src.data(), 2, 3, grey.data(), 0, 0, 2, 1, 0, 0, 2, 1, 3), 0);
  EXPECT_EQ(grey[0], (10 + 110 + 200) / 3);
  EXPECT_EQ(grey[5], (2 + 102 + 202) / 3);
  std::vector<uint8_t> r(6), g(6), b(6);
  const std::vector<uint8_t> one{7, 8, 9, 4, 5, 6};
  ASSERT_EQ(RevBufBGRToBufARGB_plate(2, 3, one.data(), 2, 3, r.data(), g.data(), b.data(), 0, 0, 2, 1, 0, 0, 2, 1, 1), 0);
  EXPECT_EQ(r[0], 4);
  EXPECT_EQ(b[0], 4);
  std::vector<uint8_t> packed(6 * 3, 0), means(6, 0);
  ASSERT_EQ(BufBGRToBufARGB_plate(2, 3, r.data(), g.data(), b.data(), 2, 3, packed.data(), 0, 0, 2, 1, 0, 0, 2, 1, 3), 0);
  EXPECT_EQ(packed[0], 7);  // rows back from the bottom up
  ASSERT_EQ(BufBGRToBufARGB_plate(2, 3, r.data(), g.data(), b.data(), 2, 3, means.data(), 0, 0, 2, 1, 0, 0, 2, 1, 1), 0);
  EXPECT_EQ(means[2], 9);
  // A one-row destination has no extent to sample over: nothing written.
  std::vector<uint8_t> untouched(6, 0xAB);
  EXPECT_EQ(RevBufBGRToBufARGB_gray(2, 3, src.data(), 2, 3, untouched.data(), 0, 0, 2, 1, 0, 1, 2, 1, 3), -1);
  EXPECT_EQ(Rev90BufBGRToBufARGB_gray(2, 3, src.data(), 2, 3, untouched.data(), 5, 5, 9, 9, 0, 0, 2, 1, 3), -1);
  EXPECT_EQ(untouched, std::vector<uint8_t>(6, 0xAB));
}

TEST(BufferConverters, SurfaceRoundTripTurnsUpsideDown) {
  plat::draw::Surface world(4, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) world.row(y)[x] = 0xFF000000u | static_cast<uint32_t>(y * 16 + x);
  std::vector<uint32_t> buf(8, 0);
  ASSERT_EQ(GWorldToBuf(&world, buf.data(), 4, 2), 0);
  EXPECT_EQ(buf[0], 0xFF000010u);
  EXPECT_EQ(buf[7], 0xFF000003u);
  plat::draw::Surface copy(4, 2);
  ASSERT_EQ(BufToGWorld(buf.data(), 4, 2, &copy), 0);
  EXPECT_EQ(copy.pixels(), world.pixels());
  EXPECT_EQ(GWorldToBuf(&world, buf.data(), 4, 1), -1);
}

TEST(PreviewThumbnails, ResourceBlocksAndEffectFilePreviews) {
  TempDir dir;
  plat::res::SetResourceFolder(dir.path().string());
  std::vector<uint8_t> block{1, 2, 3, 4, 5, 6};
  ASSERT_EQ(LoadImaRsrc(2, 300, 3, 2, block.data()), 0);
  std::vector<uint8_t> read(6, 0);
  ASSERT_EQ(LoadImaRsrc(0, 300, 3, 2, read.data()), 0);
  EXPECT_EQ(read, block);
  std::vector<uint8_t> big(12, 0x55);
  EXPECT_EQ(LoadImaRsrc(0, 300, 4, 3, big.data()), -1);  // larger than stored
  EXPECT_EQ(big, std::vector<uint8_t>(12, 0x55));
  plat::res::SetResourceFolder("");

  // An effect file whose preview is a red left half and a blue right half.
  std::vector<uint8_t> file(kPreviewPixelsAt + 130 * 130 * 4, 0);
  file[kPreviewFlagAt] = 1;
  for (int y = 0; y < 130; ++y)
    for (int x = 0; x < 130; ++x) file[kPreviewPixelsAt + (y * 130 + x) * 4 + (x < 65 ? 0 : 2)] = 255;
  WriteBytes(dir.file("effect.aef"), file);
  fichier f;
  ASSERT_TRUE(SetFicFromPosix(&f, dir.file("effect.aef")));
  plat::draw::Port port(200, 200);
  ASSERT_EQ(showPreview(&f, &port, Rect{10, 20, 0, 0}), 0);
  EXPECT_EQ(port.surface().pixel(20, 10), 0xFFFF0000u);
  EXPECT_EQ(port.surface().pixel(149, 139), 0xFF0000FFu);
  EXPECT_EQ(port.surface().pixel(150, 139), 0xFFFFFFFFu);
  file[kPreviewFlagAt] = 0;  // no preview stored
  WriteBytes(dir.file("effect.aef"), file);
  EXPECT_EQ(showPreview(&f, &port, Rect{10, 20, 0, 0}), -1);
  file.resize(600);
  WriteBytes(dir.file("effect.aef"), file);
  EXPECT_EQ(showPreview(&f, &port, Rect{10, 20, 0, 0}), -1);
}

}  // namespace
}  // namespace vmktest
