// Effect 113 through the dispatcher: the lens-correction dialog edits the
// operation's record on a copy; OK stores it and the code, cancel leaves the
// operation byte for byte, and under flag 1 the render file comes first.
#include <gtest/gtest.h>

#include <filesystem>

#include "dialogs/correction/lens_correction_dialog.h"
#include "dialogs/editor/dispatch_fixture.h"
#include "script/misc_render.h"

using vmktest::DispatchTest;
namespace tb = plat::tb;

namespace {

constexpr OSType kZond = FourCC("Zond");
constexpr int32_t kOk = 101, kCancel = 102;

class LensRowTest : public DispatchTest {
 protected:
  void PlantLens() {
    Plant(1, 16);
    Plant(2, 113);
    ZondracPar r;
    script()->GetZondracPar(0, 1, 2, &r);
    r.w[kZndRotation] = 7;
    ASSERT_EQ(script()->SetZondracPar(0, 1, 2, &r), 0);
  }
};

TEST_F(LensRowTest, OkStoresTheRecordAndCancelLeavesTheOperation) {
  PlantLens();
  const std::vector<uint8_t> before = ScriptBytes();
  for (bool closeBox : {false, true}) {
    VMKtuneeff editor;
    Bind(editor, 2);
    int32_t seen = 0;
    driver_.Advance(0.1).Do([&](tb::WindowRef) { seen = gVMKzondrac->Word(kZndRotation); }).Type(kZond, 39, "-33");
    if (closeBox) driver_.CloseBox();
    else driver_.Press(kZond, kCancel);
    EXPECT_EQ(editor.Perform_Effect(113, 0), 0);
    EXPECT_EQ(seen, 7);  // the dialog edits the operation's record
    EXPECT_EQ(ScriptBytes(), before) << closeBox;
  }
  VMKtuneeff editor;
  Bind(editor, 2);
  driver_.Advance(0.1).Type(kZond, 39, "-33").Advance(0.5).Press(kZond, kOk);
  EXPECT_EQ(editor.Perform_Effect(113, 0), 1);
  ZondracPar stored;
  script()->GetZondracPar(0, 1, 2, &stored);
  EXPECT_EQ(stored.w[kZndRotation], -33);
  int16_t code = 0;
  script()->GetEffect(0, 1, 2, &code);
  EXPECT_EQ(code, 113);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(LensRowTest, FlagOneWritesTheRenderFileFirst) {
  UsePhoto();
  PlantLens();
  fichier f;
  ASSERT_TRUE(RenderFileRecord(&f));
  const std::string file = FicToPosix(f);
  for (int16_t flag : {0, 1}) {
    std::filesystem::remove(file);
    VMKtuneeff editor;
    Bind(editor, 2);
    bool existed = false;
    driver_.Advance(0.1).Do([&](tb::WindowRef) { existed = std::filesystem::exists(file); }).Press(kZond, kCancel);
    editor.Perform_Effect(113, flag);
    EXPECT_EQ(existed, flag == 1);
  }
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
