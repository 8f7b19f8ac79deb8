// The layered road end to end through the real host window: the main
// window's texture button opens the main editing window on family 117; an
// operation put into the current layer renders in its main view; OK there
// renders the layer stack over the picture and the host's OK writes it
// back; cancel leaves picture, layer scratch file and written version as
// they were. The same road through the operation-list editor, as the user
// walks it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "dialogs/editor/main_editor.h"
#include "dialogs/editor/tune_effect.h"
#include "host/host_fixture.h"
#include "host/main_window.h"
#include "script/document_data.h"
#include "views/image_box.h"

namespace {

namespace tb = plat::tb;
using vmktest::Sample;

constexpr OSType kMain = FourCC("Main");
constexpr int32_t kTextureButton = 51;  // 'Btex' of the main window: family 117
constexpr int32_t kOk = 1, kCancel = 2, kRender = 49;
constexpr uint32_t kWidth = 600, kHeight = 400;
constexpr int16_t kAmount = 40;
constexpr OSType kTeff = FourCC("Teff");
constexpr int32_t kTuneButton = 46;   // 'Btun' of the main editing window
constexpr int32_t kKindPopup = 42;    // the editor's 'Pknd'
constexpr int32_t kFirstSlider = 15;  // the editor's 'Sva0'
constexpr int16_t kBrightness = 16;   // its item in family 117's kind menu too

vmktest::RawImage Gradient(uint32_t w, uint32_t h) {
  vmktest::RawImage im;
  im.width = w;
  im.height = h;
  im.data.assign(im.rowBytes() * h, 255);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      uint8_t* p = im.row(y) + 4 * x;
      p[0] = static_cast<uint8_t>(x * 255 / w);
      p[1] = static_cast<uint8_t>(y * 255 / h);
      p[2] = static_cast<uint8_t>(((x / 20 + y / 20) % 2) * 120 + 60);
    }
  return im;
}

// Brightness by `amount` on the composite as operation 1 of the current
// layer, as the operation-list editor would leave it.
void PlantBrightness() {
  DocData* doc = CurrentDocData();
  ASSERT_NE(doc, nullptr);
  ScriptFile* s = doc->script;
  const int16_t layer = doc->currentLayer;
  s->SetEffect(0, layer, 1, 16, 0, 0, 0, 0);
  s->SetAct(0, layer, 1, 1);
  s->SetFromChannel(0, layer, 1, 0);
  s->SetToChannel(0, layer, 1, 2);
  s->SetParam1(0, layer, 1, kAmount);
  s->SetMode(0, layer, 1, 0);
  s->SetOpa(0, layer, 1, 255);
  s->SetMChannel(0, layer, 1, 0);
  s->SetIntExt(0, layer, 1, 1);
}

// Save buffer (96) of the composite into kSwapSlot as operation 1, then brightness as 2.
constexpr int16_t kSwapSlot = 7;
void PlantSaveThenBrightness() {
  DocData* doc = CurrentDocData();
  ASSERT_NE(doc, nullptr);
  ScriptFile* s = doc->script;
  const int16_t layer = doc->currentLayer;
  for (int16_t o : {1, 2}) {
    s->SetEffect(0, layer, o, o == 1 ? 96 : kBrightness, 0, 0, 0, 0);
    s->SetAct(0, layer, o, 1);
    s->SetFromChannel(0, layer, o, 0);
    s->SetToChannel(0, layer, o, 2);
    s->SetParam1(0, layer, o, o == 1 ? kSwapSlot : kAmount);
    s->SetMode(0, layer, o, 0);
    s->SetOpa(0, layer, o, 255);
    s->SetMChannel(0, layer, o, 0);
    s->SetIntExt(0, layer, o, 1);
  }
}

class LayeredRoadTest : public vmktest::HostTest {
 protected:
  tb::WindowRef Open() {
    CarbonEditPlugin* s = Start({Version("v0.tif", Gradient(kWidth, kHeight))});
    if (s->editWindow() == nullptr) return nullptr;
    return s->mainWindow->window;
  }
  std::vector<uint8_t> LayerFile() { return vmktest::ReadBytes(bundle_.makersFile("com.vellmarkstead.lay")); }
  static bool SameImage(const PixelBuffer& a, const PixelBuffer& b) {
    if (a.width() != b.width() || a.height() != b.height()) return false;
    for (uint32_t y = 0; y < a.height(); ++y)
      if (!std::equal(a.rowPtr(y), a.rowPtr(y) + 4 * a.width(), b.rowPtr(y))) return false;
    return true;
  }
  // Opens the editor, plants the operation, renders it and checks that the
  // main view's effect planes now differ from the untouched picture's.
  // `rendered` is checked once the main view has rendered, before the answer.
  void RunEditor(tb::WindowRef w, int32_t answer, void (*plant)() = PlantBrightness,
                 const std::function<void()>& rendered = {}) {
    driver_.Press(kApemainSig, kTextureButton)
        .Advance(0.6)
        .Do([plant](tb::WindowRef) {
          ASSERT_NE(gVMKpinmain, nullptr);
          plant();
        })
        .Press(kMain, kRender)
        .Advance(0.6)
        .Do([&rendered](tb::WindowRef) {
          const VMKpinmainUI* e = gVMKpinmain;
          const size_t n = static_cast<size_t>(e->viewWidth) * static_cast<size_t>(e->viewHeight);
          ASSERT_GT(n, 0u);
          EXPECT_FALSE(std::equal(e->effectPlanes[3], e->effectPlanes[3] + n, e->sourcePlanes[3]));
          if (rendered) rendered();
        })
        .Press(kMain, answer);
    driver_.RunSteps(w);
  }
  // The road as the user walks it: the operation-list editor over the main
  // editing window, the kind of operation 1 chosen as brightness, its first
  // slider dragged to the amount, the editor's OK; the main view follows.
  void RunOperationEditor(tb::WindowRef w, int32_t answer) {
    uint64_t shown = 0;
    driver_.Press(kApemainSig, kTextureButton)
        .Advance(0.6)
        .Press(kMain, kTuneButton)
        .Advance(0.6)
        .Do([&](tb::WindowRef e) {
          ASSERT_EQ(tb::GetWindowName(e), "TuneEff");
          shown = gVMKpinmain->rendersShown();
        })
        .Choose(kTeff, kKindPopup, kBrightness)
        .Slide(kTeff, kFirstSlider, kAmount)
        .Advance(0.6)
        .Press(kTeff, kOk)
        .Advance(0.6)
        .Do([&](tb::WindowRef m) {
          ASSERT_EQ(tb::GetWindowName(m), "PinMain");
          const VMKpinmainUI* e = gVMKpinmain;
          EXPECT_GT(e->rendersShown(), shown);
          const size_t n = static_cast<size_t>(e->viewWidth) * static_cast<size_t>(e->viewHeight);
          ASSERT_GT(n, 0u);
          EXPECT_FALSE(std::equal(e->effectPlanes[3], e->effectPlanes[3] + n, e->sourcePlanes[3]));
          const DocData* doc = CurrentDocData();
          const Oprn* op = doc->script->GetOprn(0, doc->currentLayer, 1);
          ASSERT_NE(op, nullptr);
          EXPECT_EQ(op->Effect, kBrightness);
          EXPECT_EQ(op->Param1, kAmount);
        })
        .Press(kMain, answer);
    driver_.RunSteps(w);
  }
};

TEST_F(LayeredRoadTest, OkRendersTheLayersOverThePictureAndWritesThemBack) {
  tb::WindowRef w = Open();
  ASSERT_NE(w, nullptr);
  const PixelBuffer before = session_->destination;
  RunEditor(w, kOk);
  EXPECT_EQ(gVMKpinmain, nullptr);
  ASSERT_FALSE(SameImage(session_->destination, before));
  // Every sample is the brightness of the one layer: min(v + 40, 255).
  int differ = 0;
  for (uint32_t y = 0; y < kHeight; ++y)
    for (uint32_t x = 0; x < kWidth; ++x)
      for (int k = 0; k < 3; ++k)
        differ += Sample(session_->destination, x, y, k) != std::min<uint32_t>(Sample(before, x, y, k) + kAmount, 255);
  EXPECT_EQ(differ, 0);
  driver_.Press(kApemainSig, 1);
  driver_.RunSteps(w);
  EXPECT_TRUE(SameImage(Read(session_->versions[0].path), session_->destination));
  EXPECT_TRUE(driver_.errors().empty());
}

// The main view's previews and OK's render keep their swap slots to themselves, in folders of
// their own that are gone once they have rendered: OK's recall finds the planes its save put
// away (half of the brightness between them is undone), and nothing of them stays in the
// maker's folder after OK.
TEST_F(LayeredRoadTest, OksRenderRecallsItsOwnSaveAndLeavesNothingBehind) {
  constexpr uint32_t kRecallOpacity = 128;
  tb::WindowRef w = Open();
  ASSERT_NE(w, nullptr);
  const PixelBuffer before = session_->destination;
  const std::string slot = bundle_.makersFile("pspBuf" + std::to_string(kSwapSlot) + ".lst");
  const auto ownFolders = [&] {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(bundle_.makersFile("")))
      n += e.path().filename().string().rfind(".vellmarkstead-slots-", 0) == 0 ? 1 : 0;
    return n;
  };
  const auto plant = [] {
    PlantSaveThenBrightness();
    DocData* doc = CurrentDocData();
    ScriptFile* s = doc->script;
    const int16_t layer = doc->currentLayer;
    s->SetEffect(0, layer, 3, 97, 0, 0, 0, 0);
    s->SetAct(0, layer, 3, 1);
    s->SetToChannel(0, layer, 3, 2);
    s->SetParam1(0, layer, 3, kSwapSlot);
    s->SetMode(0, layer, 3, 0);
    s->SetOpa(0, layer, 3, kRecallOpacity);
  };
  bool previewed = false;
  RunEditor(w, kOk, plant, [&] {
    previewed = true;
    EXPECT_FALSE(std::filesystem::exists(slot));
    EXPECT_EQ(ownFolders(), 0);
  });
  EXPECT_TRUE(previewed);
  // Half the saved picture over the brightened one, sample by sample.
  int differ = 0;
  for (uint32_t y = 0; y < kHeight; ++y)
    for (uint32_t x = 0; x < kWidth; ++x)
      for (int k = 0; k < 3; ++k) {
        const uint32_t v = Sample(before, x, y, k), bright = std::min<uint32_t>(v + kAmount, 255);
        differ += Sample(session_->destination, x, y, k) !=
                  ((255 - kRecallOpacity) * bright + kRecallOpacity * v) / 255;
      }
  EXPECT_EQ(differ, 0);
  EXPECT_FALSE(std::filesystem::exists(slot));
  EXPECT_EQ(ownFolders(), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(LayeredRoadTest, CancelLeavesPictureLayerFileAndVersionAsTheyWere) {
  tb::WindowRef w = Open();
  ASSERT_NE(w, nullptr);
  const PixelBuffer before = session_->destination;
  vmktest::WriteText(bundle_.makersFile("com.vellmarkstead.lay"), "layers of an earlier effect");
  const std::vector<uint8_t> layers = LayerFile();
  const std::vector<uint8_t> version = vmktest::ReadBytes(session_->versions[0].path);
  RunEditor(w, kCancel);
  EXPECT_TRUE(SameImage(session_->destination, before));
  EXPECT_EQ(LayerFile(), layers);
  EXPECT_EQ(vmktest::ReadBytes(session_->versions[0].path), version);
  EXPECT_TRUE(driver_.errors().empty());
}


TEST_F(LayeredRoadTest, TheOperationEditorsBrightnessRendersAndOkWritesItBack) {
  tb::WindowRef w = Open();
  ASSERT_NE(w, nullptr);
  const PixelBuffer before = session_->destination;
  RunOperationEditor(w, kOk);
  EXPECT_EQ(gVMKpinmain, nullptr);
  EXPECT_EQ(gVMKtuneeff, nullptr);
  ASSERT_FALSE(SameImage(session_->destination, before));
  int differ = 0;
  for (uint32_t y = 0; y < kHeight; ++y)
    for (uint32_t x = 0; x < kWidth; ++x)
      for (int k = 0; k < 3; ++k)
        differ += Sample(session_->destination, x, y, k) != std::min<uint32_t>(Sample(before, x, y, k) + kAmount, 255);
  EXPECT_EQ(differ, 0);
  driver_.Press(kApemainSig, 1);
  driver_.RunSteps(w);
  EXPECT_TRUE(SameImage(Read(session_->versions[0].path), session_->destination));
  EXPECT_TRUE(driver_.errors().empty()) << (driver_.errors().empty() ? "" : driver_.errors().front());
}

TEST_F(LayeredRoadTest, TheOperationEditorsBrightnessThenCancelLeavesEverything) {
  tb::WindowRef w = Open();
  ASSERT_NE(w, nullptr);
  const PixelBuffer before = session_->destination;
  vmktest::WriteText(bundle_.makersFile("com.vellmarkstead.lay"), "layers of an earlier effect");
  const std::vector<uint8_t> layers = LayerFile();
  const std::vector<uint8_t> version = vmktest::ReadBytes(session_->versions[0].path);
  RunOperationEditor(w, kCancel);
  EXPECT_TRUE(SameImage(session_->destination, before));
  EXPECT_EQ(LayerFile(), layers);
  EXPECT_EQ(vmktest::ReadBytes(session_->versions[0].path), version);
  EXPECT_TRUE(driver_.errors().empty()) << (driver_.errors().empty() ? "" : driver_.errors().front());
}

}  // namespace
