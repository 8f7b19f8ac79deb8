// The effect road end to end: a main-window button opens its effect's
// dialog through the launcher and the dispatcher, OK renders the stored
// effect into the main window and writes it back, cancel leaves the picture,
// the layer scratch file and the written versions as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "dialogs/correction/noise_dialog.h"
#include "host/host_fixture.h"
#include "host/main_window.h"
#include "views/image_box.h"

namespace {

namespace tb = plat::tb;
using vmktest::Sample;

constexpr OSType kDnoi = FourCC("Dnoi");
constexpr int32_t kDenoiseButton = 43;  // 'Bdno' of the main window
constexpr int32_t kOk = 101, kCancel = 102, kOneToOne = 110, kAmountSlider = 26;
constexpr uint32_t kWidth = 1200, kHeight = 900;

// Gradients with a fine grain that noise reduction smooths away.
vmktest::RawImage GrainyImage(uint32_t w, uint32_t h) {
  vmktest::RawImage im;
  im.width = w;
  im.height = h;
  im.data.assign(im.rowBytes() * h, 255);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      uint8_t* p = im.row(y) + 4 * x;
      const uint32_t grain = (x * 7919u + y * 104729u) % 61u;
      p[0] = static_cast<uint8_t>(x * 255 / w / 2 + grain);
      p[1] = static_cast<uint8_t>(y * 255 / h / 2 + ((x / 40 + y / 40) % 2) * 60);
      p[2] = static_cast<uint8_t>(100 + grain);
    }
  return im;
}

class EffectRoadTest : public vmktest::HostTest {
 protected:
  tb::WindowRef Open(size_t versions = 1) {
    std::vector<std::string> paths;
    for (size_t i = 0; i < versions; ++i)
      paths.push_back(Version("v" + std::to_string(i) + ".tif", GrainyImage(kWidth, kHeight)));
    CarbonEditPlugin* s = Start(paths);
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
  // Presses the denoise button; the dialog, once its first preview shows,
  // shows the picture's top left at 1:1 (the view's 500 x 400 pixels), moves
  // the amount to 60 and is answered with `answer`. `shown` receives the 1:1
  // preview's pixels.
  void RunDenoise(tb::WindowRef w, int32_t answer, std::vector<uint8_t>* shown = nullptr) {
    driver_.Press(kApemainSig, kDenoiseButton)
        .Advance(0.1)
        .Do([](tb::WindowRef) { ASSERT_NE(gVMKdnoi, nullptr); })
        .Press(kDnoi, kOneToOne)
        .Slide(kDnoi, kAmountSlider, 60)
        .Advance(3.1)
        .Do([shown](tb::WindowRef) {
          const VMKimabox* box = gVMKdnoi->mainView();
          if (shown != nullptr) shown->assign(box->displayBuffer(), box->displayBuffer() + 4 * 500 * 400);
        });
    if (answer == 0) driver_.CloseBox();
    else driver_.Press(kDnoi, answer);
    driver_.RunSteps(w);
  }
};

TEST_F(EffectRoadTest, ConfirmedNoiseReductionRendersThePreviewIntoTheMainWindow) {
  tb::WindowRef w = Open();
  ASSERT_NE(w, nullptr);
  const PixelBuffer before = session_->destination;
  std::vector<uint8_t> shown;
  RunDenoise(w, kOk, &shown);
  ASSERT_EQ(shown.size(), 4u * 500 * 400);
  EXPECT_EQ(gVMKdnoi, nullptr);
  EXPECT_FALSE(SameImage(session_->destination, before));
  EXPECT_GT(LayerFile().size(), 0u);
  // The destination is what the 1:1 preview showed, to the view's edges (the
  // preview renders the part shown with the margin the filter reads).
  int differ = 0, changed = 0;
  for (int32_t y = 0; y < 400; ++y)
    for (int32_t x = 0; x < 500; ++x)
      for (int k = 0; k < 3; ++k) {
        const uint32_t p = shown[4 * (static_cast<size_t>(399 - y) * 500 + x) + k];
        const uint32_t d = Sample(session_->destination, x, y, k);
        differ += p != d;
        changed += d != Sample(before, x, y, k);
      }
  EXPECT_EQ(differ, 0);
  EXPECT_GT(changed, 0);
  // The main window's OK writes the rendered picture back.
  driver_.Press(kApemainSig, 1);
  driver_.RunSteps(w);
  EXPECT_TRUE(SameImage(Read(session_->versions[0].path), session_->destination));
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(EffectRoadTest, CancelledNoiseReductionLeavesPictureLayerFileAndVersionAsTheyWere) {
  tb::WindowRef w = Open();
  ASSERT_NE(w, nullptr);
  const PixelBuffer before = session_->destination;
  vmktest::WriteText(bundle_.makersFile("com.vellmarkstead.lay"), "layers of an earlier effect");
  const std::vector<uint8_t> layers = LayerFile();
  const std::vector<uint8_t> written = vmktest::ReadBytes(session_->versions[0].path);
  for (int32_t answer : {kCancel, 0}) {
    RunDenoise(w, answer);
    EXPECT_TRUE(SameImage(session_->destination, before)) << answer;
    EXPECT_EQ(LayerFile(), layers) << answer;
  }
  vmktest::WriteBytes(bundle_.makersFile("com.vellmarkstead.lay"), {});
  driver_.Press(kApemainSig, 1);
  driver_.RunSteps(w);
  EXPECT_EQ(vmktest::ReadBytes(session_->versions[0].path), written);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(EffectRoadTest, AfterACancelledEffectEveryVersionGetsTheLastConfirmedOne) {
  tb::WindowRef w = Open(3);
  ASSERT_NE(w, nullptr);
  RunDenoise(w, kOk);
  const PixelBuffer confirmed = session_->destination;
  // The next effect's preview leaves its own layers in the scratch file
  // before it is cancelled.
  driver_.Press(kApemainSig, kDenoiseButton)
      .Advance(0.1)
      .Do([&](tb::WindowRef) {
        vmktest::WriteBrightnessLayers(bundle_.makersFile("com.vellmarkstead.lay"), 90);
      })
      .Press(kDnoi, kCancel);
  driver_.RunSteps(w);
  EXPECT_TRUE(SameImage(session_->destination, confirmed));
  driver_.Press(kApemainSig, 1).Press(FourCC("Aler"), 1);
  driver_.RunSteps(w);
  for (const EditVersion& v : session_->versions) EXPECT_TRUE(SameImage(Read(v.path), confirmed)) << v.path;
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
