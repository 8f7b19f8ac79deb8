// A window of the test nib holding one image box view (200 x 200 at 20, 10)
// and one colour box view (40 x 30 at 240, 10), both registered to boxes that
// the fixture owns, inside a session with its block registry.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "engines/correction/resize_record.h"
#include "platform/toolbox/test_driver.h"
#include "platform/toolbox/toolbox.h"
#include "support/session.h"
#include "views/colour_box.h"
#include "views/image_box.h"

namespace vmktest {

inline constexpr OSType kPrev = FourCC("Prev");

class BoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::tb::SetNibFolder(std::string(VMK_FIXTURES_DIR) + "/nib");
    box_.GetHIimaViewClass("com.vellmarkstead.test.HIima",
                           [this](plat::tb::EventHandlerCallRef c, plat::tb::EventRef e, void* u) {
                             return box_.ImaBoxEventHandler(c, e, u);
                           });
    swatch_.GetHIcolViewClass("com.vellmarkstead.test.HIcol",
                              [this](plat::tb::EventHandlerCallRef c, plat::tb::EventRef e, void* u) {
                                return swatch_.ColBoxEventHandler(c, e, u);
                              });
    ASSERT_EQ(plat::tb::CreateWindowFromNib("Preview", &window_), noErr);
    view_ = plat::tb::FindControl(window_, kPrev, 1);
    swatchView_ = plat::tb::FindControl(window_, kPrev, 2);
  }
  void TearDown() override {
    plat::tb::DisposeWindow(window_);
    driver_.Pump();
  }

  // The box laid out for a picture of w x h over the whole pan (mode 2:
  // whole-image rule; other modes: pan rule, no engine).
  void LayOutPicture(int32_t w, int32_t h, int16_t mode) {
    box_.InitBuf(1);
    YoxelPar rec;
    Init_YoxelPar(&rec, w, h, 72, 0, 5);
    box_.SetYoxelPar(&rec, mode, 0);
  }
  // Display pixel (column x, buffer row y) as R, G, B, A bytes.
  uint32_t Display(int32_t x, int32_t y) const {
    const uint8_t* p = box_.displayBuffer() + (static_cast<int64_t>(y) * box_.state().viewWidth + x) * 4;
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
  }
  uint32_t Screen(int x, int y) const { return plat::tb::GetWindowPort(window_)->surface().pixel(x, y); }
  void Redraw() {
    plat::tb::ShowWindow(window_);
    plat::tb::SetControlNeedsDisplay(view_);
    driver_.Pump();
  }

  ScopedSession session_;
  plat::tb::test::Driver driver_;
  VMKimabox box_;
  VMKcolbox swatch_;
  plat::tb::WindowRef window_ = nullptr;
  plat::tb::ControlRef view_ = nullptr;
  plat::tb::ControlRef swatchView_ = nullptr;
};

}  // namespace vmktest
