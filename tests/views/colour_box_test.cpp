// The colour box: its values, the picker on a click, and its drawing.
#include <gtest/gtest.h>

#include "box_fixture.h"

using namespace plat::tb;

namespace vmktest {
namespace {

TEST_F(BoxTest, ColourBoxValuesAndRegistration) {
  EXPECT_TRUE(swatch_.classRegistered());
  EXPECT_EQ(swatch_.view(), swatchView_);
  EXPECT_FLOAT_EQ(swatch_.halfWidth(), 20.0f);
  EXPECT_FLOAT_EQ(swatch_.halfHeight(), 15.0f);
  int16_t r, g, b;
  swatch_.GetRGBmode(&r, &g, &b);
  EXPECT_EQ(b, 4);
  swatch_.SetCol(255, 128, 0);
  swatch_.GetCol(&r, &g, &b);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(g, 128);
  EXPECT_EQ(b, 0);
}

TEST_F(BoxTest, ColourBoxClickAsksForAColour) {
  swatch_.SetCol(255, 128, 0);
  swatch_.SetSelMode(1, 0);
  driver_.ui().AnswerColor(RGBColor{65535, 257, 0});
  driver_.Drag({Point{20, 250}, Point{20, 250}});
  driver_.RunSteps(window_);
  ASSERT_EQ(driver_.ui().colorPrompts.size(), 1u);
  EXPECT_EQ(driver_.ui().colorPrompts[0], "Choose a color:");
  int16_t r, g, b;
  swatch_.GetCol(&r, &g, &b);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(g, 1);
  EXPECT_EQ(b, 0);
  EXPECT_EQ(swatch_.GetSel(), 1);
  EXPECT_EQ(swatch_.CheckSetRefresh(0), 1);
  // A cancelled picker keeps the colour; with picking off none is asked for.
  driver_.Drag({Point{20, 250}, Point{20, 250}});
  driver_.RunSteps(window_);
  swatch_.GetCol(&r, &g, &b);
  EXPECT_EQ(g, 1);
  swatch_.SetPickMode(0, 0, 3);
  driver_.Drag({Point{20, 250}, Point{20, 250}});
  driver_.RunSteps(window_);
  EXPECT_EQ(driver_.ui().colorPrompts.size(), 2u);
  EXPECT_EQ(swatch_.CheckSetRefresh(0), 1);
}

TEST_F(BoxTest, ColourBoxDrawsItsColourOrGrey) {
  swatch_.SetCol(255, 128, 0);
  ShowWindow(window_);
  SetControlNeedsDisplay(swatchView_);
  driver_.Pump();
  EXPECT_EQ(Screen(260, 25), 0xFFEAEAEAu);  // display value d = 0: light grey, no frame
  EXPECT_EQ(Screen(240, 10), 0xFFEAEAEAu);
  swatch_.SetBufParam(0, 0, 0, 1);
  swatch_.SetSelMode(1, 1);
  SetControlNeedsDisplay(swatchView_);
  driver_.Pump();
  EXPECT_EQ(Screen(260, 25), 0xFFFF8000u);
  EXPECT_EQ(Screen(240, 10), 0xFFFF0000u);  // selected: framed in red over black
}

}  // namespace
}  // namespace vmktest
