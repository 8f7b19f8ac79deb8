// A preview that cannot start says so: where the layers of the layered
// editor's render or of the image tools' preview cannot be saved or copied
// into the support folder (a full disk), the view keeps the last picture and
// draws the failure band over it with the system's words, the next render
// that starts takes the band away, and no copy of the layers is left in the
// support folder; a copy a killed render left there goes with the next
// render.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "app/core/session_state.h"
#include "dialogs/editor/main_editor_fixture.h"
#include "dialogs/editor/tune_effect_fixture.h"
#include "platform/files/file_io.h"
#include "platform/files/private_copy.h"
#include "platform/toolbox/test_driver.h"
#include "views/image_box.h"

namespace tb = plat::tb;
namespace fs = std::filesystem;

namespace {

constexpr char kCopyFailed[] = "The preview could not be rendered: its layers could not be copied: No space left on "
                               "device.";
constexpr char kSaveFailed[] = "The preview could not be rendered: its layers could not be saved: No space left on "
                               "device.";

std::string Scratch() { return FicToPosix(gPer->layerScratch); }
std::string MakersFolder() { return fs::path(Scratch()).parent_path().string(); }

// The render copies of the layer scratch file in the support folder.
std::vector<std::string> RenderCopies() {
  std::vector<std::string> names;
  const std::string stem = fs::path(Scratch()).filename().string() + ".render";
  for (const auto& e : fs::directory_iterator(MakersFolder()))
    if (e.path().filename().string().rfind(stem, 0) == 0) names.push_back(e.path().filename().string());
  return names;
}

bool DarkRed(uint32_t px) { return ((px >> 16) & 0xFF) > 128 && ((px >> 8) & 0xFF) == 0 && (px & 0xFF) == 0; }

// A pixel of the band along the box's bottom edge, right of where its words end, as the
// window shows it: on its bottom line, or `line` lines above.
uint32_t BandPixel(tb::WindowRef w, const VMKimabox* box, int line = 0) {
  const Rect r = tb::GetControlBounds(box->state().view);
  return tb::GetWindowPort(w)->surface().pixel(r.right - 3, r.bottom - 9 - 14 * line);
}

class UnstartedLayeredPreviewTest : public vmktest::MainEditorTest {
 protected:
  void TearDown() override {
    plat::files::FailPrivateCopiesForTesting(0);
    plat::files::FailWritesForTesting("", 0);
    MainEditorTest::TearDown();
  }
};

// The layered editor's Render: the copy fails, then the scratch file cannot be
// written; each time the band names the reason over the last picture, and a render
// that starts again shows its picture without it.
TEST_F(UnstartedLayeredPreviewTest, ARenderWhoseLayersCannotBeCopiedOrSavedIsToldOverTheLastPicture) {
  MakeLayers(1);
  Plant(1, 9);  // invert: the render differs from the picture
  // What a render killed in an earlier session left.
  vmktest::WriteBytes(Scratch() + ".render77", {1, 2, 3});
  VMKpinmainUI editor;
  uint64_t shown = 0;
  std::vector<uint8_t> picture;
  const auto plane = [&] {
    const size_t n = static_cast<size_t>(editor.viewWidth) * static_cast<size_t>(editor.viewHeight);
    return std::vector<uint8_t>(editor.effectPlanes[4], editor.effectPlanes[4] + n);
  };
  driver_.Advance(0.6)
      .Do([&](tb::WindowRef w) {
        ASSERT_GE(editor.rendersShown(), 2u);
        EXPECT_TRUE(RenderCopies().empty());
        EXPECT_TRUE(editor.mainView()->previewFailure().empty());
        EXPECT_FALSE(DarkRed(BandPixel(w, editor.mainView())));
        shown = editor.rendersShown();
        picture = plane();
        plat::files::FailPrivateCopiesForTesting(ENOSPC);
        Send(w, "Bpre");
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(editor.mainView()->previewFailure(), kCopyFailed);
        EXPECT_TRUE(DarkRed(BandPixel(w, editor.mainView())));
        // The last picture stays, and nothing of the copy is left.
        EXPECT_EQ(editor.rendersShown(), shown);
        EXPECT_EQ(plane(), picture);
        EXPECT_TRUE(RenderCopies().empty());
        plat::files::FailPrivateCopiesForTesting(0);
        Send(w, "Bpre");
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(editor.rendersShown(), shown + 1);
        EXPECT_TRUE(editor.mainView()->previewFailure().empty());
        EXPECT_FALSE(DarkRed(BandPixel(w, editor.mainView())));
        plat::files::FailWritesForTesting(MakersFolder(), ENOSPC);
        Send(w, "Bpre");
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(editor.mainView()->previewFailure(), kSaveFailed);
        EXPECT_TRUE(DarkRed(BandPixel(w, editor.mainView())));
        EXPECT_EQ(editor.rendersShown(), shown + 1);
        EXPECT_TRUE(RenderCopies().empty());
        plat::files::FailWritesForTesting("", 0);
      })
      .Press(vmktest::kMain, 2);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_TRUE(RenderCopies().empty());
}

class UnstartedToolsPreviewTest : public vmktest::TuneEffTest {
 protected:
  void SetUp() override {
    TuneEffTest::SetUp();
    UsePhoto();
  }
  void TearDown() override {
    plat::files::FailPrivateCopiesForTesting(0);
    plat::files::FailWritesForTesting("", 0);
    TuneEffTest::TearDown();
  }
};

// The image tools' preview: the same failures, the same band over the view, and
// no copy left behind.
TEST_F(UnstartedToolsPreviewTest, APreviewWhoseLayersCannotBeCopiedOrSavedIsToldOverTheLastPicture) {
  Plant({{16, 1, 1, 2, 3, 1, {40}}});
  vmktest::WriteBytes(Scratch() + ".render3", {1});
  VMKtuneeff e;
  BindEditor(e);
  int32_t shown = 0;
  std::vector<uint8_t> picture;
  const auto plane = [&] {
    const size_t n = static_cast<size_t>(e.viewWidth) * static_cast<size_t>(e.viewHeight);
    return std::vector<uint8_t>(e.resultPlanes[4], e.resultPlanes[4] + n);
  };
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        shown = e.previewsShown();
        ASSERT_GE(shown, 1);
        EXPECT_TRUE(RenderCopies().empty());
        EXPECT_TRUE(e.previewView()->previewFailure().empty());
        EXPECT_FALSE(DarkRed(BandPixel(w, e.previewView())));
        picture = plane();
        plat::files::FailPrivateCopiesForTesting(ENOSPC);
        tb::SetControlText(Ctl(w, 16), "120");
        e.SetRefreshFlag(1);
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(e.previewView()->previewFailure(), kCopyFailed);
        // Two lines in the narrower view: the system's words are not cut off.
        EXPECT_TRUE(DarkRed(BandPixel(w, e.previewView())));
        EXPECT_TRUE(DarkRed(BandPixel(w, e.previewView(), 1)));
        EXPECT_EQ(e.previewsShown(), shown);
        EXPECT_EQ(plane(), picture);
        EXPECT_TRUE(RenderCopies().empty());
        plat::files::FailPrivateCopiesForTesting(0);
        e.SetRefreshFlag(1);
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(e.previewsShown(), shown + 1);
        EXPECT_NE(plane(), picture);
        EXPECT_TRUE(e.previewView()->previewFailure().empty());
        EXPECT_FALSE(DarkRed(BandPixel(w, e.previewView())));
        picture = plane();
        plat::files::FailWritesForTesting(MakersFolder(), ENOSPC);
        tb::SetControlText(Ctl(w, 16), "200");
        e.SetRefreshFlag(1);
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(e.previewView()->previewFailure(), kSaveFailed);
        EXPECT_TRUE(DarkRed(BandPixel(w, e.previewView())));
        EXPECT_EQ(e.previewsShown(), shown + 1);
        EXPECT_EQ(plane(), picture);
        EXPECT_TRUE(RenderCopies().empty());
        plat::files::FailWritesForTesting("", 0);
      });
  PressOk();
  EXPECT_EQ(e.Perform_Effect(118, 0), 1);
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_TRUE(RenderCopies().empty());
}

}  // namespace
