#include "app/image_import.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/toolbox/api/scripted_ui.h"
#include "support/image_fixtures.h"
#include "support/session.h"

namespace io = plat::imageio;

namespace {

class ImageImport : public vmktest::SessionTest {
 protected:
  // A PNG whose pixel (x, y) is (x, y, 7) and the record naming it.
  fichier Picture(uint32_t w, uint32_t h, const char* name = "pic.png") {
    vmktest::RawImage im = vmktest::PatternImage(w, h, 1);
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) {
        uint8_t* p = im.row(y) + 4 * x;
        p[0] = static_cast<uint8_t>(x);
        p[1] = static_cast<uint8_t>(y);
        p[2] = 7;
      }
    return Named(Write(name, im));
  }
  std::string Write(const char* name, const vmktest::RawImage& im) {
    const std::string path = dir_.file(name);
    vmktest::WriteImageFile(path, io::kTypePNG, im);
    return path;
  }
  static fichier Named(const std::string& path) {
    fichier f;
    EXPECT_TRUE(SetFicFromPosix(&f, path));
    return f;
  }
  vmktest::TempDir dir_;
};

}  // namespace

TEST_F(ImageImport, AWholeImageIsResampledBottomRowFirst) {
  fichier f = Picture(100, 50);
  constexpr int kW = 200, kH = 100;
  std::vector<uint8_t> r(kW * kH, 0xEE), g(r), b(r);
  int32_t w = 0, h = 0;
  ASSERT_EQ(LoadImaInBuf(2, 0, kLoadPlanes, &f, &w, &h, 0, 0, 99, 49, kW, kH, kW, kH, r.data(),
                         g.data(), b.data(), nullptr, nullptr),
            0);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 50);
  for (int j = 0; j < kH; ++j)
    for (int i = 0; i < kW; ++i) {
      const size_t at = static_cast<size_t>(kH - 1 - j) * kW + i;
      ASSERT_EQ(g[at], j / 2) << j;
      ASSERT_EQ(r[at], i / 2) << i;
      ASSERT_EQ(b[at], 7);
    }
  EXPECT_EQ(LoadImaInBuf(1, 0, 0, &f, &w, &h, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                         nullptr, nullptr),
            0);
}

TEST_F(ImageImport, GreyPixelsAndAlpha) {
  fichier white = Named(Write("white.png", vmktest::SolidImage(3, 2, 255, 255, 255)));
  fichier blue = Named(Write("blue.png", vmktest::SolidImage(3, 2, 0, 0, 255)));
  std::vector<uint16_t> g16(6, 1);
  std::vector<uint8_t> g8(6, 1), alpha(6, 1);
  ASSERT_EQ(LoadImaInBuf(2, 0, kLoadGrey16, &white, nullptr, nullptr, 0, 0, 2, 1, 3, 2, 3, 2,
                         g16.data(), nullptr, nullptr, nullptr, alpha.data()),
            0);
  EXPECT_EQ(g16, std::vector<uint16_t>(6, 8192));
  EXPECT_EQ(alpha, std::vector<uint8_t>(6, 255));  // opaque file
  ASSERT_EQ(LoadImaInBuf(2, 0, kLoadGrey8, &white, nullptr, nullptr, 0, 0, 2, 1, 3, 2, 3, 2,
                         g8.data(), nullptr, nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(g8, std::vector<uint8_t>(6, 255));
  ASSERT_EQ(LoadImaInBuf(2, 0, kLoadGrey16, &blue, nullptr, nullptr, 0, 0, 2, 1, 3, 2, 3, 2,
                         g16.data(), nullptr, nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(g16, std::vector<uint16_t>(6, 0));
  EXPECT_EQ(GreyOf(30, 60), 50);
  EXPECT_EQ(Grey16Of(100, 50), 200 * 8192 / 765);

  // 4-byte pixels: bytes 0..2 colour, byte 3 untouched.
  std::vector<uint8_t> px(6 * 4, 0xEE);
  ASSERT_EQ(LoadImaInBuf(2, 0, kLoadPixels, &blue, nullptr, nullptr, 0, 0, 2, 1, 3, 2, 3, 2,
                         px.data(), nullptr, nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(px[0], 0);
  EXPECT_EQ(px[2], 255);
  EXPECT_EQ(px[3], 0xEE);
}

TEST_F(ImageImport, TurnedLoadsSwapRowsAndColumns) {
  fichier f = Picture(4, 3);
  // Destination 3 wide, 4 high: row j takes column j of the image, column i
  // takes row i.
  for (int16_t mode : {kLoadPlanes90, kLoadPixels90}) {
    std::vector<uint8_t> r(12 * 4, 0), g(12 * 4, 0), b(12 * 4, 0);
    ASSERT_EQ(LoadImaInBuf(2, 0, mode, &f, nullptr, nullptr, 0, 0, 3, 2, 3, 4, 3, 4, r.data(),
                           g.data(), b.data(), nullptr, nullptr),
              0);
    for (int j = 0; j < 4; ++j)
      for (int i = 0; i < 3; ++i) {
        const size_t at = static_cast<size_t>(3 - j) * 3 + i;
        const uint8_t red = mode == kLoadPlanes90 ? r[at] : r[at * 4];
        const uint8_t green = mode == kLoadPlanes90 ? g[at] : r[at * 4 + 1];
        EXPECT_EQ(red, j) << mode;
        EXPECT_EQ(green, i);
      }
  }
}

TEST_F(ImageImport, OnlyTheBufferIsWrittenAndBadRequestsFail) {
  fichier f = Picture(10, 10);
  // Destination larger than the buffer: rows and columns past it are skipped.
  std::vector<uint8_t> r(4 * 4 + 4, 0xEE);
  ASSERT_EQ(LoadImaInBuf(2, 0, kLoadGrey8, &f, nullptr, nullptr, 0, 0, 9, 9, 8, 8, 4, 4,
                         r.data(), nullptr, nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(r[16], 0xEE);
  EXPECT_NE(r[0], 0xEE);

  fichier bad = Named(dir_.file("broken.png"));
  vmktest::WriteBytes(dir_.file("broken.png"), {0x89, 'P', 'N', 'G'});
  std::vector<uint8_t> planes(16, 0xEE);
  EXPECT_EQ(LoadImaInBuf(2, 0, kLoadPlanes, &bad, nullptr, nullptr, 0, 0, 3, 3, 4, 4, 4, 4,
                         planes.data(), planes.data(), planes.data(), nullptr, nullptr),
            -1);
  EXPECT_EQ(LoadImaInBuf(2, 0, kLoadPlanes, &f, nullptr, nullptr, 0, 0, 3, 3, 0, 4, 4, 4,
                         planes.data(), planes.data(), planes.data(), nullptr, nullptr),
            -1);
  EXPECT_EQ(LoadImaInBuf(2, 0, kLoadPlanes, &f, nullptr, nullptr, 0, 0, 3, 3, 4, 4, 4, 4,
                         planes.data(), nullptr, planes.data(), nullptr, nullptr),
            -1);
  EXPECT_EQ(planes, std::vector<uint8_t>(16, 0xEE));
}

TEST_F(ImageImport, ThePickerFillsTheRecordOrLeavesIt) {
  plat::ui::ScriptedUi ui;
  plat::ui::ScopedServices scope(&ui);
  const std::string path = dir_.file("chosen.png");
  vmktest::WriteImageFile(path, io::kTypePNG, vmktest::SolidImage(1, 1, 1, 1, 1));
  fichier f;
  f.creator = FourCC("keep");
  ui.AnswerOpenFile(std::nullopt);
  EXPECT_EQ(LoadIma(3, &f), 0);
  EXPECT_EQ(f.creator, FourCC("keep"));
  ui.AnswerOpenFile(path);
  EXPECT_EQ(LoadIma(2, &f), 1);
  EXPECT_EQ(FicToPosix(f), path);
  EXPECT_EQ(f.type, FourCC("PNGf"));
  ASSERT_EQ(ui.openRequests.size(), 2u);
  EXPECT_EQ(ui.openRequests[0].types, std::vector<OSType>{FourCC("TIFF")});
  EXPECT_EQ(ui.openRequests[1].types.size(), 8u);

  gPer->channelScratch.type = FourCC("aCha");
  ui.AnswerOpenFile(std::nullopt);
  EXPECT_EQ(LoadImaInBuf(0, 1, 0, &f, nullptr, nullptr, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr,
                         nullptr, nullptr, nullptr),
            -1);
  EXPECT_EQ(ui.openRequests[2].prompt, "Load a New File...");
  EXPECT_EQ(ui.openRequests[2].types, (std::vector<OSType>{FourCC("aCH1"), FourCC("TEXT")}));
  EXPECT_EQ(gPer->channelScratch.type, FourCC("aCH1"));
}
