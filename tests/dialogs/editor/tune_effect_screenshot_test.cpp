// The operation-list editor's two windows as a user meets them, after their
// first pass (and, for the image tools, their first preview and
// thumbnails). Kept under the build tree for a person to look at; never
// compared.
#include <QDir>
#include <QPixmap>
#include <QWidget>

#include "dialogs/editor/tune_effect_fixture.h"
#include "platform/toolbox/test_driver.h"
#include "views/image_box.h"

using vmktest::TuneEffTest;
namespace tb = plat::tb;

namespace {

TEST_F(TuneEffTest, ScreenshotsOfTheTuneEffectAndImageToolsWindows) {
  const QString folder = VMK_ARTEFACTS_DIR;
  ASSERT_TRUE(QDir().mkpath(folder));
  UsePhoto();
  // A family-117 layer of three operations: a brightness, a hue shift of
  // the composite and an inactive blur.
  Plant({{16, 1, 1, 2, 3, 1, {40}}, {18, 1, 1, 2, 3, 1, {30, 10, 0}}, {11, 0, 1, 2, 3, 1, {4}}});
  {
    VMKtuneeff e;
    BindEditor(e);
    driver_.Advance(0.6)
        .Choose(kSig, tuneeff::kOperationPopup, 2)
        .Advance(0.6)
        .Do([&](tb::WindowRef w) { EXPECT_TRUE(tb::QtWidgetOf(w)->grab().save(folder + "/TuneEff.png")); });
    PressOk();
    EXPECT_EQ(e.Do_TuneEffDlg(117), 1);
  }
  StoreEffect("Bright", 16, 60);
  StoreEffect("Emboss", 12, 3);
  StoreEffect("Invert", 9);
  StoreEffect("Levels", 14);
  {
    VMKtuneeff e;
    BindEditor(e);
    driver_.Advance(0.6).Do([&](tb::WindowRef w) {
      EXPECT_GT(e.previewsShown(), 0);
      EXPECT_GT(e.thumbView(2)->previewsShown(), 0);
      EXPECT_TRUE(tb::QtWidgetOf(w)->grab().save(folder + "/ImaEff.png"));
    });
    PressOk();
    EXPECT_EQ(e.Perform_Effect(118, 0), 1);
  }
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
