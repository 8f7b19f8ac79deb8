// A preview whose layers cannot be copied, or saved, into the support folder (a full disk)
// keeps the last picture and draws the failure band over it with the system's words; the
// next render that starts takes the band away; no copy of the layers is left behind, and
// one a killed render left goes with the next render.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <memory>
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

std::string Scratch() { return FicToPosix(gPer->layerScratch); }

// The names of the scratch file's render copies in the support folder.
std::vector<std::string> RenderCopies() {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(fs::path(Scratch()).parent_path()))
    if (e.path().string().rfind(Scratch() + ".render", 0) == 0) names.push_back(e.path().string());
  return names;
}

// Whether the band is drawn on line `line` (0 the bottom one) of the box's view, right of its words.
bool Band(tb::WindowRef w, const VMKimabox* box, int line = 0) {
  const Rect r = tb::GetControlBounds(box->state().view);
  const uint32_t px = tb::GetWindowPort(w)->surface().pixel(r.right - 3, r.bottom - 9 - 14 * line);
  return ((px >> 16) & 0xFF) > 128 && ((px >> 8) & 0xFF) == 0 && (px & 0xFF) == 0;
}

// Three requests in turn, queued on the driver: the copy fails, then a request renders, then the
// scratch file cannot be written. `ask` makes a request, `shown` counts the pictures shown,
// `plane` is one of them; the view's band needs `lines` lines for the words.
void Walk(tb::test::Driver& driver, std::function<VMKimabox*()> box, std::function<void(tb::WindowRef)> ask,
          std::function<int64_t()> shown, std::function<std::vector<uint8_t>()> plane, int lines) {
  struct Seen {
    int64_t shown = 0;
    std::vector<uint8_t> picture;
  };
  auto seen = std::make_shared<Seen>();
  const auto failed = [=](tb::WindowRef w, const std::string& how) {
    EXPECT_EQ(box()->previewFailure(),
              "The preview could not be rendered: its layers could not be " + how + ": No space left on device.");
    // Over the last picture, on as many lines as the system's words need.
    for (int line = 0; line < lines; ++line) EXPECT_TRUE(Band(w, box(), line)) << line;
    EXPECT_EQ(shown(), seen->shown);
    EXPECT_EQ(plane(), seen->picture);
    EXPECT_TRUE(RenderCopies().empty());
  };
  driver
      .Do([=](tb::WindowRef w) {
        ASSERT_GE(shown(), 1);
        EXPECT_TRUE(box()->previewFailure().empty());
        EXPECT_FALSE(Band(w, box()));
        // What a killed render left is gone with the first render.
        EXPECT_TRUE(RenderCopies().empty());
        seen->shown = shown();
        seen->picture = plane();
        plat::files::FailPrivateCopiesForTesting(ENOSPC);
        ask(w);
      })
      .Advance(0.6)
      .Do([=](tb::WindowRef w) {
        failed(w, "copied");
        plat::files::FailPrivateCopiesForTesting(0);
        ask(w);
      })
      .Advance(0.6)
      .Do([=](tb::WindowRef w) {
        EXPECT_EQ(shown(), ++seen->shown);
        EXPECT_FALSE(Band(w, box()));
        EXPECT_TRUE(box()->previewFailure().empty());
        seen->picture = plane();
        plat::files::FailWritesForTesting(fs::path(Scratch()).parent_path().string(), ENOSPC);
        ask(w);
      })
      .Advance(0.6)
      .Do([=](tb::WindowRef w) {
        failed(w, "saved");
        plat::files::FailWritesForTesting("", 0);
      });
}

// Whatever a test leaves failing fails no later test.
template <class Base>
class Unstarted : public Base {
 protected:
  void TearDown() override {
    plat::files::FailPrivateCopiesForTesting(0);
    plat::files::FailWritesForTesting("", 0);
    Base::TearDown();
  }
};

using UnstartedLayeredPreviewTest = Unstarted<vmktest::MainEditorTest>;

TEST_F(UnstartedLayeredPreviewTest, TheLayeredEditorsRenderTellsWhyOverTheLastPicture) {
  MakeLayers(1);
  vmktest::WriteBytes(Scratch() + ".render77", {1, 2, 3});
  VMKpinmainUI editor;
  driver_.Advance(0.6);
  Walk(
      driver_, [&] { return editor.mainView(); }, [](tb::WindowRef w) { Send(w, "Bpre"); },
      [&] { return static_cast<int64_t>(editor.rendersShown()); },
      [&] {
        return std::vector<uint8_t>(editor.effectPlanes[4],
                                    editor.effectPlanes[4] + size_t{1} * editor.viewWidth * editor.viewHeight);
      },
      1);
  driver_.Press(vmktest::kMain, 2);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_TRUE(RenderCopies().empty());
}

using UnstartedToolsPreviewTest = Unstarted<vmktest::TuneEffTest>;

TEST_F(UnstartedToolsPreviewTest, TheImageToolsPreviewTellsWhyOverTheLastPicture) {
  UsePhoto();
  Plant({{16, 1, 1, 2, 3, 1, {40}}});
  vmktest::WriteBytes(Scratch() + ".render3", {1});
  VMKtuneeff e;
  BindEditor(e);
  auto value = std::make_shared<int32_t>(40);
  driver_.Advance(0.1);
  // The view is narrower: the words take two lines.
  Walk(
      driver_, [&] { return e.previewView(); },
      [&](tb::WindowRef w) {
        tb::SetControlText(Ctl(w, 16), std::to_string(*value += 40));
        e.SetRefreshFlag(1);
      },
      [&] { return static_cast<int64_t>(e.previewsShown()); },
      [&] { return std::vector<uint8_t>(e.resultPlanes[4], e.resultPlanes[4] + size_t{1} * e.viewWidth * e.viewHeight); },
      2);
  PressOk();
  EXPECT_EQ(e.Perform_Effect(118, 0), 1);
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_TRUE(RenderCopies().empty());
}

}  // namespace
