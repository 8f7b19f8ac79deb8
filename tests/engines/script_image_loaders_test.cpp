// The script's image loaders on generated picture files: what reaches the planes, through
// which mask, at which tile size, and that a bad file changes nothing.
#include "engines/patterns/script_image_loaders.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "engines/families/effect_families.h"
#include "platform/imageio/image_io.h"
#include "script/displace_map_loader.h"
#include "script/effect_registries.h"
#include "script/script_file.h"
#include "support/image_fixtures.h"
#include "support/session.h"

namespace {

using vmktest::RawImage;

// A picture whose columns are black up to `split` and white after it.
RawImage Halves(uint32_t w, uint32_t split) {
  RawImage im = vmktest::SolidImage(w, 2, 0, 0, 0);
  for (uint32_t y = 0; y < 2; ++y)
    for (uint32_t x = split; x < w; ++x) std::memset(im.row(y) + x * 4, 255, 3);
  return im;
}

class Loaders : public vmktest::SessionTest {
 protected:
  void Start(int32_t w, int32_t h) {
    ASSERT_EQ(s_.I_ScriptFile(3, w, h, 72.0f, w, h, 0, 0, w - 1, h - 1), 0);
    s_.previewScaleX = s_.previewScaleY = 1.0f;
    op_.Act = 1;
    op_.ToChannel = 7;
  }
  void Use(const std::string& name, const RawImage& im) {
    const std::string path = dir_.file(name);
    vmktest::WriteImageFile(path, plat::imageio::kTypeTIFF, im);
    Name(path);
  }
  void Name(const std::string& path) {
    delete op_.FileOprn;
    op_.FileOprn = new fichier;
    Init_FicStruct(op_.FileOprn);
    ASSERT_TRUE(SetFicFromPosix(op_.FileOprn, path));
  }
  uint8_t* Filled(int32_t channel, uint8_t v) {
    uint8_t* p = s_.ChannelPlane(channel, 1);
    std::memset(p, v, static_cast<size_t>(s_.planeWidth) * s_.planeHeight);
    return p;
  }
  std::vector<uint8_t> Copy(int32_t channel) {
    const uint8_t* p = s_.ChannelPlane(channel, 0);
    return std::vector<uint8_t>(p, p + static_cast<size_t>(s_.planeWidth) * s_.planeHeight);
  }
  vmktest::TempDir dir_;
  ScriptFile s_;
  Oprn op_;
};

TEST_F(Loaders, AnImageFillsTheCompositeOrItsAlphaOnePlane) {
  Start(20, 10);
  op_.ToChannel = 2;
  EXPECT_EQ(LoadImageFile(&s_, &op_, 0), 0);  // no file
  Use("colour.tif", vmktest::SolidImage(8, 8, 200, 100, 50));
  op_.Act = 0;
  EXPECT_EQ(LoadImageFile(&s_, &op_, 0), 0);
  op_.Act = 1;
  ASSERT_EQ(LoadImageFile(&s_, &op_, 0), 1);
  EXPECT_EQ(Copy(3), std::vector<uint8_t>(200, 200));
  EXPECT_EQ(Copy(4), std::vector<uint8_t>(200, 100));
  EXPECT_EQ(Copy(5), std::vector<uint8_t>(200, 50));

  // Alpha 1 on one plane puts the file's fourth channel there instead of its grey.
  RawImage rgba = vmktest::SolidImage(8, 8, 200, 200, 200);
  for (size_t i = 3; i < rgba.data.size(); i += 4) rgba.data[i] = 77;
  const std::string path = dir_.file("alpha.tif");
  ASSERT_EQ(plat::imageio::WriteRgbaTiff(path, rgba.source()), plat::imageio::kOk);
  Name(path);
  op_.ToChannel = 7;
  ASSERT_EQ(LoadImageFile(&s_, &op_, 1), 1);
  EXPECT_EQ(Copy(7), std::vector<uint8_t>(200, 77));
  ASSERT_EQ(LoadImageFile(&s_, &op_, 0), 1);
  EXPECT_EQ(Copy(7), std::vector<uint8_t>(200, 200));
}

TEST_F(Loaders, TheMaskComesFromItsPlaneAndItsColourSelection) {
  Start(20, 10);
  Use("white.tif", vmktest::SolidImage(8, 8, 255, 255, 255));
  // A mask channel without a plane is a full mask.
  op_.MChannel = 50;
  op_.IntExt = 1;
  Filled(7, 9);
  ASSERT_EQ(LoadImageFile(&s_, &op_, 0), 1);
  EXPECT_EQ(Copy(7), std::vector<uint8_t>(200, 255));
  // IntExt 2 inverts the mask plane: all 255 there lets nothing through.
  op_.MChannel = 40;
  Filled(40, 255);
  op_.IntExt = 2;
  Filled(7, 9);
  ASSERT_EQ(LoadImageFile(&s_, &op_, 0), 1);
  EXPECT_EQ(Copy(7), std::vector<uint8_t>(200, 9));

  // On black, loading white shows the mask itself: narrowing flag 1 inverts what flag 2 keeps.
  op_.IntExt = 1;
  op_.SelOprnExt = NewRecord<OprnExt>();
  InitOprnExt(op_.SelOprnExt);
  op_.SelOprnExt->SelLevel[0] = 60;
  op_.SelOprnExt->SelValueB[0] = 40;
  op_.SelOprnExt->SelValueC[0] = 30;
  op_.SelOprnExt->SelValueD[0] = 50;
  op_.SelOprnExt->SelFlag[0] = 2;
  Filled(7, 0);
  ASSERT_EQ(LoadImageFile(&s_, &op_, 0), 1);
  const std::vector<uint8_t> kept = Copy(7);
  op_.SelOprnExt->SelFlag[0] = 1;
  Filled(7, 0);
  ASSERT_EQ(LoadImageFile(&s_, &op_, 0), 1);
  const std::vector<uint8_t> inverted = Copy(7);
  bool varied = false;
  for (size_t i = 0; i < kept.size(); ++i) {
    ASSERT_EQ(inverted[i], 255 - kept[i]) << i;
    varied = varied || kept[i] != kept[0];
  }
  EXPECT_TRUE(varied);
  // The frame loader does not narrow: the plane's mask alone (full) lets all through.
  op_.Param1 = 255;  // the frame's opacity
  op_.Param2 = op_.Param3 = 0;
  Filled(7, 0);
  ASSERT_EQ(LoadImageFrame(&s_, &op_, 0), 1);
  EXPECT_EQ(Copy(7), std::vector<uint8_t>(200, 255));
  // Turned on one plane: the grey of the turned picture.
  Filled(7, 0);
  ASSERT_EQ(LoadImageFrame(&s_, &op_, 1), 1);
  EXPECT_EQ(Copy(7)[20 + 1], 255);
}

// Columns 0..1100 over a tile made from a picture black on its left half: the tile repeats
// where a column is black again.
TEST_F(Loaders, TileSizesFollowTheirParameterAndScale) {
  Start(1101, 3);
  Use("halves.tif", Halves(100, 50));
  op_.Param1 = 1500;  // at most 1000
  op_.Param2 = 2;
  ASSERT_EQ(LoadTextureFile(&s_, &op_), 1);
  std::vector<uint8_t> p = Copy(7);
  EXPECT_EQ(p[600], 255);
  EXPECT_EQ(p[999], 255);
  EXPECT_EQ(p[1000], 0);
  // The texture divides by the preview scale: 1000 / 2 is a tile of 500.
  s_.previewScaleX = 2.0f;
  s_.previewScaleY = 0.5f;
  op_.Param1 = 1000;
  op_.Param2 = 1;
  ASSERT_EQ(LoadTextureFile(&s_, &op_), 1);
  p = Copy(7);
  EXPECT_EQ(p[300], 255);
  EXPECT_EQ(p[500], 0);
  // The framed tile multiplies: 250 x 2 is a tile of 500, laid over the whole open box.
  op_.Param1 = 250;
  op_.Param2 = op_.Param3 = op_.Param4 = op_.Param5 = 0;
  Filled(7, 9);
  ASSERT_EQ(LoadImageFrame(&s_, &op_, 2), 1);
  p = Copy(7);
  EXPECT_EQ(p[300], 255);
  EXPECT_EQ(p[500], 0);
  // A scale or tile that is not positive leaves no tile to lay: nothing to load (no failure
  // that would stop a render), nothing changed.
  s_.previewScaleX = 0.0f;
  EXPECT_EQ(LoadTextureFile(&s_, &op_), 0);
  EXPECT_EQ(LoadImageFrame(&s_, &op_, 2), 0);
  s_.previewScaleX = 1.0f;
  op_.Param1 = 0;
  EXPECT_EQ(LoadTextureFile(&s_, &op_), 0);
  EXPECT_EQ(Copy(7), p);
}

TEST_F(Loaders, DamagedOrTruncatedFilesChangeNothing) {
  Start(20, 10);
  const std::string path = dir_.file("cut.tif");
  vmktest::WriteImageFile(path, plat::imageio::kTypeTIFF, vmktest::PatternImage(64, 64, 1));
  vmktest::Truncate(path, 400);
  Name(path);
  op_.Param1 = op_.Param2 = 8;
  Filled(7, 9);
  for (int32_t target : {7, 2}) {
    op_.ToChannel = static_cast<int8_t>(target);
    EXPECT_EQ(LoadImageFile(&s_, &op_, 1), -1);
    EXPECT_EQ(LoadTextureFile(&s_, &op_), -1);
    for (int16_t mode = 0; mode < 3; ++mode) EXPECT_EQ(LoadImageFrame(&s_, &op_, mode), -1);
  }
  EXPECT_EQ(Copy(7), std::vector<uint8_t>(200, 9));
  EXPECT_EQ(s_.ChannelPlane(3, 0), nullptr);  // no target was made for a failed load
  vmktest::WriteBytes(path, {'I', 'I', 42, 0, 1, 2});
  EXPECT_EQ(LoadImageFile(&s_, &op_, 0), -1);
  Name(dir_.file("absent.tif"));
  EXPECT_EQ(LoadImageFile(&s_, &op_, 0), -1);
}

TEST_F(Loaders, DisplacementMapsTakeTheFirstTwoBytesInRowsOfTheirWidth) {
  RawImage im = vmktest::SolidImage(8, 4, 0, 0, 99);
  for (uint32_t y = 0; y < 4; ++y)
    for (uint32_t x = 0; x < 8; ++x) {
      im.row(y)[x * 4] = static_cast<uint8_t>(30 * x);
      im.row(y)[x * 4 + 1] = static_cast<uint8_t>(60 * y);
    }
  const std::string path = dir_.file("map.tif");
  vmktest::WriteImageFile(path, plat::imageio::kTypeTIFF, im);
  fichier f;
  Init_FicStruct(&f);
  ASSERT_TRUE(SetFicFromPosix(&f, path));
  std::vector<uint8_t> xMap(300 * 100, 0xEE), yMap(300 * 100, 0xEE);
  ASSERT_EQ(LoadDisplaceFile(300, 100, &f, 0, 0, xMap.data(), yMap.data()), 0);
  EXPECT_EQ(xMap[0], 0);
  EXPECT_EQ(xMap[255], 210);     // the last column of a 256-wide row: 255 x 8 / 256 = 7
  EXPECT_EQ(xMap[256], 0);       // the next row starts at 256
  EXPECT_EQ(yMap[0], 180);       // rows stored bottom first
  EXPECT_EQ(yMap[99 * 256], 0);
  EXPECT_EQ(xMap[256 * 100], 0xEE);  // nothing past 256 x 100
  Init_FicStruct(&f);
  ASSERT_TRUE(SetFicFromPosix(&f, dir_.file("absent.tif")));
  const std::vector<uint8_t> before = xMap;
  EXPECT_EQ(LoadDisplaceFile(300, 100, &f, 0, 0, xMap.data(), yMap.data()), -1);
  EXPECT_EQ(xMap, before);
}

TEST_F(Loaders, TheRendererRunsTheLoadersAndTheDisplacementHook) {
  RegisterEffectFamilies();
  for (EffectCode e : {24, 25, 38, 39, 75}) EXPECT_NE(FindRenderCase(e), nullptr) << e;
  EXPECT_EQ(GetDisplaceMapLoader(), &LoadDisplaceFile);
}

}  // namespace
