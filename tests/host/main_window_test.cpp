#include "host/main_window.h"

#include <gtest/gtest.h>

#include <string>

#include "host/host_fixture.h"
#include "host/render_progress.h"

namespace {

namespace tb = plat::tb;
using vmktest::Fill;
using vmktest::Sample;

class MainWindowTest : public vmktest::HostTest {
 protected:
  tb::WindowRef Open(uint32_t width, uint32_t height) {
    CarbonEditPlugin* s = Start({Version("a.tif", vmktest::SolidImage(width, height, 200, 200, 200))});
    if (s->editWindow() == nullptr) return nullptr;
    return s->mainWindow->window;
  }
  tb::ControlRef Control(tb::WindowRef w, int32_t id) { return tb::FindControl(w, kApemainSig, id); }
  // A 4 x 4 session shown, its source black and its render white, so that the blend's
  // first sample is the opacity's share of 255.
  tb::WindowRef OpenBlackUnderWhite() {
    tb::WindowRef w = Open(4, 4);
    if (w == nullptr) return nullptr;
    driver_.Advance(0.1);
    driver_.RunSteps(w);
    Fill(session_->source, 0);
    PixelBuffer render(4, 4, 1, 4);
    Fill(render, 255);
    session_->filtered = render;
    return w;
  }
};

TEST(MainWindowZoom, ShownZoomRunsFromTheFitToFullSize) {
  EXPECT_FLOAT_EQ(ShownZoom(0.0f, 0.5f), 0.5f);
  EXPECT_FLOAT_EQ(ShownZoom(0.5f, 0.5f), 0.75f);
  EXPECT_FLOAT_EQ(ShownZoom(1.0f, 0.25f), 1.0f);
}

TEST_F(MainWindowTest, WindowShowsTheImageAndItsZoom) {
  tb::WindowRef w = Open(1280, 1040);  // the picture frame is 640 x 520: fit 0.5
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(gVMKapemain, session_->mainWindow);
  EXPECT_EQ(tb::GetKeyboardFocus(w), Control(w, kApemainOpacity));
  driver_.Advance(0.1);
  driver_.RunSteps(w);
  EXPECT_EQ(tb::GetControlText(Control(w, kApemainZoomText)), " 50%");
  EXPECT_EQ(tb::GetControlText(Control(w, kApemainOpacity)), "100");
  driver_.Slide(kApemainSig, kApemainZoom, 50);
  driver_.RunSteps(w);
  EXPECT_EQ(tb::GetControlText(Control(w, kApemainZoomText)), " 75%");
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(MainWindowTest, TypedOpacityAppliesOneSecondAfterTheLastKey) {
  tb::WindowRef w = OpenBlackUnderWhite();
  ASSERT_NE(w, nullptr);
  driver_.Type(kApemainSig, kApemainOpacity, "5").Advance(0.5).Type(kApemainSig, kApemainOpacity, "50", true);
  driver_.Advance(0.9);
  driver_.RunSteps(w);
  EXPECT_EQ(session_->opacity, 100);  // not yet: the last key was 0.9 s ago
  driver_.Advance(0.2);
  driver_.RunSteps(w);
  EXPECT_EQ(session_->opacity, 50);
  EXPECT_EQ(Sample(session_->destination, 0, 0, 0), 127u);
  // Beyond a percentage it is held at 100.
  driver_.Type(kApemainSig, kApemainOpacity, "250").Advance(1.1);
  driver_.RunSteps(w);
  EXPECT_EQ(session_->opacity, 100);
  EXPECT_EQ(tb::GetControlText(Control(w, kApemainOpacity)), "100");
  EXPECT_TRUE(driver_.errors().empty());
}

// Return presses OK at once, before the second the typing waits for: the version written
// is the blend at the value just typed, not at the one before it. OK clicked with the
// mouse right after typing is the same case.
TEST_F(MainWindowTest, OkRightAfterTypingWritesTheTypedOpacity) {
  for (const bool byReturn : {true, false}) {
    tb::WindowRef w = OpenBlackUnderWhite();
    ASSERT_NE(w, nullptr);
    session_->doOpaMod(100, 1);
    ASSERT_EQ(Sample(session_->destination, 0, 0, 0), 255u);
    const std::string version = session_->versions[0].path;
    driver_.Type(kApemainSig, kApemainOpacity, "50");
    if (byReturn) driver_.Key(13);
    else driver_.Press(kApemainSig, 1);
    driver_.RunSteps(w);
    edit_->RunPosted();
    EXPECT_EQ(edit_->ended, 1) << (byReturn ? "Return" : "OK clicked");
    EXPECT_EQ(session_->opacity, 50);
    EXPECT_EQ(Sample(Read(version), 0, 0, 0), 127u) << (byReturn ? "Return" : "OK clicked");
    EXPECT_TRUE(driver_.errors().empty());
    session_.reset();
    edit_->ended = 0;
    driver_.Pump();
  }
}

TEST_F(MainWindowTest, ArrowsStepTheOpacityAndTheFieldFollows) {
  tb::WindowRef w = Open(4, 4);
  ASSERT_NE(w, nullptr);
  driver_.Advance(0.1);
  driver_.PressPart(kApemainSig, kApemainArrows, tb::kControlUpButtonPart).Advance(0.1);
  driver_.RunSteps(w);
  EXPECT_EQ(tb::GetControlText(Control(w, kApemainOpacity)), "99");
  EXPECT_EQ(session_->opacity, 99);
  // The page parts step by ten.
  tb::ControlRef arrows = Control(w, kApemainArrows);
  ScrollBar32BitActionProc(arrows, tb::kControlPageUpPart);
  EXPECT_EQ(tb::GetControlText(Control(w, kApemainOpacity)), "89");
  ScrollBar32BitActionProc(arrows, tb::kControlPageDownPart);
  ScrollBar32BitActionProc(arrows, tb::kControlDownButtonPart);
  ScrollBar32BitActionProc(arrows, tb::kControlDownButtonPart);
  EXPECT_EQ(tb::GetControlText(Control(w, kApemainOpacity)), "100");  // held at the top
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(MainWindowTest, CommandZStepsBackAtTheNextTick) {
  tb::WindowRef w = Open(4, 4);
  ASSERT_NE(w, nullptr);
  driver_.Advance(0.1);
  driver_.RunSteps(w);
  PixelBuffer before = session_->destination;
  PixelBuffer render(4, 4, 1, 4);
  Fill(render, 9);
  session_->spare = before;
  session_->destination = render;
  driver_.Key('z', cmdKey);
  driver_.RunSteps(w);
  EXPECT_EQ(gApemainBack, 1);
  EXPECT_EQ(tb::GetControlText(Control(w, kApemainOpacity)).find('z'), std::string::npos);
  driver_.Advance(0.1);
  driver_.RunSteps(w);
  EXPECT_EQ(gApemainBack, 0);
  EXPECT_EQ(Sample(session_->destination, 0, 0, 0), 200u);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(MainWindowTest, BlendModeWaitsForTheTick) {
  tb::WindowRef w = Open(4, 4);
  ASSERT_NE(w, nullptr);
  driver_.Advance(0.1);
  driver_.RunSteps(w);
  Fill(session_->source, 200);
  PixelBuffer render(4, 4, 1, 4);
  Fill(render, 100);
  session_->filtered = render;
  driver_.Choose(kApemainSig, kApemainBlend, 5);  // darken
  driver_.RunSteps(w);
  EXPECT_EQ(session_->mainWindow->blendMode, 5);
  EXPECT_EQ(session_->blendMode, 1);
  driver_.Advance(0.1);
  driver_.RunSteps(w);
  EXPECT_EQ(session_->blendMode, 5);
  EXPECT_EQ(Sample(session_->destination, 0, 0, 0), 100u);
  EXPECT_TRUE(driver_.errors().empty());
}

// A render serves timers while it runs: a blend change armed before it waits until the
// render is over, and stepping back afterwards still reaches the image before the effect.
TEST_F(MainWindowTest, AnApplyArmedBeforeARenderWaitsForIt) {
  tb::WindowRef w = Open(4, 4);
  ASSERT_NE(w, nullptr);
  driver_.Advance(0.1);
  driver_.RunSteps(w);
  vmktest::WriteBrightnessLayers(bundle_.file("bright.lay"), 10);
  driver_.Choose(kApemainSig, kApemainBlend, 5);  // darken, armed for the next tick
  driver_.RunSteps(w);
  ASSERT_EQ(session_->mainWindow->pendingApply, 1);
  int ticksDuringRender = 0;
  SetRenderStartWatcher([&] {
    driver_.Advance(0.3);  // ticks of the window's loop inside the render
    driver_.RunSteps(w);
    ticksDuringRender = 1;
    EXPECT_EQ(session_->mainWindow->pendingApply, 1);
    EXPECT_EQ(session_->blendMode, 1);
  });
  ASSERT_EQ(session_->RenderLayerFile(bundle_.file("bright.lay")), 0);
  SetRenderStartWatcher(nullptr);
  EXPECT_EQ(ticksDuringRender, 1);
  EXPECT_EQ(Sample(session_->destination, 0, 0, 0), 210u);
  driver_.Advance(0.1);  // the apply, now
  driver_.RunSteps(w);
  EXPECT_EQ(session_->mainWindow->pendingApply, 0);
  EXPECT_EQ(session_->blendMode, 5);
  EXPECT_EQ(Sample(session_->destination, 0, 0, 0), 200u);  // darken of 210 over 200
  // Stepping back toggles with the image before the effect.
  session_->doBack();
  EXPECT_EQ(Sample(session_->destination, 0, 0, 0), 210u);
  EXPECT_TRUE(driver_.errors().empty());
}

// An OK clicked on the main window while a render runs is neither carried out beside the
// render nor lost: the first tick after the render writes the rendered version and ends the
// session, once, however often it was clicked. A Cancel clicked first wins over an OK after it.
TEST_F(MainWindowTest, OkClickedWhileARenderRunsIsCarriedOutWhenItEnds) {
  for (const bool cancelFirst : {false, true}) {
    tb::WindowRef w = Open(4, 4);
    ASSERT_NE(w, nullptr);
    driver_.Advance(0.1);
    driver_.RunSteps(w);
    vmktest::WriteBrightnessLayers(bundle_.file("bright.lay"), 10);
    const std::string version = bundle_.file("a.tif");
    int clicks = 0;
    SetRenderStartWatcher([&] {
      if (cancelFirst) driver_.ClickControl(Control(w, 2));
      driver_.ClickControl(Control(w, 1));
      driver_.ClickControl(Control(w, 1));
      clicks = 1;
      // Nothing of it happens while the render runs.
      edit_->RunPosted();
      EXPECT_EQ(edit_->ended, 0);
      EXPECT_EQ(edit_->cancelled, 0);
      EXPECT_EQ(session_->mainWindow->heldCommands.size(), cancelFirst ? 3u : 2u);
    });
    ASSERT_EQ(session_->RenderLayerFile(bundle_.file("bright.lay")), 0);
    SetRenderStartWatcher(nullptr);
    ASSERT_EQ(clicks, 1);
    edit_->RunPosted();
    EXPECT_EQ(edit_->ended + edit_->cancelled, 0);
    driver_.Advance(0.1);  // the tick after the render
    driver_.RunSteps(w);
    edit_->RunPosted();
    EXPECT_TRUE(session_->mainWindow->heldCommands.empty());
    if (cancelFirst) {
      EXPECT_EQ(edit_->cancelled, 1);
      EXPECT_EQ(edit_->ended, 0);
    } else {
      EXPECT_EQ(edit_->ended, 1);
      EXPECT_EQ(edit_->cancelled, 0);
      // The version OK wrote is the rendered one.
      EXPECT_EQ(Sample(Read(version), 0, 0, 0), 210u);
    }
    EXPECT_TRUE(driver_.errors().empty());
    session_.reset();
    driver_.Pump();
  }
}

TEST_F(MainWindowTest, ReadoutShowsTheColourUnderThePointer) {
  tb::WindowRef w = Open(4, 4);
  ASSERT_NE(w, nullptr);
  driver_.Advance(0.1);
  const Rect frame = tb::GetControlBounds(Control(w, kApemainImage));
  driver_.MoveMouse(static_cast<int16_t>(frame.left + 3), static_cast<int16_t>(frame.top + 3));
  driver_.RunSteps(w);
  EXPECT_EQ(tb::GetControlText(Control(w, kApemainReadRed)), " R 200");
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(MainWindowTest, OkAndCancelEndTheSession) {
  tb::WindowRef w = Open(4, 4);
  ASSERT_NE(w, nullptr);
  driver_.Press(kApemainSig, 2);
  driver_.RunSteps(w);
  edit_->RunPosted();
  EXPECT_EQ(edit_->cancelled, 1);
  driver_.Press(kApemainSig, 1);
  driver_.RunSteps(w);
  edit_->RunPosted();
  EXPECT_EQ(edit_->ended, 1);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
