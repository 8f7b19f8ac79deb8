// The noise-reduction dialog as a user meets it: opened by the application
// object's launcher through the editor's dispatcher, after its first
// preview. Kept under the build tree for a person to look at; never compared.
#include <QDir>
#include <QPixmap>
#include <QWidget>

#include "dialogs/correction/noise_dialog.h"
#include "dialogs/editor/dispatch_fixture.h"
#include "dialogs/editor/effect_launch.h"

using vmktest::DispatchTest;
namespace tb = plat::tb;

namespace {

TEST_F(DispatchTest, ScreenshotOfTheNoiseDialogOpenedThroughTheRoad) {
  UsePhoto();
  app_->effectLauncher = LaunchTuneEffect;
  const QString folder = VMK_ARTEFACTS_DIR;
  ASSERT_TRUE(QDir().mkpath(folder));
  int64_t previews = 0;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        ASSERT_NE(gVMKdnoi, nullptr);
        previews = gVMKdnoi->mainView()->previewsShown();
        EXPECT_TRUE(tb::QtWidgetOf(w)->grab().save(folder + "/DeNoise-road.png"));
      })
      .Press(FourCC("Dnoi"), 102);
  EXPECT_EQ(app_->LaunchEffect(103), 0);
  EXPECT_GT(previews, 0);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
