// Effect 101 through the dispatcher: the content-aware resize dialog edits
// the operation's record in a holder of its own; OK stores it and the code,
// cancel leaves the operation byte for byte, and under flag 1 the render
// file comes first.
#include <gtest/gtest.h>

#include <filesystem>

#include "dialogs/correction/content_aware_dialog.h"
#include "dialogs/editor/dispatch_fixture.h"
#include "script/misc_render.h"

using vmktest::DispatchTest;
namespace tb = plat::tb;

namespace {

constexpr OSType kYoxl = FourCC("Yoxl");
constexpr int32_t kOk = 101, kCancel = 102;

class ContentAwareRowTest : public DispatchTest {
 protected:
  void PlantResize() {
    Plant(1, 16);
    Plant(2, 101);
    Yoxel r;
    Init_YoxelPar(r.par, 0, 0, 72, 0, 5);
    script()->GetYoxelPar(0, 1, 2, r.par);
    r.par->sharpenAmount = 17;
    ASSERT_EQ(script()->SetYoxelPar(0, 1, 2, r.par), 0);
  }
};

TEST_F(ContentAwareRowTest, OkStoresTheRecordAndCancelLeavesTheOperation) {
  PlantResize();
  // No settings of an earlier run.
  std::filesystem::remove(bundle_.makersFile("tmpvmkyxl.hyx"));
  const std::vector<uint8_t> before = ScriptBytes();
  for (bool closeBox : {false, true}) {
    VMKtuneeff editor;
    Bind(editor, 2);
    int32_t seen = 0;
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef) { seen = gVMKyoxel->editRecord()->sharpenAmount; })
        .Type(kYoxl, 19, "44")
        .Advance(1.1);
    if (closeBox) driver_.CloseBox();
    else driver_.Press(kYoxl, kCancel);
    EXPECT_EQ(editor.Perform_Effect(101, 0), 0);
    EXPECT_EQ(seen, 17);  // the dialog edits the operation's record
    EXPECT_EQ(ScriptBytes(), before) << closeBox;
    EXPECT_EQ(gVMKyoxel, nullptr);
  }
  VMKtuneeff editor;
  Bind(editor, 2);
  driver_.Advance(0.1).Type(kYoxl, 19, "44").Advance(1.1).Press(kYoxl, kOk);
  EXPECT_EQ(editor.Perform_Effect(101, 0), 1);
  Yoxel stored;
  Init_YoxelPar(stored.par, 0, 0, 72, 0, 5);
  script()->GetYoxelPar(0, 1, 2, stored.par);
  EXPECT_EQ(stored.par->sharpenAmount, 44);
  int16_t code = 0;
  script()->GetEffect(0, 1, 2, &code);
  EXPECT_EQ(code, 101);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ContentAwareRowTest, FlagOneWritesTheRenderFileFirst) {
  UsePhoto();
  PlantResize();
  fichier f;
  ASSERT_TRUE(RenderFileRecord(&f));
  const std::string file = FicToPosix(f);
  for (int16_t flag : {0, 1}) {
    std::filesystem::remove(file);
    VMKtuneeff editor;
    Bind(editor, 2);
    bool existed = false;
    driver_.Advance(0.1).Do([&](tb::WindowRef) { existed = std::filesystem::exists(file); }).Press(kYoxl, kCancel);
    editor.Perform_Effect(101, flag);
    EXPECT_EQ(existed, flag == 1);
  }
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
