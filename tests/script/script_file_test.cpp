#include "script/script_file.h"

#include <vector>

#include <gtest/gtest.h>

#include "app/core/memory_manager.h"
#include "raster/plane_copy.h"
#include "support/session.h"

namespace {

class Script : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    gPer->previewWidth = 50;
    gPer->previewHeight = 50;
  }
  void Fill(int16_t channel, uint8_t value) {
    uint8_t* p = script_.ChannelPlane(channel, 1);
    ASSERT_NE(p, nullptr);
    std::fill(p, p + script_.planeWidth * script_.planeHeight, value);
  }
  ScriptFile script_;
};

TEST_F(Script, NewScriptHasOneActiveLayerPerStack) {
  for (int16_t s = 0; s < ScriptFile::kStacks; ++s) {
    const LayerFile* stack = script_.GetStack(s);
    ASSERT_NE(stack, nullptr);
    ASSERT_EQ(stack->layerCount, 1);
    EXPECT_EQ(stack->GetLayAct(1, nullptr), 1);
  }
  EXPECT_EQ(PStrString(script_.GetStack(255)->GetLaye(1)->name), "Layer 0");
  EXPECT_EQ(script_.GetStack(256), nullptr);
  EXPECT_EQ(script_.GetStack(-1), nullptr);
  EXPECT_EQ(script_.version, 2);
  EXPECT_EQ(script_.colourModel, 1);
  EXPECT_EQ(script_.planeCount, 0);
}

TEST_F(Script, SetUpComputesAreaScalesAndDrawingRecord) {
  ASSERT_EQ(script_.I_ScriptFile(7, 200, 100, 72.5f, 100, 50, 0, 0, 99, 49), 0);
  EXPECT_EQ(script_.colourModel, 1);  // mode 7 names no model
  EXPECT_EQ(script_.areaWidth, 100);
  EXPECT_EQ(script_.areaHeight, 50);
  EXPECT_EQ(script_.previewScaleX, 1.0f);  // the larger of 0.5 and 1.0
  EXPECT_EQ(script_.previewScaleY, 1.0f);
  ASSERT_NE(script_.drawPar, nullptr);
  EXPECT_EQ(script_.drawPar->scaleX, 0.5f);
  EXPECT_EQ(script_.drawPar->scaleY, 1.0f);
  EXPECT_EQ(script_.renderScaleX, 1.0f);

  script_.NewLimSize(10, 5, 59, 24, 0.25f, 0.5f);
  EXPECT_EQ(script_.areaX1, 59);
  EXPECT_EQ(script_.areaWidth, 100);  // the size stays as set up
  EXPECT_EQ(script_.renderScaleY, 0.5f);

  script_.SetDrwVal(1, 2, 3, 4, 5, 6);
  EXPECT_EQ(script_.drawPar->viewOffsetY, 2.0f);
  EXPECT_EQ(script_.drawPar->scaleX, 3.0f);
  EXPECT_EQ(script_.drawPar->originY, 6.0f);

  // Setting up again replaces the planes and the drawing record without leaking them.
  Fill(9, 1);
  const int32_t held = session_.memMan().count();
  ASSERT_EQ(script_.I_ScriptFile(4, 10, 10, 72, 10, 10, 0, 0, 9, 9), 0);
  EXPECT_EQ(session_.memMan().count(), held - 1);
  EXPECT_EQ(script_.colourModel, 0);
  ASSERT_EQ(script_.I_ScriptFile(11, 10, 10, 72, 10, 10, 0, 0, 9, 9), 0);
  EXPECT_EQ(script_.colourModel, 1);
}

TEST_F(Script, PlaneCountFollowsModelAndAlpha) {
  uint8_t a = 0;
  script_.SetBuf(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(script_.planeCount, 3);
  script_.SetBuf(nullptr, nullptr, nullptr, nullptr, &a, nullptr);
  EXPECT_EQ(script_.planeCount, 4);
  script_.colourModel = 0;
  script_.SetBuf(nullptr, nullptr, nullptr, nullptr, &a, nullptr);
  EXPECT_EQ(script_.planeCount, 5);
  script_.colourModel = 9;
  script_.SetBuf(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(script_.planeCount, 5);
}

TEST_F(Script, ImagePlanesFromPixels) {
  ASSERT_EQ(script_.I_ScriptFile(4, 3, 2, 72, 3, 2, 0, 0, 2, 1), 0);
  std::vector<uint8_t> pixels(24);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i);
  ASSERT_EQ(script_.PrepAllImaBuf(pixels.data(), 8), 0);
  EXPECT_EQ(script_.ChannelPlane(3, 0)[5], 20);
  EXPECT_EQ(script_.ChannelPlane(4, 0)[5], 21);
  EXPECT_EQ(script_.ChannelPlane(5, 0)[1], 6);
  EXPECT_EQ(script_.ChannelPlane(2, 0)[1], 7);
  ASSERT_EQ(script_.PrepAllImaBuf(nullptr, 8), 0);
  for (int16_t c = 2; c <= 5; ++c)
    for (int i = 0; i < 6; ++i) EXPECT_EQ(script_.ChannelPlane(c, 0)[i], 0);
  // Other depths do nothing.
  Fill(3, 4);
  EXPECT_EQ(script_.PrepAllImaBuf(pixels.data(), 16), 0);
  EXPECT_EQ(script_.ChannelPlane(3, 0)[0], 4);
}

TEST_F(Script, ChannelNumbersOutsideTheManagerNameNoPlane) {
  EXPECT_EQ(script_.ChannelPlane(3, 1), nullptr);  // no manager yet
  ASSERT_EQ(script_.I_ScriptFile(3, 4, 4, 72, 4, 4, 0, 0, 3, 3), 0);
  EXPECT_EQ(script_.ChannelPlane(90, 1), nullptr);
  EXPECT_EQ(script_.ChannelPlane(-100, 1), nullptr);
  EXPECT_NE(script_.ChannelPlane(89, 1), nullptr);
  std::vector<uint8_t> out(16, 9);
  EXPECT_EQ(script_.CollectCharBuf(127, 0, 0, 1000, 1000, 4, 4, out.data(), 4, 4), 0);
  EXPECT_EQ(out, std::vector<uint8_t>(16, 0));
  std::fill(out.begin(), out.end(), 9);
  EXPECT_EQ(script_.CollectCharBuf(-128, 0, 0, 1000, 1000, 4, 4, out.data(), 4, 4), 0);
  EXPECT_EQ(out, std::vector<uint8_t>(16, 0));
  Fill(20, 1);
  script_.FreeAllChanBuf(7);
  EXPECT_EQ(script_.ChannelPlane(20, 0), nullptr);
  EXPECT_NE(script_.ChannelPlane(89, 0), nullptr);
}

TEST_F(Script, CollectionsOfPlanesAndTheComposite) {
  ASSERT_EQ(script_.I_ScriptFile(3, 40, 30, 72, 40, 30, 0, 0, 39, 29), 0);
  std::vector<uint8_t> out(100, 9);
  EXPECT_EQ(script_.CollectCharBuf(7, 0, 0, 1000, 1000, 10, 10, out.data(), 10, 10), 0);
  EXPECT_EQ(out, std::vector<uint8_t>(100, 0));  // never created

  Fill(3, 30);
  Fill(4, 60);
  Fill(5, 91);
  Fill(7, 200);
  // A gradient in plane 7 shows where the region lands: thousandths 250..750 across the
  // 40-pixel area are columns 9..29, 100..900 down the 30 rows are rows 2..26.
  uint8_t* seven = script_.ChannelPlane(7, 0);
  for (int i = 0; i < 40 * 30; ++i) seven[i] = static_cast<uint8_t>(i % 40 * 5 + i / 40);
  std::vector<uint8_t> expected(100, 0);
  BufToBufChar_andR(0, 40, 30, seven, 10, 10, expected.data(), 9, 2, 29, 26, 0, 0, 10, 10);
  const int32_t held = session_.memMan().count();
  EXPECT_EQ(script_.CollectCharBuf(7, 250, 100, 750, 900, 10, 10, out.data(), 10, 10), 0);
  EXPECT_EQ(out, expected);
  const std::vector<uint8_t> mean(40 * 30, 60);  // floor(181 / 3)
  BufToBufChar_andR(0, 40, 30, mean.data(), 10, 10, expected.data(), 0, 0, 39, 29, 0, 0, 10, 10);
  EXPECT_EQ(script_.CollectCharBuf(0, 0, 0, 1000, 1000, 10, 10, out.data(), 10, 10), 0);
  EXPECT_EQ(out, expected);
  Fill(7, 200);

  std::vector<int16_t> wide(100, 9);
  EXPECT_EQ(script_.CollectShortBuf(0, 0, 0, 1000, 1000, 10, 10, wide.data(), 10, 10), 0);
  EXPECT_EQ(wide, std::vector<int16_t>(100, 60 * 32));
  EXPECT_EQ(script_.CollectShortBuf(9, 0, 0, 1000, 1000, 10, 10, wide.data(), 10, 10), 0);
  EXPECT_EQ(wide, std::vector<int16_t>(100, 0));

  std::vector<uint32_t> pixels(100, 0xFF000000u);
  EXPECT_EQ(script_.CollectLongBuf(7, 0, 0, 1000, 1000, 10, 10, pixels.data(), 10, 10), 0);
  EXPECT_EQ(pixels[55], 0xC8C8C8C8u);
  std::fill(pixels.begin(), pixels.end(), 0xFF000000u);
  EXPECT_EQ(script_.CollectLongBuf(0, 0, 0, 1000, 1000, 10, 10, pixels.data(), 10, 10), 0);
  EXPECT_EQ(pixels[99], 0xFF5B3C1Eu);  // bytes 30, 60, 91; the fourth kept
  EXPECT_EQ(session_.memMan().count(), held);
}

}  // namespace
