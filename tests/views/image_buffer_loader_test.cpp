// The free plane loader beside the image box: each kind's source, the colour shift after it,
// and that a failing kind leaves the planes alone.
#include "views/image_buffer_loader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "app/file_access.h"
#include "raster/blend_filters.h"
#include "script/document_data.h"
#include "script/ramp_bitmaps.h"
#include "script/script_file.h"
#include "support/image_fixtures.h"
#include "support/session.h"

namespace {

using Plane = std::vector<uint8_t>;

DocData gDoc;
DocData* TheDocument() { return &gDoc; }

class LoadImaBufTest : public vmktest::SessionTest {
 protected:
  static constexpr int32_t kW = 12, kH = 8;
  void SetUp() override {
    ASSERT_EQ(script_.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW - 1, kH - 1), 0);
    for (int32_t c = 3; c <= 6; ++c) {
      uint8_t* p = script_.ChannelPlane(c, 1);
      ASSERT_NE(p, nullptr);
      for (int32_t i = 0; i < kW * kH; ++i) p[i] = static_cast<uint8_t>(i * c + 10 * c);
    }
    gDoc.script = &script_;
    SetCurrentDocumentSource(TheDocument);
  }
  void TearDown() override {
    SetCurrentDocumentSource(nullptr);
    gDoc.script = nullptr;
  }
  Plane Channel(int32_t c) {
    const uint8_t* p = script_.ChannelPlane(c, 0);
    return Plane(p, p + kW * kH);
  }
  int16_t Load(int16_t kind, int32_t w, int32_t h, fichier* file = nullptr,
               LutVign* lut = nullptr, int16_t hue = 0, int16_t sat = 0, int16_t light = 0) {
    for (Plane* p : {&r_, &g_, &b_, &m_}) p->assign(static_cast<size_t>(w) * h, 7);
    return LoadImaBuf(kind, r_.data(), g_.data(), b_.data(), m_.data(), w, h, file, lut, hue,
                      sat, light);
  }
  bool Untouched() const {
    for (const Plane* p : {&r_, &g_, &b_, &m_})
      for (uint8_t v : *p)
        if (v != 7) return false;
    return true;
  }

  ScriptFile script_;
  Plane r_, g_, b_, m_;
  vmktest::TempDir dir_;
};

TEST_F(LoadImaBufTest, KindZeroTakesChannelsThreeToSixThenTheColourShift) {
  ASSERT_EQ(Load(0, kW, kH), 0);
  EXPECT_EQ(r_, Channel(3));
  EXPECT_EQ(g_, Channel(4));
  EXPECT_EQ(b_, Channel(5));
  EXPECT_EQ(m_, Channel(6));

  // The shift is the raster core's over the whole of red, green and blue; the mask keeps.
  ASSERT_EQ(Load(0, kW, kH, nullptr, nullptr, 120, -30, 10), 0);
  Plane r = Channel(3), g = Channel(4), b = Channel(5);
  HSLBlendChar(r.data(), g.data(), b.data(), kH, kW, 0, 0, kW - 1, kH - 1, 120, -30, 10);
  EXPECT_EQ(r_, r);
  EXPECT_EQ(g_, g);
  EXPECT_EQ(b_, b);
  EXPECT_EQ(m_, Channel(6));
  EXPECT_NE(r_, Channel(3));

  // Planes of another size take the channels rescaled (filtered): a flat channel stays flat
  // within the filter's rounding.
  std::fill_n(script_.ChannelPlane(4, 0), kW * kH, 90);
  ASSERT_EQ(Load(0, 30, 20), 0);
  for (uint8_t v : g_) EXPECT_NEAR(v, 90, 1);
}

TEST_F(LoadImaBufTest, KindOneDrawsTheRampsBarAndTakesChannelSixAsTheMask) {
  LutVign lut;
  Init_LutVign(0, &lut, 0, 0, 0, 0);
  for (int32_t i = 0; i < 256; ++i) {
    lut.colour[0][i] = static_cast<uint8_t>(i);
    lut.colour[1][i] = static_cast<uint8_t>(255 - i);
    lut.colour[2][i] = 40;
  }
  ASSERT_EQ(Load(1, kW, kH, nullptr, &lut), 0);
  Plane r(kW * kH), g(kW * kH), b(kW * kH);
  Rect bar;
  bar.bottom = kH;
  bar.right = kW;
  build_BufRGBBar(&bar, r.data(), g.data(), b.data(), &lut, 0, 0, 0);
  EXPECT_EQ(r_, r);
  EXPECT_EQ(g_, g);
  EXPECT_EQ(b_, b);
  EXPECT_EQ(m_, Channel(6));
  EXPECT_LT(r_[0], r_[kW - 1]);  // the ramp runs left to right

  EXPECT_EQ(Load(1, kW, kH), -1);  // no ramp
  EXPECT_TRUE(Untouched());
}

TEST_F(LoadImaBufTest, KindsTwoAndThreeReadTheFileResizedAndAFailureKeepsThePlanes) {
  const std::string path = dir_.file("solid.png");
  vmktest::WriteImageFile(path, plat::imageio::kTypePNG, vmktest::SolidImage(40, 30, 200, 100, 50));
  fichier f;
  Init_FicStruct(&f);
  ASSERT_TRUE(SetFicFromPosix(&f, path));
  for (int16_t kind : {2, 3}) {
    ASSERT_EQ(Load(kind, 10, 6, &f), 0) << kind;
    EXPECT_EQ(r_, Plane(60, 200));
    EXPECT_EQ(g_, Plane(60, 100));
    EXPECT_EQ(b_, Plane(60, 50));
    EXPECT_EQ(m_, Plane(60, 255));  // opaque
  }

  fichier missing;
  Init_FicStruct(&missing);
  ASSERT_TRUE(SetFicFromPosix(&missing, dir_.file("none.png")));
  EXPECT_EQ(Load(2, 10, 6, &missing), -1);
  EXPECT_TRUE(Untouched());
  EXPECT_EQ(Load(3, 10, 6, nullptr), -1);
  EXPECT_TRUE(Untouched());
}

TEST_F(LoadImaBufTest, NoDocumentNoPlanesOrAnotherKindDoNothing) {
  SetCurrentDocumentSource(nullptr);
  EXPECT_EQ(Load(0, kW, kH), -1);
  EXPECT_TRUE(Untouched());
  SetCurrentDocumentSource(TheDocument);
  EXPECT_EQ(Load(4, kW, kH), 0);
  EXPECT_EQ(Load(-1, kW, kH), 0);
  EXPECT_TRUE(Untouched());
  EXPECT_EQ(Load(0, 0, kH), -1);
  EXPECT_EQ(LoadImaBuf(0, nullptr, g_.data(), b_.data(), m_.data(), kW, kH, nullptr, nullptr, 0,
                       0, 0),
            -1);
}

}  // namespace
