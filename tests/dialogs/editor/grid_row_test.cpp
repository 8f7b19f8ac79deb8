// Effect 102 through the dispatcher: the grid-warp dialog edits the
// operation's grids on a copy; OK stores them and the code, cancel leaves the
// operation byte for byte, and under flag 1 the render file comes first.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "dialogs/correction/grid_warp_dialog.h"
#include "dialogs/editor/dispatch_fixture.h"
#include "script/misc_render.h"

using vmktest::DispatchTest;
namespace tb = plat::tb;

namespace {

constexpr OSType kGrid = FourCC("Grid");
constexpr OSType kAlert = FourCC("Aler");
constexpr int32_t kOk = 101, kCancel = 102, kGridOn = 53;

class GridRowTest : public DispatchTest {
 protected:
  void PlantGrid() {
    Plant(1, 16);
    Plant(2, 102);
    auto r = std::make_unique<GridPar>();
    script()->GetGridPar(0, 1, 2, r.get());
    r->grids[0].w[kGiCurvature] = 33;
    ASSERT_EQ(script()->SetGridPar(0, 1, 2, r.get()), 0);
  }
};

TEST_F(GridRowTest, OkStoresTheGridsAndCancelLeavesTheOperation) {
  PlantGrid();
  const std::vector<uint8_t> before = ScriptBytes();
  for (bool closeBox : {false, true}) {
    VMKtuneeff editor;
    Bind(editor, 2);
    int32_t seen = 0;
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef) { seen = gVMKgrid->editRecord()->grids[0].w[kGiCurvature]; })
        .Press(kGrid, kGridOn);
    // The close box is the Cancel button, closing question and all.
    if (closeBox) driver_.CloseBox().Press(kAlert, 1);
    else driver_.Press(kGrid, kCancel).Press(kAlert, 1);
    EXPECT_EQ(editor.Perform_Effect(102, 0), 0);
    EXPECT_EQ(seen, 33);  // the dialog edits the operation's grids
    EXPECT_EQ(ScriptBytes(), before) << closeBox;
  }
  VMKtuneeff editor;
  Bind(editor, 2);
  driver_.Advance(0.1).Press(kGrid, kGridOn).Press(kGrid, kOk).Press(kAlert, 1);
  EXPECT_EQ(editor.Perform_Effect(102, 0), 1);
  auto stored = std::make_unique<GridPar>();
  script()->GetGridPar(0, 1, 2, stored.get());
  EXPECT_EQ(stored->grids[0].w[kGiEnabled], 0);
  EXPECT_EQ(stored->grids[0].w[kGiCurvature], 33);
  int16_t code = 0;
  script()->GetEffect(0, 1, 2, &code);
  EXPECT_EQ(code, 102);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(GridRowTest, FlagOneWritesTheRenderFileFirst) {
  UsePhoto();
  PlantGrid();
  fichier f;
  ASSERT_TRUE(RenderFileRecord(&f));
  const std::string file = FicToPosix(f);
  for (int16_t flag : {0, 1}) {
    std::filesystem::remove(file);
    VMKtuneeff editor;
    Bind(editor, 2);
    bool existed = false;
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef) { existed = std::filesystem::exists(file); })
        .Press(kGrid, kCancel)
        .Press(kAlert, 1);
    editor.Perform_Effect(102, flag);
    EXPECT_EQ(existed, flag == 1);
  }
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
