// The image-tools button of the main window: it opens the "ImaEff" window
// on the photo through the launcher and the dispatcher; what is edited
// there is rendered into the main window on OK and written back with the
// main window's OK.
#include <gtest/gtest.h>

#include <algorithm>

#include "dialogs/editor/tune_effect.h"
#include "host/host_fixture.h"
#include "host/main_window.h"
#include "script/script_file.h"

namespace {

namespace tb = plat::tb;
using vmktest::Sample;

constexpr OSType kTeff = FourCC("Teff");
constexpr int32_t kToolsButton = 52;  // 'Btoo' of the main window
constexpr uint32_t kWidth = 600, kHeight = 400;

vmktest::RawImage Gradient(uint32_t w, uint32_t h) {
  vmktest::RawImage im;
  im.width = w;
  im.height = h;
  im.data.assign(im.rowBytes() * h, 255);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      uint8_t* p = im.row(y) + 4 * x;
      p[0] = static_cast<uint8_t>(20 + x * 150 / w);
      p[1] = static_cast<uint8_t>(30 + y * 150 / h);
      p[2] = 90;
    }
  return im;
}

// Squares of 24 pixels, dark and light: a blur shows how far it spreads.
vmktest::RawImage Squares(uint32_t w, uint32_t h) {
  vmktest::RawImage im = Gradient(w, h);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x)
      if (((x / 24) + (y / 24)) % 2 == 0) std::fill_n(im.row(y) + 4 * x, 3, uint8_t{230});
  return im;
}

class ImageToolsRoadTest : public vmktest::HostTest {};

TEST_F(ImageToolsRoadTest, TheToolsButtonOpensTheImageToolsAndOkRendersAndWritesBack) {
  CarbonEditPlugin* s = Start({Version("v0.tif", Gradient(kWidth, kHeight))});
  ASSERT_NE(s->editWindow(), nullptr);
  tb::WindowRef main = s->mainWindow->window;
  const PixelBuffer before = session_->destination;
  int32_t previews = 0;
  driver_.Press(kApemainSig, kToolsButton)
      .Advance(0.1)
      .Do([&](tb::WindowRef w) {
        VMKtuneeff* e = gVMKtuneeff;
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(tb::GetWindowName(w), "ImaEff");
        EXPECT_EQ(e->docWidth, static_cast<int32_t>(kWidth));
        previews = e->previewsShown();
        // A brightness of 60 on the composite, as the user would choose it.
        e->script->SetEffect(e->stack, e->layer, 1, 16, 0, 0, kWidth, kHeight);
        e->script->SetToChannel(e->stack, e->layer, 1, 2);
        e->currentOprn = 1;
        e->DrawWindowContent(w);
        tb::SetControlText(tb::FindControl(w, kTeff, 16), "60");
        e->SetRefreshFlag(1);
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef) { EXPECT_GT(gVMKtuneeff->previewsShown(), previews); })
      .Press(kTeff, 1);
  driver_.RunSteps(main);
  EXPECT_EQ(gVMKtuneeff, nullptr);
  int changed = 0, darker = 0;
  for (uint32_t y = 0; y < kHeight; y += 9)
    for (uint32_t x = 0; x < kWidth; x += 7)
      for (int k = 0; k < 3; ++k) {
        const uint32_t d = Sample(session_->destination, x, y, k);
        const uint32_t b = Sample(before, x, y, k);
        changed += d != b;
        darker += d < b;
      }
  EXPECT_GT(changed, 0);
  EXPECT_EQ(darker, 0);
  driver_.Press(kApemainSig, 1);
  driver_.RunSteps(main);
  const PixelBuffer written = Read(session_->versions[0].path);
  ASSERT_EQ(written.width(), session_->destination.width());
  for (uint32_t y = 0; y < kHeight; ++y)
    ASSERT_TRUE(std::equal(written.rowPtr(y), written.rowPtr(y) + 4 * kWidth, session_->destination.rowPtr(y))) << y;
  EXPECT_TRUE(driver_.errors().empty());
}

// A photo as wide as the preview's planes and less high is shown at 1:1:
// the preview the image tools show is, pixel for pixel, what OK renders.
TEST_F(ImageToolsRoadTest, ThePreviewAtOneToOneIsTheFinalRender) {
  constexpr uint32_t w = 380, h = 250;
  CarbonEditPlugin* s = Start({Version("v0.tif", Gradient(w, h))});
  ASSERT_NE(s->editWindow(), nullptr);
  tb::WindowRef main = s->mainWindow->window;
  std::vector<uint8_t> shown[3];
  driver_.Press(kApemainSig, kToolsButton)
      .Advance(0.1)
      .Do([&](tb::WindowRef win) {
        VMKtuneeff* e = gVMKtuneeff;
        ASSERT_NE(e, nullptr);
        // A brightness, then a blur of the composite.
        e->script->SetEffect(e->stack, e->layer, 1, 16, 0, 0, w, h);
        e->script->SetToChannel(e->stack, e->layer, 1, 2);
        e->script->SetParam1(e->stack, e->layer, 1, 50);
        e->script->SetEffect(e->stack, e->layer, 2, 11, 0, 0, w, h);
        e->script->SetToChannel(e->stack, e->layer, 2, 2);
        e->script->SetParam1(e->stack, e->layer, 2, 3);
        e->currentOprn = 2;
        e->DrawWindowContent(win);
        e->SetRefreshFlag(1);
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        VMKtuneeff* e = gVMKtuneeff;
        ASSERT_EQ(e->viewWidth, static_cast<int32_t>(w));
        ASSERT_EQ(e->fittedWidth, static_cast<int32_t>(w));
        ASSERT_EQ(e->fittedHeight, static_cast<int32_t>(h));
        for (int k = 0; k < 3; ++k)
          shown[k].assign(e->resultPlanes[3 + k], e->resultPlanes[3 + k] + static_cast<size_t>(e->viewWidth) * h);
      })
      .Press(kTeff, 1);
  driver_.RunSteps(main);
  ASSERT_EQ(shown[0].size(), static_cast<size_t>(w) * h);
  // The preview's planes run from the bottom of the picture up. Away from
  // the border (the blur's reach) they are the destination.
  constexpr uint32_t margin = 16;
  int differ = 0, changed = 0;
  const vmktest::RawImage source = Gradient(w, h);
  for (uint32_t y = margin; y < h - margin; ++y)
    for (uint32_t x = margin; x < w - margin; ++x)
      for (int k = 0; k < 3; ++k) {
        const uint32_t d = Sample(session_->destination, x, y, k);
        differ += shown[k][static_cast<size_t>(h - 1 - y) * w + x] != d;
        changed += d != source.row(y)[4 * x + static_cast<uint32_t>(k)];
      }
  EXPECT_EQ(differ, 0);
  EXPECT_GT(changed, 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// The image tools' number fields: Return presses OK at once, and the
// operation renders with the value just typed (a brightness typed as 30 over
// the stored 60 brightens by 30).
TEST_F(ImageToolsRoadTest, ReturnRightAfterTypingRendersTheTypedValue) {
  CarbonEditPlugin* s = Start({Version("v0.tif", Gradient(kWidth, kHeight))});
  ASSERT_NE(s->editWindow(), nullptr);
  tb::WindowRef main = s->mainWindow->window;
  const PixelBuffer before = session_->destination;
  driver_.Press(kApemainSig, kToolsButton)
      .Advance(0.1)
      .Do([&](tb::WindowRef w) {
        VMKtuneeff* e = gVMKtuneeff;
        ASSERT_NE(e, nullptr);
        e->script->SetEffect(e->stack, e->layer, 1, 16, 0, 0, kWidth, kHeight);
        e->script->SetToChannel(e->stack, e->layer, 1, 2);
        e->script->SetParam1(e->stack, e->layer, 1, 60);
        e->currentOprn = 1;
        e->DrawWindowContent(w);
        e->SetRefreshFlag(1);
      })
      .Advance(0.6)
      .Type(kTeff, 16, "30")
      .Key(13);
  driver_.RunSteps(main);
  EXPECT_EQ(gVMKtuneeff, nullptr);
  for (uint32_t y = 0; y < kHeight; y += 37)
    for (uint32_t x = 0; x < kWidth; x += 41)
      for (int k = 0; k < 3; ++k)
        ASSERT_EQ(Sample(session_->destination, x, y, k), std::min(Sample(before, x, y, k) + 30, 255u))
            << x << "," << y << "," << k;
  EXPECT_TRUE(driver_.errors().empty());
}

// The blur's amount is a length in the editor's picture, scaled to the
// photo's size when OK renders it, and the blur holds its radius at its
// largest: on a photo many times the editor's width the row ends at the
// amount that reaches that radius. Every amount of the row renders its own
// picture; one typed beyond it is held there and renders as it does (17,
// 18, 19 and 60 once all rendered alike on a 6000-pixel photo).
TEST_F(ImageToolsRoadTest, BlurAmountsEndWhereTheBlurHoldsItsRadius) {
  constexpr uint32_t w = 3000, h = 300;
  int32_t largest = 0;
  auto render = [&](int amount, std::string* shown) {
    CarbonEditPlugin* s = Start({Version("v0.tif", Squares(w, h))});
    EXPECT_NE(s->editWindow(), nullptr);
    if (s->editWindow() == nullptr) return PixelBuffer();
    tb::WindowRef main = s->mainWindow->window;
    driver_.Press(kApemainSig, kToolsButton)
        .Advance(0.1)
        .Do([&](tb::WindowRef win) {
          VMKtuneeff* e = gVMKtuneeff;
          ASSERT_NE(e, nullptr);
          e->script->SetEffect(e->stack, e->layer, 1, 11, 0, 0, w, h);
          e->script->SetToChannel(e->stack, e->layer, 1, 2);
          e->script->SetParam1(e->stack, e->layer, 1, 4);
          e->currentOprn = 1;
          e->DrawWindowContent(win);
          e->SetRefreshFlag(1);
        })
        .Advance(0.6)
        .Do([&](tb::WindowRef win) {
          largest = tb::GetControl32BitMaximum(tb::FindControl(win, kTeff, 15));
          EXPECT_EQ(tb::GetControlText(tb::FindControl(win, kTeff, 3)), std::to_string(largest));
        })
        .Type(kTeff, 16, std::to_string(amount))
        .Advance(1.1)
        .Do([&](tb::WindowRef win) { *shown = tb::GetControlText(tb::FindControl(win, kTeff, 16)); })
        .Press(kTeff, 1);
    driver_.RunSteps(main);
    EXPECT_TRUE(driver_.errors().empty());
    PixelBuffer out = session_->destination;
    session_.reset();
    driver_.Pump();
    return out;
  };
  auto same = [&](const PixelBuffer& a, const PixelBuffer& b) {
    for (uint32_t y = 0; y < h; ++y)
      if (!std::equal(a.rowPtr(y), a.rowPtr(y) + 4 * w, b.rowPtr(y))) return false;
    return true;
  };
  std::string shown;
  const PixelBuffer atSixty = render(60, &shown);
  ASSERT_GT(largest, 17);
  ASSERT_LT(largest, 60);  // the photo is six times the editor's width
  EXPECT_EQ(shown, std::to_string(largest));
  std::vector<int> amounts = {16, 17, 18, largest - 1, largest};
  std::vector<PixelBuffer> results;
  for (const int amount : amounts) {
    results.push_back(render(amount, &shown));
    EXPECT_EQ(shown, std::to_string(amount));
  }
  for (size_t a = 0; a < results.size(); ++a)
    for (size_t b = a + 1; b < results.size(); ++b)
      EXPECT_FALSE(same(results[a], results[b])) << "blur " << amounts[a] << " and " << amounts[b] << " render alike";
  EXPECT_TRUE(same(results.back(), atSixty));
}

}  // namespace
