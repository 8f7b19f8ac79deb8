#include "app/colour_picker.h"

#include <vector>

#include <gtest/gtest.h>

#include "app/core/app_data.h"
#include "platform/draw/port.h"
#include "platform/toolbox/api/scripted_ui.h"
#include "support/colour_model_fixture.h"
#include "support/session.h"

namespace {

// Records the colour the picker was opened with.
class RecordingUi : public plat::ui::ScriptedUi {
 public:
  bool ChooseColor(const std::string& prompt, RGBColor* colour) override {
    offered.push_back(*colour);
    return ScriptedUi::ChooseColor(prompt, colour);
  }
  std::vector<RGBColor> offered;
};

class ColourPicker : public ::testing::Test {
 protected:
  RecordingUi ui_;
  plat::ui::ScopedServices guard_{&ui_};
  vmktest::ScopedAppData app_;
};

TEST_F(ColourPicker, RgbModelsOfferAndTakeHighBytes) {
  int16_t r = 10, g = 20, b = 30, k = 77;
  ui_.AnswerColor(RGBColor{0x1234, 0xABCD, 0xFF00});
  EXPECT_EQ(DoChooseCol(3, &r, &g, &b, &k), 0);
  ASSERT_EQ(ui_.offered.size(), 1u);
  EXPECT_EQ(ui_.offered[0].red, 10 << 8);
  EXPECT_EQ(ui_.offered[0].blue, 30 << 8);
  EXPECT_EQ(ui_.colorPrompts[0], "Choose destination color");
  EXPECT_EQ(r, 0x12);
  EXPECT_EQ(g, 0xAB);
  EXPECT_EQ(b, 0xFF);
  EXPECT_EQ(k, 77);
}

TEST_F(ColourPicker, CancelLeavesTheColourAndPortAlone) {
  plat::draw::Port port(4, 4);
  plat::draw::SetPort(&port);
  int16_t r = 10, g = 20, b = 30, k = 0;
  ui_.AnswerColor(std::nullopt);
  EXPECT_EQ(DoChooseCol(4, &r, &g, &b, &k), 0);
  EXPECT_EQ(r, 10);
  EXPECT_EQ(g, 20);
  EXPECT_EQ(b, 30);
  EXPECT_EQ(plat::draw::GetPort(), &port);
  plat::draw::SetPort(nullptr);
}

TEST_F(ColourPicker, UnknownModelsAndMissingColourModel) {
  int16_t c[4] = {1, 2, 3, 4};
  EXPECT_EQ(DoChooseCol(0, &c[0], &c[1], &c[2], &c[3]), -1);
  EXPECT_EQ(DoChooseCol(5, &c[0], &c[1], &c[2], &c[3]), -1);
  // No colour model loaded: the YMCK models refuse without asking.
  ui_.AnswerColor(RGBColor{0, 0, 0});
  EXPECT_EQ(DoChooseCol(1, &c[0], &c[1], &c[2], &c[3]), -1);
  EXPECT_TRUE(ui_.colorPrompts.empty());
  EXPECT_EQ(c[0], 1);
  EXPECT_EQ(c[3], 4);
}

TEST_F(ColourPicker, YmckModelsConvertThroughTheColourModel) {
  const auto model = vmktest::MakeComplementModel();
  app_.data().colourModel = model.get();
  int16_t y = 0, m = 0, c = 0, k = 0;
  ui_.AnswerColor(RGBColor{0, 0, 0});
  EXPECT_EQ(DoChooseCol(2, &y, &m, &c, &k), 0);
  ASSERT_EQ(ui_.offered.size(), 1u);
  EXPECT_EQ(ui_.offered[0].red, 254 << 8);  // no ink: white through the model
  EXPECT_EQ(y, 0);
  EXPECT_EQ(m, 0);
  EXPECT_EQ(c, 0);
  EXPECT_EQ(k, 255);  // black chosen
  app_.data().colourModel = nullptr;
}

}  // namespace
