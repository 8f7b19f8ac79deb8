// The image-combination engine: entries composed from generated picture files onto a copy of
// the planes, and the final blend.
#include "engines/patterns/image_combination_engine.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/colour_spaces.h"
#include "platform/imageio/image_io.h"
#include "support/image_fixtures.h"
#include "support/plane_hash.h"
#include "support/session.h"

namespace {

using Plane = std::vector<uint8_t>;
constexpr int32_t kW = 40, kH = 30, kN = kW * kH;

class CombIma : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    rec_ = std::make_unique<CombImaPar>();
    Init_CombImaPar(rec_.get(), 1);
    for (int32_t i = 0; i < kN; ++i)
      for (int32_t k = 0; k < 3; ++k) planes_[k].push_back(static_cast<uint8_t>((i * 7 + k * 50) & 255));
  }
  // A picture file and an entry that shows it in grey through an identity ramp.
  std::string Picture(const std::string& name, const vmktest::RawImage& im) {
    const std::string path = dir_.file(name);
    vmktest::WriteImageFile(path, plat::imageio::kTypeTIFF, im);
    return path;
  }
  CombImaInfo& Add(const std::string& path) {
    fichier f;
    Init_FicStruct(&f);
    EXPECT_TRUE(SetFicFromPosix(&f, path));
    AddCombIma(rec_.get(), kCombImaMaxEntries, &f);
    CombImaInfo& s = rec_->infos[rec_->head.current];
    for (int32_t i = 0; i < 256; ++i) {
      s.ramp.opacity[i] = 255;
      for (int32_t c = 0; c < 4; ++c) s.ramp.colour[c][i] = static_cast<uint8_t>(i);
    }
    return s;
  }
  int32_t Render(int16_t n, int16_t mode, int16_t opacity, const uint8_t* mask = nullptr) {
    MiscCombIma e;
    e.SetCombImaPar(rec_.get());
    return e.FillBuf(n, mode, opacity, 0, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.0f,
                     1.0f, planes_[0].data(), n == 1 ? nullptr : planes_[1].data(),
                     n == 1 ? nullptr : planes_[2].data(), nullptr, mask);
  }
  vmktest::TempDir dir_;
  std::unique_ptr<CombImaPar> rec_;
  std::vector<Plane> planes_{3};
};

TEST(CombImaSizes, EntryOpacityTileSizeAndCorners) {
  const int32_t percent[] = {100, 90, 50, 10, 0};
  const int16_t expected[] = {255, 229, 127, 26, 0};
  for (int32_t k = 0; k < 5; ++k) EXPECT_EQ(vmkpat::EntryOpacity(percent[k]), expected[k]);
  EXPECT_EQ(vmkpat::EntryOpacity(2147483647), 32767);
  EXPECT_EQ(vmkpat::EntryOpacity(-2147483647 - 1), -32768);

  int32_t tw = 0, th = 0;
  ASSERT_TRUE(vmkpat::EntryTileSize(401, 80, 4, 4, false, &tw, &th));
  EXPECT_EQ(tw, 100);
  EXPECT_EQ(th, 20);
  ASSERT_TRUE(vmkpat::EntryTileSize(401, 80, 4, 4, true, &tw, &th));
  EXPECT_EQ(tw, 100);  // 100.25 + 0.5, truncated
  ASSERT_TRUE(vmkpat::EntryTileSize(402, 80, 4, 4, false, &tw, &th));
  EXPECT_EQ(tw, 100);
  ASSERT_TRUE(vmkpat::EntryTileSize(402, 80, 4, 4, true, &tw, &th));
  EXPECT_EQ(tw, 101);
  // Tiles across or down not positive, or a tile of no pixels: the texture is left off.
  EXPECT_FALSE(vmkpat::EntryTileSize(402, 80, 0, 4, false, &tw, &th));
  EXPECT_FALSE(vmkpat::EntryTileSize(402, 80, 4, -1, true, &tw, &th));
  EXPECT_FALSE(vmkpat::EntryTileSize(3, 80, 4, 4, false, &tw, &th));

  CombImaInfo s;
  Init_CombImaInfo(&s, 1, 1, 5);
  EXPECT_FALSE(vmkpat::EntryDistorted(s));
  s.cornerX[2] = 50;
  EXPECT_TRUE(vmkpat::EntryDistorted(s));
}

TEST_F(CombIma, AnEmptyListBlendsTheCopyWithItselfThroughTheMode) {
  const std::vector<Plane> before = planes_;
  const int16_t mode = 4;
  ASSERT_EQ(Render(3, mode, 200), 0);
  for (int32_t k = 0; k < 3; ++k)
    for (int32_t i = 0; i < kN; ++i) {
      const uint8_t p = before[k][i];
      unsigned char b = 0;
      X_optionRPart(&b, mode + 1, p, p);
      ASSERT_EQ(planes_[k][i], (p * 55 + b * 200) / 255) << k << "," << i;
    }
}

// An entry whose picture is gone stops the render with the planes as they were and names the
// picture; an entry naming no picture has nothing to draw and is passed over.
TEST_F(CombIma, AGreyEntryReplacesTheRectangleAndAMissingOneStopsTheRender) {
  Add(dir_.file("missing.tif"));
  Add(Picture("grey.tif", vmktest::SolidImage(16, 16, 200, 200, 200)));
  ASSERT_EQ(rec_->head.count, 2);
  const std::vector<Plane> before = planes_;
  MiscCombIma e;
  e.SetCombImaPar(rec_.get());
  EXPECT_EQ(e.FillBuf(3, 0, 255, 0, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.0f, 1.0f,
                      planes_[0].data(), planes_[1].data(), planes_[2].data(), nullptr, nullptr),
            -1);
  EXPECT_EQ(e.UnreadableFile(), dir_.file("missing.tif"));
  EXPECT_EQ(planes_, before);
  Init_FicStruct(&rec_->images[0]);
  ASSERT_EQ(Render(3, 0, 255), 0);
  for (int32_t k = 0; k < 3; ++k)
    for (int32_t i = 0; i < kN; ++i) ASSERT_EQ(planes_[k][i], 200) << k << "," << i;

  // One plane takes the mean of the composed planes; an entry at 50 % half covers the base.
  rec_->infos[1].opacity = 50;
  std::fill(planes_[0].begin(), planes_[0].end(), 100);
  ASSERT_EQ(Render(1, 0, 255), 0);
  EXPECT_EQ(planes_[0][0], (100 * 128 + 200 * 127) / 255);
}

TEST_F(CombIma, NoMaskOrNoOpacityChangesNothing) {
  Add(Picture("grey.tif", vmktest::SolidImage(16, 16, 200, 200, 200)));
  const std::vector<Plane> before = planes_;
  const Plane zero(kN, 0);
  ASSERT_EQ(Render(3, 0, 255, zero.data()), 0);
  EXPECT_EQ(planes_, before);
  ASSERT_EQ(Render(3, 0, 0), 0);
  EXPECT_EQ(planes_, before);
}

TEST_F(CombIma, NoWorkMemoryLeavesThePlanes) {
  Add(Picture("grey.tif", vmktest::SolidImage(16, 16, 200, 200, 200)));
  MiscCombIma e;
  e.SetCombImaPar(rec_.get());
  const std::vector<Plane> before = planes_;
  vmktest::NoWorkMemory none;
  EXPECT_EQ(e.FillBuf(3, 0, 255, 0, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.0f, 1.0f,
                      planes_[0].data(), planes_[1].data(), planes_[2].data(), nullptr, nullptr),
            -1);
  none.End();
  EXPECT_EQ(planes_, before);
}

TEST_F(CombIma, TheCountIsHeldToTheList) {
  Add(Picture("grey.tif", vmktest::SolidImage(16, 16, 200, 200, 200)));
  rec_->head.count = 5000;  // a damaged record: the slots past 127 do not exist
  ASSERT_EQ(Render(3, 0, 255), 0);
  EXPECT_EQ(planes_[0][0], 200);
  rec_->head.count = -3;
  std::fill(planes_[0].begin(), planes_[0].end(), 9);
  ASSERT_EQ(Render(3, 0, 255), 0);
  EXPECT_EQ(planes_[0][0], 9);
}

// Every step of an entry at once, made once and kept: blur, distortion, emboss, ramp,
// texture and edge colouring over a pattern, under a mask ramp.
TEST_F(CombIma, GoldenCombination) {
  const std::string pattern = Picture("pattern.tif", vmktest::PatternImage(24, 20, 1));
  const std::string texture = Picture("texture.tif", vmktest::PatternImage(9, 7, 1));
  CombImaInfo& a = Add(pattern);
  a.blur = 2;
  a.cornerX[2] = 50;
  a.cornerY[0] = 20;
  a.opacity = 90;
  CombImaInfo& b = Add(pattern);
  Init_LutVign(3, &b.ramp, 255, 255, 255, 255);
  b.blendMode = 2;
  b.emboss = 2;
  b.embossDirection = 45;
  b.edge = 1;
  b.edgeColour[0] = 250;
  b.textureOn = 1;
  b.textureAcross = 4;
  b.textureDown = 3;
  fichier t;
  Init_FicStruct(&t);
  ASSERT_TRUE(SetFicFromPosix(&t, texture));
  rec_->textures[1] = t;
  Plane mask(kN);
  for (int32_t i = 0; i < kN; ++i) mask[i] = static_cast<uint8_t>(i % kW * 6);
  ASSERT_EQ(Render(3, 0, 230, mask.data()), 0);
  EXPECT_EQ(vmktest::PlanesHash(planes_), 1346986894828143044ull);
}

}  // namespace
