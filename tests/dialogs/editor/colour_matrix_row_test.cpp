// Effect 22 through the dispatcher: the colour-matrix dialog gets the
// operation's cells and four parameters; OK stores them and the code (the
// fifth parameter keeps SetEffect's default), cancel leaves the operation byte for byte, and
// under flag 1 the render file comes first and the preview reads it.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "dialogs/editor/dispatch_fixture.h"
#include "dialogs/patterns/colour_matrix_dialog.h"
#include "dialogs/patterns/patterns_rows.h"
#include "script/misc_render.h"

using vmktest::DispatchTest;
namespace tb = plat::tb;

namespace {

constexpr OSType kCmat = FourCC("Cmat");
constexpr int32_t kOk = 1, kCancel = 2;

class ColourMatrixRowTest : public DispatchTest {
 protected:
  void SetUp() override {
    DispatchTest::SetUp();
    RegisterPatternsRows(EffectDialogRegistry());
  }
  void PlantMatrix() {
    Plant(1, 16);
    Plant(2, 22);
    std::vector<int32_t> cells(kColMatCells, 0x40404040);
    ASSERT_EQ(script()->SetColMat(0, 1, 2, cells.data()), 0);
    script()->SetParam1(0, 1, 2, 0);
    script()->SetParam2(0, 1, 2, 15);
    script()->SetParam3(0, 1, 2, -25);
    script()->SetParam4(0, 1, 2, 35);
    script()->SetParam5(0, 1, 2, 45);
  }
  int16_t Param(Oprn* (ScriptFile::*get)(int16_t, int16_t, int16_t, int16_t*) const) {
    int16_t v = 0;
    (script()->*get)(0, 1, 2, &v);
    return v;
  }
};

TEST_F(ColourMatrixRowTest, OkStoresCellsAndParametersAndCancelLeavesTheOperation) {
  PlantMatrix();
  const std::vector<uint8_t> before = ScriptBytes();
  for (bool closeBox : {false, true}) {
    VMKtuneeff editor;
    Bind(editor, 2);
    int32_t hueSeen = 0;
    driver_.Advance(0.1).Do([&](tb::WindowRef) { hueSeen = gVMKcolormatrix->record()->shift[0]; }).Type(kCmat, 19, "500");
    if (closeBox) driver_.CloseBox();
    else driver_.Press(kCmat, kCancel);
    EXPECT_EQ(editor.Perform_Effect(22, 0), 0);
    EXPECT_EQ(hueSeen, 15);
    EXPECT_EQ(ScriptBytes(), before) << closeBox;
  }
  VMKtuneeff editor;
  Bind(editor, 2);
  driver_.Advance(0.1).Press(kCmat, 105).Type(kCmat, 19, "500").Press(kCmat, kOk);
  EXPECT_EQ(editor.Perform_Effect(22, 0), 1);
  std::vector<int32_t> cells(kColMatCells, 0);
  script()->GetColMat(0, 1, 2, cells.data());
  EXPECT_EQ(static_cast<uint32_t>(cells[0]), 0x404040BFu);  // the mask inverted
  EXPECT_EQ(Param(&ScriptFile::GetParam2), 15);
  EXPECT_EQ(Param(&ScriptFile::GetParam3), -25);
  EXPECT_EQ(Param(&ScriptFile::GetParam4), 500);
  // SetEffect gives effect 22 its defaults every time; the dispatcher then
  // writes the first four back and never the fifth.
  EXPECT_EQ(Param(&ScriptFile::GetParam5), 0);
  int16_t code = 0;
  script()->GetEffect(0, 1, 2, &code);
  EXPECT_EQ(code, 22);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ColourMatrixRowTest, FlagOneWritesTheRenderFileAndPreviewsFromIt) {
  UsePhoto();
  PlantMatrix();
  fichier f;
  ASSERT_TRUE(RenderFileRecord(&f));
  const std::string file = FicToPosix(f);
  for (int16_t flag : {0, 1}) {
    std::filesystem::remove(file);
    VMKtuneeff editor;
    Bind(editor, 2);
    bool existed = false;
    int16_t source = 0;
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef) {
          existed = std::filesystem::exists(file);
          source = gVMKcolormatrix->previewSource;
        })
        .Press(kCmat, kCancel);
    editor.Perform_Effect(22, flag);
    EXPECT_EQ(existed, flag == 1);
    EXPECT_EQ(source, flag == 1 ? 2 : 3);
  }
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
