// The main editing window as a user meets it (family 117, two layers, the
// paths of the current layer shown, the first layer rendered over the
// picture) and its two palettes. Kept under the build tree for a person to
// look at; never compared.
#include <QDir>
#include <QPixmap>
#include <QWidget>

#include "dialogs/editor/main_editor_fixture.h"

using vmktest::kMain;
using vmktest::MainEditorTest;
namespace tb = plat::tb;

namespace {

TEST_F(MainEditorTest, ScreenshotsOfTheMainWindowAndItsPalettes) {
  MakeLayers(2);
  script()->SetEffect(0, 1, 1, 16, 0, 0, 1200, 900);
  script()->SetAct(0, 1, 1, 1);
  AddTriangles(doc()->layer->paths, 3, 300.0f);
  const QString folder = VMK_ARTEFACTS_DIR;
  ASSERT_TRUE(QDir().mkpath(folder));
  VMKpinmainUI editor;
  driver_.Advance(0.6)
      .Press(kMain, 45)
      .Press(kMain, 22)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        EXPECT_GT(editor.rendersShown(), 0u);
        EXPECT_TRUE(tb::QtWidgetOf(w)->grab().save(folder + "/PinMain.png"));
        ASSERT_NE(editor.layerPalette, nullptr);
        ASSERT_NE(editor.pathPalette, nullptr);
        EXPECT_TRUE(tb::QtWidgetOf(editor.layerPalette->window)->grab().save(folder + "/TuneLay.png"));
        EXPECT_TRUE(tb::QtWidgetOf(editor.pathPalette->window)->grab().save(folder + "/ToolPath.png"));
      })
      .Press(kMain, 2);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
