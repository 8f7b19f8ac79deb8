// An effect whose OK could not apply it keeps its window open with the user's work: the image
// tools with their operation list, an effect dialog with its values and the layered editor
// with its layers. The alert says why; once the cause is gone, OK again writes the effect,
// and Cancel leaves as a Cancel always has.
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
using vmktest::Sample;

constexpr OSType kTeff = FourCC("Teff"), kDnoi = FourCC("Dnoi"), kMain = FourCC("Main");
constexpr int32_t kToolsButton = 52, kDenoiseButton = 43, kTextureButton = 51;
constexpr int32_t kToolsOk = 1, kToolsCancel = 12;
constexpr int32_t kDialogOk = 101, kAmountSlider = 26;
constexpr int32_t kEditorOk = 1;
constexpr uint32_t kWidth = 60, kHeight = 40;

// Save the picture into slot 4, invert it, recall slot 4, invert again: the picture inverted,
// once the save could keep its slot (a file in the maker's folder).
struct Step {
  int16_t effect, p1;
};
constexpr Step kSaveInvertRecallInvert[] = {{96, 4}, {9, 0}, {97, 4}, {9, 0}};

void PlantSteps(ScriptFile* s, int16_t stack, int16_t layer) {
  int16_t o = 1;
  for (const Step& step : kSaveInvertRecallInvert) {
    s->SetEffect(stack, layer, o, step.effect, 0, 0, 0, 0);
    s->SetAct(stack, layer, o, 1);
    s->SetFromChannel(stack, layer, o, 2);
    s->SetToChannel(stack, layer, o, 2);
    s->SetMode(stack, layer, o, 0);
    s->SetOpa(stack, layer, o, 255);
    s->SetMChannel(stack, layer, o, 0);
    s->SetIntExt(stack, layer, o, 1);
    s->SetParam1(stack, layer, o, step.p1);
    ++o;
  }
}

// The operations of the layer, by effect number.
std::vector<int16_t> Operations(ScriptFile* s, int16_t stack, int16_t layer) {
  std::vector<int16_t> codes;
  for (int16_t o = 1; const Oprn* op = s->GetOprn(stack, layer, o); ++o) codes.push_back(op->Effect);
  return codes;
}

bool SameImage(const PixelBuffer& a, const PixelBuffer& b) {
  if (a.width() != b.width() || a.height() != b.height()) return false;
  for (uint32_t y = 0; y < a.height(); ++y)
    if (!std::equal(a.rowPtr(y), a.rowPtr(y) + 4 * a.width(), b.rowPtr(y))) return false;
  return true;
}

class FailedOkTest : public vmktest::HostTest {
 protected:
  void TearDown() override {
    SetRenderStartWatcher(nullptr);
    plat::files::FailWritesForTesting("", 0);
    HostTest::TearDown();
  }
  tb::WindowRef Open(const vmktest::RawImage* image = nullptr) {
    CarbonEditPlugin* s = Start({Version("v0.tif", image != nullptr ? *image : image_)});
    if (s->editWindow() == nullptr) return nullptr;
    return s->mainWindow->window;
  }
  std::string LayerPath() const { return bundle_.makersFile("com.vellmarkstead.lay"); }
  // From the start of the next render on, the maker's folder takes no more data, as a disk
  // that fills while the render runs: the layer file is stored, a saved buffer is not.
  void FillFolderAsTheRenderStarts() {
    SetRenderStartWatcher([this] {
      plat::files::FailWritesForTesting(bundle_.makersFile(""), ENOSPC);
      ++rendersStarted_;
    });
  }
  // Space freed.
  void FreeFolder() {
    SetRenderStartWatcher(nullptr);
    plat::files::FailWritesForTesting("", 0);
  }
  // The image tools opened with the save, invert, recall, invert list.
  void OpenToolsWithList() {
    driver_.Press(kApemainSig, kToolsButton).Advance(0.1).Do([](tb::WindowRef w) {
      VMKtuneeff* e = gVMKtuneeff;
      ASSERT_NE(e, nullptr);
      PlantSteps(e->script, e->stack, e->layer);
      e->currentOprn = 1;
      e->DrawWindowContent(w);
      e->SetRefreshFlag(1);
    });
    driver_.Advance(0.6);
  }
  void ExpectStillOpenWithTheList(tb::WindowRef w) {
    EXPECT_EQ(tb::GetWindowName(w), "ImaEff");
    VMKtuneeff* e = gVMKtuneeff;
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(Operations(e->script, e->stack, e->layer), (std::vector<int16_t>{96, 9, 97, 9}));
    EXPECT_EQ(tb::CountMenuItems(tb::FindControl(w, kTeff, 41)), 4);
  }
  void ExpectInverted(const PixelBuffer& b) {
    for (uint32_t y = 0; y < kHeight; ++y)
      for (uint32_t x = 0; x < kWidth; ++x)
        for (int k = 0; k < 3; ++k)
          ASSERT_EQ(Sample(b, x, y, k), 255u - image_.row(y)[x * 4 + k]) << x << "," << y << "," << k;
  }

  const vmktest::RawImage image_ = vmktest::PatternImage(kWidth, kHeight, 1);
  int rendersStarted_ = 0;
};

// The issue's own case: OK's render of the image tools fails at a save-buffer step on a full
// folder. The window stays with the list as built; with space again OK writes the version.
TEST_F(FailedOkTest, TheImageToolsKeepTheirListAndRenderItOnTheNextOk) {
  tb::WindowRef main = Open();
  ASSERT_NE(main, nullptr);
  const PixelBuffer before = session_->destination;
  driver_.ui().alertRequests.clear();
  OpenToolsWithList();
  int previews = 0;
  driver_.Do([&](tb::WindowRef) { FillFolderAsTheRenderStarts(); })
      .Press(kTeff, kToolsOk)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(rendersStarted_, 1);
        ExpectStillOpenWithTheList(w);
        EXPECT_TRUE(SameImage(session_->destination, before));
        EXPECT_EQ(edit_->ended, 0);
        const auto& alerts = driver_.ui().alertRequests;
        ASSERT_EQ(alerts.size(), 1u);
        EXPECT_EQ(alerts[0].params[0], "The effect could not be rendered.");
        EXPECT_EQ(alerts[0].params[1].rfind("Operation 1 (", 0), 0u) << alerts[0].params[1];
        EXPECT_NE(alerts[0].params[1].find("could not write its file in the support folder. It was not applied: "
                                           "the picture is as it was."),
                  std::string::npos)
            << alerts[0].params[1];
        FreeFolder();
        // The window's loop runs again.
        previews = gVMKtuneeff->previewsShown();
        gVMKtuneeff->SetRefreshFlag(1);
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef) { EXPECT_GT(gVMKtuneeff->previewsShown(), previews); })
      .Press(kTeff, kToolsOk);
  driver_.RunSteps(main);
  EXPECT_EQ(gVMKtuneeff, nullptr);
  EXPECT_EQ(driver_.ui().alertRequests.size(), 1u);
  ExpectInverted(session_->destination);
  driver_.Press(kApemainSig, 1);
  driver_.RunSteps(main);
  ExpectInverted(Read(session_->versions[0].path));
  EXPECT_TRUE(driver_.errors().empty());
}

// Cancel after the failed OK: nothing applied, the layer file as before the window opened,
// and the main window's OK writes the picture as it was.
TEST_F(FailedOkTest, CancelAfterAFailedOkLeavesAsACancelDoes) {
  tb::WindowRef main = Open();
  ASSERT_NE(main, nullptr);
  const PixelBuffer before = session_->destination;
  vmktest::WriteBrightnessLayers(LayerPath(), 90);
  const std::vector<uint8_t> layers = vmktest::ReadBytes(LayerPath());
  OpenToolsWithList();
  driver_.Do([&](tb::WindowRef) { FillFolderAsTheRenderStarts(); })
      .Press(kTeff, kToolsOk)
      .Do([&](tb::WindowRef w) {
        ExpectStillOpenWithTheList(w);
        FreeFolder();
      })
      .Press(kTeff, kToolsCancel);
  driver_.RunSteps(main);
  EXPECT_EQ(gVMKtuneeff, nullptr);
  EXPECT_EQ(rendersStarted_, 1);
  EXPECT_TRUE(SameImage(session_->destination, before));
  EXPECT_EQ(vmktest::ReadBytes(LayerPath()), layers);
  // The earlier layers are not rendered again either.
  driver_.Press(kApemainSig, 1);
  driver_.RunSteps(main);
  EXPECT_TRUE(SameImage(Read(session_->versions[0].path), before));
  EXPECT_TRUE(driver_.errors().empty());
}

// A render the user stopped (its progress window's Cancel) applies nothing and says nothing;
// the window stays for another OK.
TEST_F(FailedOkTest, ARenderStoppedByTheUserLeavesTheWindowOpen) {
  tb::WindowRef main = Open();
  ASSERT_NE(main, nullptr);
  const PixelBuffer before = session_->destination;
  driver_.ui().alertRequests.clear();
  OpenToolsWithList();
  driver_
      .Do([&](tb::WindowRef) {
        SetRenderStartWatcher([&] {
          ++rendersStarted_;
          CancelRender();
        });
      })
      .Press(kTeff, kToolsOk)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(rendersStarted_, 1);
        ExpectStillOpenWithTheList(w);
        EXPECT_TRUE(SameImage(session_->destination, before));
        EXPECT_TRUE(driver_.ui().alertRequests.empty());
        SetRenderStartWatcher(nullptr);
      })
      .Press(kTeff, kToolsOk);
  driver_.RunSteps(main);
  EXPECT_EQ(gVMKtuneeff, nullptr);
  ExpectInverted(session_->destination);
  EXPECT_TRUE(driver_.errors().empty());
}

// Clicks that reach the window while OK renders wait for it: the window's loop sleeps (no
// preview starts beside the render), a second OK is dropped, and a Cancel ends the window once
// the render has failed.
TEST_F(FailedOkTest, ACancelClickedWhileOkRendersEndsTheWindowOnceTheRenderFailed) {
  tb::WindowRef main = Open();
  ASSERT_NE(main, nullptr);
  const PixelBuffer before = session_->destination;
  OpenToolsWithList();
  tb::WindowRef tools = nullptr;
  driver_.Do([&](tb::WindowRef w) {
           tools = w;
           SetRenderStartWatcher([&] {
             plat::files::FailWritesForTesting(bundle_.makersFile(""), ENOSPC);
             ++rendersStarted_;
             const int32_t previews = gVMKtuneeff->previewsShown();
             gVMKtuneeff->SetRefreshFlag(1);
             driver_.Advance(1.0);
             driver_.RunSteps(main);
             EXPECT_EQ(gVMKtuneeff->previewsShown(), previews);
             driver_.ClickControl(tb::FindControl(tools, kTeff, kToolsOk));
             driver_.ClickControl(tb::FindControl(tools, kTeff, kToolsCancel));
           });
         })
      .Press(kTeff, kToolsOk);
  driver_.RunSteps(main);
  FreeFolder();
  EXPECT_EQ(rendersStarted_, 1);
  EXPECT_EQ(gVMKtuneeff, nullptr);
  EXPECT_TRUE(SameImage(session_->destination, before));
  EXPECT_EQ(driver_.ui().alertRequests.size(), 1u);
  EXPECT_TRUE(driver_.errors().empty());
}

// An effect dialog: the noise reduction's render refused its memory (blocks of a plane's size,
// which the layer file's records stay well under) keeps the dialog with the amount the user
// set; OK again writes exactly what a first OK at that amount writes.
TEST_F(FailedOkTest, AnEffectDialogKeepsItsValuesAndWritesThemOnTheNextOk) {
  const vmktest::RawImage picture = vmktest::PatternImage(400, 300, 1);
  auto run = [&](bool refuseFirst) {
    tb::WindowRef main = Open(&picture);
    EXPECT_NE(main, nullptr);
    if (main == nullptr) return PixelBuffer();
    const PixelBuffer before = session_->destination;
    driver_.ui().alertRequests.clear();
    driver_.Press(kApemainSig, kDenoiseButton).Advance(0.1).Slide(kDnoi, kAmountSlider, 60).Advance(1.1);
    int64_t limit = -1;
    if (refuseFirst) {
      driver_
          .Do([&](tb::WindowRef) {
            SetRenderStartWatcher([&] { limit = plat::SetBlockLimit(100000); });
          })
          .Press(kDnoi, kDialogOk)
          .Do([&](tb::WindowRef d) {
            plat::SetBlockLimit(limit);
            SetRenderStartWatcher(nullptr);
            EXPECT_EQ(tb::GetWindowName(d), "DeNoise");
            ASSERT_NE(gVMKdnoi, nullptr);
            EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(d, kDnoi, kAmountSlider)), 60);
            EXPECT_TRUE(SameImage(session_->destination, before));
            const auto& alerts = driver_.ui().alertRequests;
            ASSERT_EQ(alerts.size(), 1u);
            EXPECT_EQ(alerts[0].params[0], "There is not enough memory to apply the effect to this picture.")
                << alerts[0].params[1];
            EXPECT_EQ(alerts[0].params[1].rfind("Operation 1 (", 0), 0u) << alerts[0].params[1];
          })
          .Advance(1.1);
    }
    driver_.Press(kDnoi, kDialogOk);
    driver_.RunSteps(main);
    EXPECT_EQ(gVMKdnoi, nullptr);
    EXPECT_FALSE(SameImage(session_->destination, before));
    EXPECT_EQ(driver_.ui().alertRequests.size(), refuseFirst ? 1u : 0u);
    EXPECT_TRUE(driver_.errors().empty());
    PixelBuffer out = session_->destination;
    session_.reset();
    driver_.Pump();
    return out;
  };
  const PixelBuffer atOnce = run(false);
  const PixelBuffer afterFailure = run(true);
  EXPECT_TRUE(SameImage(afterFailure, atOnce));
}

// The layered editor: OK's render failing at the save keeps the editor with its layers; with
// space again OK renders them.
TEST_F(FailedOkTest, TheLayeredEditorKeepsItsLayersAndRendersThemOnTheNextOk) {
  tb::WindowRef main = Open();
  ASSERT_NE(main, nullptr);
  const PixelBuffer before = session_->destination;
  driver_.ui().alertRequests.clear();
  driver_.Press(kApemainSig, kTextureButton)
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        ASSERT_NE(gVMKpinmain, nullptr);
        DocData* doc = CurrentDocData();
        PlantSteps(doc->script, 0, doc->currentLayer);
        FillFolderAsTheRenderStarts();
      })
      .Press(kMain, kEditorOk)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(rendersStarted_, 1);
        EXPECT_EQ(tb::GetWindowName(w), "PinMain");
        ASSERT_NE(gVMKpinmain, nullptr);
        DocData* doc = CurrentDocData();
        EXPECT_EQ(Operations(doc->script, 0, doc->currentLayer), (std::vector<int16_t>{96, 9, 97, 9}));
        EXPECT_TRUE(SameImage(session_->destination, before));
        ASSERT_EQ(driver_.ui().alertRequests.size(), 1u);
        EXPECT_EQ(driver_.ui().alertRequests[0].params[0], "The effect could not be rendered.");
        FreeFolder();
      })
      .Advance(0.6)
      .Press(kMain, kEditorOk);
  driver_.RunSteps(main);
  EXPECT_EQ(gVMKpinmain, nullptr);
  ExpectInverted(session_->destination);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
