#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <functional>

#include "dialogs/correction/channel_mixer_dialog.h"
#include "dialogs/correction/dialog_fixture.h"
#include "dialogs/correction/focus_dialog.h"
#include "dialogs/correction/noise_dialog.h"
#include "dialogs/correction/smoothing_dialog.h"

using vmktest::ColCorDialogTest;
namespace tb = plat::tb;

namespace {

constexpr OSType kDnoi = FourCC("Dnoi");
constexpr int32_t kOk = 101, kCancel = 102, kOneToOne = 110;

int32_t Failing(const vmkviews::PreviewCall& c) {
  std::memset(c.planes[0], 77, static_cast<size_t>(c.viewWidth) * c.viewHeight);
  return -1;
}

std::vector<uint8_t> Shown(const VMKimabox* box) {
  const uint8_t* d = box->displayBuffer();
  return std::vector<uint8_t>(d, d + 4 * box->state().viewWidth * box->state().viewHeight);
}

TEST_F(ColCorDialogTest, DraggingTheNavigatorFrameMovesTheMainViewAtTheNextTick) {
  VMKdnoiUI dlg;
  int32_t frame[4] = {0, 0, 0, 0};
  driver_.Advance(0.1)
      .Press(kDnoi, kOneToOne)
      .Advance(2.1)
      .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.pan[0], 0); })
      // Frame 0 covers 125 x 100 pixels at the navigator's top left (520, 10).
      .Drag({{50, 570}, {80, 620}, {100, 670}})
      .Do([&](tb::WindowRef) {
        dlg.navigator()->GetBufSSPan(&frame[0], &frame[1], &frame[2], &frame[3], 0);
        EXPECT_GT(frame[0], 0);
        EXPECT_GT(frame[1], 0);
        EXPECT_EQ(dlg.pan[0], 0);
      })
      .Advance(1.0)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(std::vector<int32_t>(dlg.pan, dlg.pan + 4), std::vector<int32_t>(frame, frame + 4));
        EXPECT_EQ(dlg.oneToOne[0], dlg.pan[0]);
        EXPECT_EQ(dlg.mainView()->state().panLeft, dlg.pan[0]);
        EXPECT_EQ(dlg.mainView()->state().panBottom, dlg.pan[3]);
      })
      .Press(kDnoi, kCancel);
  dlg.Do_DNoiDlg();
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ColCorDialogTest, AFailingPreviewLeavesTheViewAndTheDialogGoesOn) {
  VMKdnoiUI dlg;
  std::vector<uint8_t> before;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        before = Shown(dlg.mainView());
        vmkviews::RegisterPreviewEngine(vmkviews::kPreviewColCor, 0, Failing);
      })
      .Type(kDnoi, 18, "12")
      .Advance(1.1)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.Word(kCCNoise + 1), 12);
        EXPECT_EQ(dlg.refresh(), 0);
        EXPECT_EQ(Shown(dlg.mainView()), before);
      })
      .Press(kDnoi, kOk);
  EXPECT_EQ(dlg.Do_DNoiDlg(), 1);
  EXPECT_TRUE(driver_.errors().empty());
}

// Each dialog after its first tick over a generated picture, kept under the
// build tree for a person to look at; never compared.
TEST_F(ColCorDialogTest, ScreenshotsOfTheFourDialogs) {
  UsePhoto();
  const QString folder = VMK_ARTEFACTS_DIR;
  ASSERT_TRUE(QDir().mkpath(folder));
  auto shoot = [&](const char* name, OSType sig, const std::function<int16_t()>& run) {
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef w) {
          const QPixmap shot = tb::QtWidgetOf(w)->grab();
          EXPECT_TRUE(shot.save(folder + "/" + name + ".png")) << name;
        })
        .Press(sig, kCancel);
    EXPECT_EQ(run(), 0) << name;
  };
  {
    VMKdnoiUI d;
    shoot("DeNoise", kDnoi, [&] { return d.Do_DNoiDlg(); });
  }
  {
    VMKglimUI d;
    shoot("Glimmerock", FourCC("Glim"), [&] { return d.Do_GlimDlg(); });
  }
  {
    VMKkevrUI d;
    shoot("Kevrantil", FourCC("Kfoc"), [&] { return d.Do_KevrDlg(); });
  }
  {
    VMKcmixUI d;
    shoot("ChannelMix", FourCC("Cmix"), [&] { return d.Do_CMixDlg(); });
  }
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
