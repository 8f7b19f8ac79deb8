#include <gtest/gtest.h>

#include <vector>

#include "app/core/pascal_strings.h"
#include "app/image_import.h"
#include "platform/files/colon_paths.h"
#include "support/image_fixtures.h"
#include "support/session.h"

namespace io = plat::imageio;

namespace {

class ContentPictures : public vmktest::SessionTest {
 protected:
  fichier Write(const char* name, const vmktest::RawImage& im) {
    const std::string path = dir_.file(name);
    vmktest::WriteImageFile(path, io::kTypePNG, im);
    fichier f;
    EXPECT_TRUE(SetFicFromPosix(&f, path));
    return f;
  }
  // Pixel (x, y) = (x, y, 7).
  fichier Coordinates(uint32_t w, uint32_t h) {
    vmktest::RawImage im = vmktest::SolidImage(w, h, 0, 0, 7);
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) {
        im.row(y)[4 * x] = static_cast<uint8_t>(x);
        im.row(y)[4 * x + 1] = static_cast<uint8_t>(y);
      }
    return Write("xy.png", im);
  }
  vmktest::TempDir dir_;
};

}  // namespace

TEST_F(ContentPictures, MeasuresAndLoadsAWholePictureUpsideDown) {
  fichier f = Coordinates(100, 50);
  int32_t w = 0, h = 0;
  ASSERT_EQ(AS_GetImageDimension(&f, &w, &h, nullptr), 0);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 50);
  std::vector<uint8_t> r(200 * 100, 0xEE), g(r), b(r);
  ASSERT_EQ(AS_GetResizedImage(&f, 1, 0, 0, 0, 0, 200, 100, 0, 0, 199, 99, 3, r.data(), g.data(),
                               b.data(), nullptr),
            0);
  for (int j = 0; j < 100; ++j)
    for (int i = 0; i < 200; ++i) {
      const size_t at = static_cast<size_t>(99 - j) * 200 + i;
      ASSERT_EQ(g[at], j / 2);
      ASSERT_EQ(r[at], i / 2);
    }
}

TEST_F(ContentPictures, GreyKindsAndEmptyRectangles) {
  fichier white = Write("white.png", vmktest::SolidImage(4, 4, 255, 255, 255));
  std::vector<uint16_t> g16(16, 1);
  std::vector<uint8_t> g8(16, 1);
  ASSERT_EQ(AS_GetResizedImage(&white, 1, 0, 0, 0, 0, 4, 4, 0, 0, 3, 3, 2, g16.data(), nullptr,
                               nullptr, nullptr),
            0);
  EXPECT_EQ(g16, std::vector<uint16_t>(16, 8192));
  ASSERT_EQ(AS_GetResizedImage(&white, 1, 0, 0, 0, 0, 4, 4, 0, 0, 3, 3, 0, g8.data(), nullptr,
                               nullptr, nullptr),
            0);
  EXPECT_EQ(g8, std::vector<uint8_t>(16, 255));
  // One destination row (top = bottom), an inverted source: -1, nothing written.
  std::vector<uint8_t> keep(16, 9);
  EXPECT_EQ(AS_GetResizedImage(&white, 1, 0, 0, 0, 0, 4, 4, 0, 2, 3, 2, 0, keep.data(), nullptr,
                               nullptr, nullptr),
            -1);
  EXPECT_EQ(AS_GetResizedImage(&white, 0, 3, 0, 1, 3, 4, 4, 0, 0, 3, 3, 0, keep.data(), nullptr,
                               nullptr, nullptr),
            -1);
  EXPECT_EQ(AS_Get90ResizedImage(&white, 1, 0, 0, 0, 0, 4, 4, 0, 0, 3, 3, 1, keep.data(),
                                 nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(keep, std::vector<uint8_t>(16, 9));
  fichier missing;
  ASSERT_TRUE(SetFicFromPosix(&missing, dir_.file("nowhere.png")));
  EXPECT_EQ(AS_GetImageDimension(&missing, nullptr, nullptr, nullptr), -1);
}

TEST_F(ContentPictures, TurnedLoadsUseTheExclusiveSize) {
  fichier f = Coordinates(4, 3);
  // Destination 0, 0, 3, 4 in a 4 x 5 buffer: 3 wide and 4 high.
  std::vector<uint8_t> r(4 * 5, 0xEE), g(r), b(r);
  ASSERT_EQ(AS_Get90ResizedImage(&f, 1, 0, 0, 0, 0, 4, 5, 0, 0, 3, 4, 3, r.data(), g.data(),
                                 b.data(), nullptr),
            0);
  EXPECT_EQ(r[3], 0xEE);  // column 3 is outside the load
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 3; ++i) {
      const size_t at = static_cast<size_t>(3 - j) * 4 + i;
      EXPECT_EQ(r[at], j);
      EXPECT_EQ(g[at], i);
    }
}

TEST_F(ContentPictures, APictureThatMovedIsFoundInTheContentFolders) {
  const std::filesystem::path makers = dir_.path() / "Vellmarkstead";
  std::filesystem::create_directories(makers / "Edges2");
  ASSERT_TRUE(SetFicFromPosix(&gPer->makersFolder, makers.string()));
  vmktest::WriteImageFile((makers / "Edges2" / "edge.png").string(), io::kTypePNG,
                          vmktest::SolidImage(7, 3, 255, 255, 255));
  // As a preset stores it: a folder that no longer holds the picture.
  fichier f;
  SetPStr(f.path, plat::files::PosixToColon((dir_.path() / "moved").string(), true));
  SetPStr(f.name, "edge.png");
  int32_t w = 0, h = 0;
  ASSERT_EQ(AS_GetImageDimension(&f, &w, &h, nullptr), 0);
  EXPECT_EQ(w, 7);
  EXPECT_EQ(h, 3);
  EXPECT_EQ(FicToPosix(f), (makers / "Edges2" / "edge.png").string());
  std::vector<uint8_t> grey(7 * 3, 0);
  EXPECT_EQ(AS_GetResizedImage(&f, 1, 0, 0, 0, 0, 7, 3, 0, 0, 6, 2, 0, grey.data(), nullptr,
                               nullptr, nullptr),
            0);
  EXPECT_EQ(grey, std::vector<uint8_t>(21, 255));
}
