// An effect whose OK could not apply it keeps its window open with the user's work (the image
// tools' operation list, an effect dialog's values, the layered editor's layers): OK again
// writes the effect once the cause is gone, and Cancel leaves as a Cancel always has.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "dialogs/correction/noise_dialog.h"
#include "dialogs/editor/main_editor.h"
#include "dialogs/editor/tune_effect.h"
#include "host/host_fixture.h"
#include "host/main_window.h"
#include "host/render_progress.h"
#include "platform/files/file_io.h"
#include "platform/memory/memory.h"
#include "script/document_data.h"

namespace {

namespace tb = plat::tb;
constexpr OSType kTeff = FourCC("Teff"), kDnoi = FourCC("Dnoi"), kMain = FourCC("Main");
constexpr int32_t kToolsOk = 1, kToolsCancel = 12, kDialogOk = 101, kAmountSlider = 26;
constexpr uint32_t kWidth = 60, kHeight = 40;

// Save the picture into slot 4, invert, recall slot 4, invert: the picture inverted, once the
// save could keep its slot (a file in the maker's folder).
void PlantSteps(ScriptFile* s, int16_t stack, int16_t layer) {
  constexpr int16_t kSteps[][2] = {{96, 4}, {9, 0}, {97, 4}, {9, 0}};
  for (int16_t o = 1; o <= 4; ++o) {
    s->SetEffect(stack, layer, o, kSteps[o - 1][0], 0, 0, 0, 0);
    s->SetAct(stack, layer, o, 1);
    s->SetMode(stack, layer, o, 0);
    s->SetOpa(stack, layer, o, 255);
    s->SetMChannel(stack, layer, o, 0);
    s->SetIntExt(stack, layer, o, 1);
    s->SetFromChannel(stack, layer, o, 2);
    s->SetToChannel(stack, layer, o, 2);
    s->SetParam1(stack, layer, o, kSteps[o - 1][1]);
  }
}

std::vector<int16_t> Operations(ScriptFile* s, int16_t stack, int16_t layer) {
  std::vector<int16_t> codes;
  for (int16_t o = 1; const Oprn* op = s->GetOprn(stack, layer, o); ++o) codes.push_back(op->Effect);
  return codes;
}

bool Same(const PixelBuffer& a, const PixelBuffer& b) {
  for (uint32_t y = 0; y < a.height(); ++y)
    if (!std::equal(a.rowPtr(y), a.rowPtr(y) + 4 * a.width(), b.rowPtr(y))) return false;
  return a.width() == b.width() && a.height() == b.height();
}

class FailedOkTest : public vmktest::HostTest {
 protected:
  void TearDown() override {
    Free();
    HostTest::TearDown();
  }
  tb::WindowRef Open(const vmktest::RawImage& image) {
    session_.reset();
    driver_.Pump();
    renders_ = 0;
    CarbonEditPlugin* s = Start({Version("v0.tif", image)});
    before_ = s->destination;
    driver_.ui().alertRequests.clear();
    return s->editWindow() != nullptr ? s->mainWindow->window : nullptr;
  }
  // At the start of OK's render: the maker's folder takes no more data, as a disk that fills
  // while the render runs (the layer file is stored, a saved buffer is not), or the user stops it.
  void FailTheRender(bool stop) {
    SetRenderStartWatcher([this, stop] {
      ++renders_;
      if (stop) CancelRender();
      else plat::files::FailWritesForTesting(bundle_.makersFile(""), ENOSPC);
    });
  }
  void Free() {
    SetRenderStartWatcher(nullptr);
    plat::files::FailWritesForTesting("", 0);
  }
  // The image tools with the save, invert, recall, invert list; OK's render then fails.
  void ToolsOkFails(bool stop) {
    driver_.Press(kApemainSig, 52).Advance(0.1).Do([](tb::WindowRef w) {
      VMKtuneeff* e = gVMKtuneeff;
      ASSERT_NE(e, nullptr);
      PlantSteps(e->script, e->stack, e->layer);
      e->DrawWindowContent(w);
      e->SetRefreshFlag(1);
    });
    driver_.Advance(0.6).Do([this, stop](tb::WindowRef) { FailTheRender(stop); }).Press(kTeff, kToolsOk);
    driver_.Do([this](tb::WindowRef w) {
      EXPECT_EQ(renders_, 1);
      EXPECT_EQ(tb::GetWindowName(w), "ImaEff");
      ASSERT_NE(gVMKtuneeff, nullptr);
      EXPECT_EQ(Operations(gVMKtuneeff->script, gVMKtuneeff->stack, gVMKtuneeff->layer),
                (std::vector<int16_t>{96, 9, 97, 9}));
      EXPECT_EQ(tb::CountMenuItems(tb::FindControl(w, kTeff, 41)), 4);
      EXPECT_TRUE(Same(session_->destination, before_));
      EXPECT_EQ(edit_->ended, 0);
      Free();
    });
  }
  void ExpectInverted(const PixelBuffer& b) {
    for (uint32_t y = 0; y < kHeight; ++y)
      for (uint32_t x = 0; x < kWidth; ++x)
        for (int k = 0; k < 3; ++k) ASSERT_EQ(vmktest::Sample(b, x, y, k), 255u - image_.row(y)[x * 4 + k]);
  }

  const vmktest::RawImage image_ = vmktest::PatternImage(kWidth, kHeight, 1);
  PixelBuffer before_;
  int renders_ = 0;
};

// A save-buffer step on a full folder is told, a render the user stopped is not; either way
// the window keeps its list, runs its loop again, and OK then writes the version.
TEST_F(FailedOkTest, TheImageToolsKeepTheirListAndRenderItOnTheNextOk) {
  for (const bool stop : {false, true}) {
    tb::WindowRef main = Open(image_);
    ASSERT_NE(main, nullptr);
    ToolsOkFails(stop);
    int previews = 0;
    driver_
        .Do([&](tb::WindowRef) {
          const auto& alerts = driver_.ui().alertRequests;
          ASSERT_EQ(alerts.size(), stop ? 0u : 1u);
          if (!stop) {
            EXPECT_EQ(alerts[0].params[0], "The effect could not be rendered.");
            EXPECT_EQ(alerts[0].params[1].rfind("Operation 1 (", 0), 0u) << alerts[0].params[1];
            EXPECT_NE(alerts[0].params[1].find("could not write its file in the support folder. It was not "
                                               "applied: the picture is as it was."),
                      std::string::npos);
          }
          ASSERT_NE(gVMKtuneeff, nullptr);
          previews = gVMKtuneeff->previewsShown();
          gVMKtuneeff->SetRefreshFlag(1);
        })
        .Advance(0.6)
        .Do([&](tb::WindowRef) {
          ASSERT_NE(gVMKtuneeff, nullptr);
          EXPECT_GT(gVMKtuneeff->previewsShown(), previews);
        })
        .Press(kTeff, kToolsOk)
        .Press(kApemainSig, 1);
    driver_.RunSteps(main);
    EXPECT_EQ(gVMKtuneeff, nullptr);
    ExpectInverted(session_->destination);
    ExpectInverted(Read(session_->versions[0].path));
    EXPECT_TRUE(driver_.errors().empty());
  }
}

// Cancel after the failed OK, or clicked while OK rendered (held until the render failed; the
// window's loop sleeps meanwhile and a second OK is dropped): nothing is applied and the layer
// file is as before the window opened.
TEST_F(FailedOkTest, CancelAfterOrDuringAFailedOkLeavesAsACancelDoes) {
  for (const bool during : {false, true}) {
    tb::WindowRef main = Open(image_);
    ASSERT_NE(main, nullptr);
    vmktest::WriteBrightnessLayers(bundle_.makersFile("com.vellmarkstead.lay"), 90);
    const std::vector<uint8_t> layers = vmktest::ReadBytes(bundle_.makersFile("com.vellmarkstead.lay"));
    if (during) {
      driver_.Press(kApemainSig, 52).Advance(0.6).Do([&](tb::WindowRef tools) {
        ASSERT_NE(gVMKtuneeff, nullptr);
        PlantSteps(gVMKtuneeff->script, gVMKtuneeff->stack, gVMKtuneeff->layer);
        SetRenderStartWatcher([&, main, tools] {
          ++renders_;
          plat::files::FailWritesForTesting(bundle_.makersFile(""), ENOSPC);
          const int32_t previews = gVMKtuneeff->previewsShown();
          gVMKtuneeff->SetRefreshFlag(1);
          driver_.Advance(1.0);
          driver_.RunSteps(main);
          EXPECT_EQ(gVMKtuneeff->previewsShown(), previews);
          driver_.ClickControl(tb::FindControl(tools, kTeff, kToolsOk));
          driver_.ClickControl(tb::FindControl(tools, kTeff, kToolsCancel));
        });
      });
      driver_.Press(kTeff, kToolsOk);
    } else {
      ToolsOkFails(false);
      driver_.Press(kTeff, kToolsCancel);
    }
    driver_.RunSteps(main);
    Free();
    EXPECT_EQ(renders_, 1);
    EXPECT_EQ(gVMKtuneeff, nullptr);
    EXPECT_TRUE(Same(session_->destination, before_));
    EXPECT_EQ(vmktest::ReadBytes(bundle_.makersFile("com.vellmarkstead.lay")), layers);
    EXPECT_EQ(driver_.ui().alertRequests.size(), 1u);
    EXPECT_TRUE(driver_.errors().empty());
  }
}

// An effect dialog whose render was refused its memory (blocks of a plane's size, which the
// layer file's records stay well under) keeps the amount the user set, and OK again writes
// exactly what a first OK at that amount writes.
TEST_F(FailedOkTest, AnEffectDialogKeepsItsValuesAndWritesThemOnTheNextOk) {
  const vmktest::RawImage picture = vmktest::PatternImage(400, 300, 1);
  PixelBuffer written[2];
  for (const bool refuse : {false, true}) {
    tb::WindowRef main = Open(picture);
    ASSERT_NE(main, nullptr);
    int64_t limit = -1;
    driver_.Press(kApemainSig, 43).Advance(0.1).Slide(kDnoi, kAmountSlider, 60).Advance(1.1);
    if (refuse)
      driver_.Do([&](tb::WindowRef) { SetRenderStartWatcher([&] { limit = plat::SetBlockLimit(100000); }); })
          .Press(kDnoi, kDialogOk)
          .Do([&](tb::WindowRef d) {
            plat::SetBlockLimit(limit);
            Free();
            ASSERT_NE(gVMKdnoi, nullptr);
            EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(d, kDnoi, kAmountSlider)), 60);
            EXPECT_TRUE(Same(session_->destination, before_));
            ASSERT_EQ(driver_.ui().alertRequests.size(), 1u);
            EXPECT_EQ(driver_.ui().alertRequests[0].params[0],
                      "There is not enough memory to apply the effect to this picture.");
            EXPECT_EQ(driver_.ui().alertRequests[0].params[1].rfind("Operation 1 (", 0), 0u);
          });
    driver_.Press(kDnoi, kDialogOk);
    driver_.RunSteps(main);
    EXPECT_EQ(gVMKdnoi, nullptr);
    EXPECT_FALSE(Same(session_->destination, before_));
    written[refuse] = session_->destination;
    EXPECT_TRUE(driver_.errors().empty());
  }
  EXPECT_TRUE(Same(written[1], written[0]));
}

// The layered editor keeps its layers through OK's failed render and renders them on the next.
TEST_F(FailedOkTest, TheLayeredEditorKeepsItsLayersAndRendersThemOnTheNextOk) {
  tb::WindowRef main = Open(image_);
  ASSERT_NE(main, nullptr);
  driver_.Press(kApemainSig, 51)
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        PlantSteps(CurrentDocData()->script, 0, CurrentDocData()->currentLayer);
        FailTheRender(false);
      })
      .Press(kMain, 1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(tb::GetWindowName(w), "PinMain");
        EXPECT_EQ(Operations(CurrentDocData()->script, 0, CurrentDocData()->currentLayer),
                  (std::vector<int16_t>{96, 9, 97, 9}));
        EXPECT_TRUE(Same(session_->destination, before_));
        ASSERT_EQ(driver_.ui().alertRequests.size(), 1u);
        EXPECT_EQ(driver_.ui().alertRequests[0].params[0], "The effect could not be rendered.");
        Free();
      })
      .Press(kMain, 1);
  driver_.RunSteps(main);
  EXPECT_EQ(renders_, 1);
  EXPECT_EQ(gVMKpinmain, nullptr);
  ExpectInverted(session_->destination);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
