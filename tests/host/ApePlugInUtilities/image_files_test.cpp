#include "host/ApePlugInUtilities/image_files.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/image_fixtures.h"
#include "support/pixel_access.h"
#include "support/session.h"

namespace io = plat::imageio;

namespace {

class ImageFiles : public ::testing::Test {
 protected:
  vmktest::TempDir dir_;
};

}  // namespace

TEST_F(ImageFiles, ReadsAtTheImagesDepthOrTheOneAskedFor) {
  const std::string p16 = dir_.file("a.tif");
  const vmktest::RawImage src = vmktest::PatternImage(5, 3, 2);
  io::Properties props;
  props.hasResolution = true;
  props.resolutionX = props.resolutionY = 240.0;
  vmktest::WriteImageFile(p16, io::kTypeTIFF, src, props);

  PixelBuffer buf;
  std::string type;
  io::Properties got;
  ASSERT_EQ(readSourceImage(p16, &type, &got, 0, true, buf), 0);
  EXPECT_EQ(type, "public.tiff");
  EXPECT_NEAR(got.resolutionX, 240.0, 1e-3);
  EXPECT_EQ(buf.width(), 5u);
  EXPECT_EQ(buf.bytesPerComponent(), 2u);
  EXPECT_EQ(buf.componentsPerPixel(), 4u);
  EXPECT_EQ(buf.rowBytes(), 48u);
  uint16_t v;
  std::memcpy(&v, src.row(2) + 4 * 2 * 4 + 2, 2);
  EXPECT_EQ(vmktest::ComponentAt<uint16_t>(buf, 4, 2, 1), v);

  ASSERT_EQ(readSourceImage(p16, nullptr, nullptr, 8, true, buf), 0);
  EXPECT_EQ(buf.bytesPerComponent(), 1u);

  const std::string pf = dir_.file("f.tif");
  vmktest::WriteImageFile(pf, io::kTypeTIFF, vmktest::PatternImage(2, 2, 4));
  testing::internal::CaptureStdout();
  ASSERT_EQ(readSourceImage(pf, nullptr, nullptr, 32, true, buf), 0);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out,
            "Invalid format in readSourceImage. bitsPerComponent = 32 runningOnLeopardOrLater = "
            "true\n");
  EXPECT_EQ(buf.bytesPerComponent(), 4u);
  EXPECT_TRUE(validSourceFormat(8, false));
  EXPECT_FALSE(validSourceFormat(16, false));
  EXPECT_TRUE(validSourceFormat(16, true));
}

TEST_F(ImageFiles, TheRecordDescribesTheImage) {
  FilterRecord rec;
  rec.imageMode = -7;
  const std::string p = dir_.file("r.png");
  vmktest::WriteImageFile(p, io::kTypePNG, vmktest::PatternImage(30, 20, 2));
  ASSERT_EQ(infoSourceImage(p, nullptr, nullptr, 0, true, &rec), 0);
  EXPECT_EQ(rec.planeCount, 3);
  EXPECT_EQ(rec.imageRect.bottom, 20);
  EXPECT_EQ(rec.imageRect.right, 30);
  EXPECT_EQ(rec.imageMode, 11);
  EXPECT_EQ(rec.resolutionH, 0x00480000);
  EXPECT_EQ(rec.imageWidth, 30);
  EXPECT_EQ(rec.imageHeight, 20);
  EXPECT_EQ(rec.inLastPlane, 2);
  EXPECT_EQ(rec.outRect.right, 30);
  EXPECT_EQ(rec.maskRect.bottom, 20);
  EXPECT_EQ(rec.transparencyKind, 1);
  EXPECT_EQ(rec.alphaIndex, 3);
  ASSERT_EQ(infoSourceImage(p, nullptr, nullptr, 8, true, &rec), 0);
  EXPECT_EQ(rec.imageMode, 3);
  const std::string f = dir_.file("r.tif");
  vmktest::WriteImageFile(f, io::kTypeTIFF, vmktest::PatternImage(3, 3, 4));
  testing::internal::CaptureStdout();
  ASSERT_EQ(infoSourceImage(f, nullptr, nullptr, 0, true, &rec), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(rec.imageMode, 16);
}

TEST_F(ImageFiles, ImagesTooWideForTheRecordAndBadFilesChangeNothing) {
  const std::string wide = dir_.file("wide.png");
  vmktest::WriteImageFile(wide, io::kTypePNG, vmktest::SolidImage(32768, 1, 1, 2, 3));
  FilterRecord rec;
  rec.imageWidth = 5;
  PixelBuffer buf(2, 2, 1, 4);
  PixelBuffer keep = buf;
  std::string msg;
  testing::internal::CaptureStdout();
  EXPECT_EQ(infoSourceImage(wide, nullptr, nullptr, 0, true, &rec, &msg), io::kErrTooLarge);
  EXPECT_EQ(readSourceImage(wide, nullptr, nullptr, 0, true, buf, &msg), io::kErrTooLarge);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("32768 x 1"), std::string::npos);
  EXPECT_NE(msg.find("at most 32767"), std::string::npos);
  EXPECT_EQ(rec.imageWidth, 5);
  EXPECT_TRUE(buf.sharesBodyWith(keep));
  // The content importer keeps to the same side.
  uint32_t w = 7, h = 7;
  std::vector<uint8_t> argb = {9};
  EXPECT_EQ(io::DecodeARGB(wide, &w, &h, &argb, &msg), io::kErrTooLarge);
  EXPECT_NE(msg.find("32768 x 1"), std::string::npos) << msg;
  EXPECT_EQ(argb, std::vector<uint8_t>{9});
  EXPECT_EQ(w, 7u);

  // A float TIFF that declares 16384 x 16384 and holds no data.
  const std::string empty = dir_.file("empty.tif");
  vmktest::WriteBytes(empty, vmktest::HeaderOnlyTiff(16384, 16384, 32));
  EXPECT_EQ(readSourceImage(empty, nullptr, nullptr, 0, true, buf, &msg), io::kErrDamaged);
  EXPECT_TRUE(buf.sharesBodyWith(keep));

  const std::string bad = dir_.file("bad.tif");
  vmktest::WriteImageFile(bad, io::kTypeTIFF, vmktest::PatternImage(40, 40, 1));
  vmktest::Truncate(bad, 900);
  msg.clear();
  EXPECT_EQ(readSourceImage(bad, nullptr, nullptr, 0, true, buf, &msg), io::kErrDamaged);
  EXPECT_FALSE(msg.empty());
  EXPECT_TRUE(buf.sharesBodyWith(keep));
  EXPECT_LT(infoSourceImage(dir_.file("none.tif"), nullptr, nullptr, 0, true, &rec), 0);
  EXPECT_EQ(rec.imageWidth, 5);
}

TEST_F(ImageFiles, WritingBackKeepsDepthPropertiesAndReportsFailure) {
  for (uint32_t bytes : {1u, 2u, 4u}) {
    SCOPED_TRACE(bytes);
    PixelBuffer buf(6, 4, bytes, 4);
    for (uint32_t y = 0; y < 4; ++y)
      for (uint32_t i = 0; i < 6 * 4 * bytes; ++i)
        buf.rowPtr(y)[i] = static_cast<uint8_t>(bytes == 4 ? (i % 4 == 3 ? 0x3F : 0) : i * 7 + y);
    io::Properties props;
    props.iccProfile = vmktest::TestIccProfile();
    const std::string p = dir_.file("w.tif");
    ASSERT_EQ(writeDestinationImage(p, "public.tiff", props, buf), 0);
    PixelBuffer back;
    io::Properties got;
    ASSERT_EQ(readSourceImage(p, nullptr, &got, 0, true, back), 0);
    EXPECT_EQ(back.bytesPerComponent(), bytes);
    EXPECT_EQ(got.iccProfile, props.iccProfile);
    for (uint32_t y = 0; y < 4; ++y)
      for (uint32_t x = 0; x < 6; ++x)
        EXPECT_EQ(std::memcmp(back.rowPtr(y) + x * 4 * bytes, buf.rowPtr(y) + x * 4 * bytes,
                              3 * bytes),
                  0);
    io::ImageInfo info;
    ASSERT_EQ(io::ReadInfo(p, &info), io::kOk);
    EXPECT_EQ(info.bitsPerComponent, static_cast<int>(8 * bytes));
    EXPECT_FALSE(info.hasAlpha);
  }
  PixelBuffer one(1, 1, 1, 4);
  std::string msg;
  EXPECT_EQ(writeDestinationImage(dir_.file("gone/x.png"), "public.png", {}, one, &msg),
            io::kErrWrite);
  EXPECT_FALSE(msg.empty());
  EXPECT_EQ(writeDestinationImage(dir_.file("e.png"), "public.png", {}, PixelBuffer()), 0);
}

// A picture with an alpha channel reads with straight colours and its alpha
// in the fourth component, at its own depth and at a depth asked for, and
// the write-back keeps that alpha; an opaque picture reads opaque and is
// written without one.
TEST_F(ImageFiles, AnAlphaChannelIsReadIntoTheFourthComponentAndWrittenBack) {
  vmktest::RawImage src = vmktest::PatternImage(6, 4, 1);
  src.row(1)[2 * 4 + 3] = 0;  // clear, over a colour that must stay
  io::Properties alpha;
  alpha.hasAlpha = true;
  const std::string png = dir_.file("clear.png");
  vmktest::WriteImageFile(png, io::kTypePNG, src, alpha);
  PixelBuffer buf;
  io::Properties got;
  std::string type;
  ASSERT_EQ(readSourceImage(png, &type, &got, 0, true, buf), 0);
  EXPECT_TRUE(got.hasAlpha);
  for (uint32_t y = 0; y < 4; ++y)
    for (uint32_t x = 0; x < 6; ++x)
      for (int k = 0; k < 4; ++k)
        ASSERT_EQ(vmktest::ComponentAt<uint8_t>(buf, x, y, k), src.row(y)[x * 4 + k]) << x << "," << y;
  const std::string tif = dir_.file("back.tif");
  ASSERT_EQ(writeDestinationImage(tif, "public.tiff", got, buf), 0);
  PixelBuffer back;
  io::Properties again;
  ASSERT_EQ(readSourceImage(tif, nullptr, &again, 0, true, back), 0);
  EXPECT_TRUE(again.hasAlpha);
  for (uint32_t y = 0; y < 4; ++y)
    EXPECT_EQ(std::memcmp(back.rowPtr(y), buf.rowPtr(y), 6 * 4), 0) << y;
  // Asked for 16 bits: the alpha scaled as the colours are.
  ASSERT_EQ(readSourceImage(png, nullptr, nullptr, 16, true, back), 0);
  EXPECT_EQ(vmktest::ComponentAt<uint16_t>(back, 2, 1, 3), 0);
  EXPECT_EQ(vmktest::ComponentAt<uint16_t>(back, 3, 2, 3), src.row(2)[3 * 4 + 3] * 257);
  EXPECT_EQ(vmktest::ComponentAt<uint16_t>(back, 2, 1, 0), src.row(1)[2 * 4] * 257);

  const std::string opaque = dir_.file("opaque.png");
  vmktest::WriteImageFile(opaque, io::kTypePNG, src);
  ASSERT_EQ(readSourceImage(opaque, nullptr, &got, 0, true, buf), 0);
  EXPECT_FALSE(got.hasAlpha);
  EXPECT_EQ(vmktest::ComponentAt<uint8_t>(buf, 2, 1, 3), 255);
  ASSERT_EQ(writeDestinationImage(tif, "public.tiff", got, buf), 0);
  io::ImageInfo info;
  ASSERT_EQ(io::ReadInfo(tif, &info), io::kOk);
  EXPECT_FALSE(info.hasAlpha);
}
