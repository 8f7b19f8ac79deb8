// Every dialog with a percent field, opened through the dispatcher on an
// operation and confirmed after its ticks without an edit, stores the
// operation as it came, byte for byte: the field shows the stored value's
// percent, and reading that percent back must not round the value to a
// neighbour (128 shows as 50 %, which is 127; 100 as 39 %, which is 99).
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "dialogs/editor/dispatch_fixture.h"
#include "dialogs/patterns/patterns_rows.h"
#include "engines/correction/colour_correction.h"
#include "engines/correction/grid_record.h"
#include "engines/correction/lens_correction.h"
#include "engines/correction/resize_record.h"
#include "engines/patterns/weave_plaid_record.h"

using vmktest::DispatchTest;
namespace tb = plat::tb;

namespace {

struct PercentDialog {
  int16_t code;
  OSType signature;
  int32_t ok;
  bool asks = false;  // OK asks a question first, answered with its first button
};

// The colour-correction dialogs (noise, smoothing, focus, channel mixer),
// the lens correction, the content-aware resize and the grid warp keep the
// overlay opacity as 0..255 and show it in percent; the plaid shows the
// operation's first parameter as its opacity in percent.
constexpr PercentDialog kDialogs[] = {
    {103, FourCC("Dnoi"), 101}, {104, FourCC("Glim"), 101}, {105, FourCC("Kfoc"), 101},
    {119, FourCC("Cmix"), 101}, {113, FourCC("Zond"), 101}, {101, FourCC("Yoxl"), 101},
    {102, FourCC("Grid"), 101, true}, {42, FourCC("Ppla"), 201},
};

class PercentFieldsTest : public DispatchTest {
 protected:
  void SetUp() override {
    DispatchTest::SetUp();
    RegisterPatternsRows(EffectDialogRegistry());
    // No settings of an earlier content-aware run.
    std::filesystem::remove(bundle_.makersFile("tmpvmkyxl.hyx"));
  }
  // Operation 1 of effect `code` with its record at the defaults, made by
  // its getter, and the mask noise reduction and smoothing give it anyway.
  void PlantWithRecord(int16_t code, int16_t param1) {
    Plant(1, code);
    script()->SetParam1(0, 1, 1, param1);
    script()->SetIntExt(0, 1, 1, 2);
    script()->SetMChannel(0, 1, 1, 6);
    switch (code) {
      case 101: {
        Yoxel r;
        Init_YoxelPar(r.par, 0, 0, 72, 0, 5);
        script()->GetYoxelPar(0, 1, 1, r.par);
        ASSERT_EQ(script()->SetYoxelPar(0, 1, 1, r.par), 0);
        break;
      }
      case 113: {
        ZondracPar r;
        script()->GetZondracPar(0, 1, 1, &r);
        ASSERT_EQ(script()->SetZondracPar(0, 1, 1, &r), 0);
        break;
      }
      case 102: {
        auto r = std::make_unique<GridPar>();
        script()->GetGridPar(0, 1, 1, r.get());
        ASSERT_EQ(script()->SetGridPar(0, 1, 1, r.get()), 0);
        break;
      }
      case 42: {
        PlaidPar r;
        script()->GetPlaidPar(0, 1, 1, &r);
        ASSERT_EQ(script()->SetPlaidPar(0, 1, 1, &r), 0);
        break;
      }
      default: {
        ColCorPar r;
        script()->GetColCorPar(0, 1, 1, &r);
        r.w[kCCKind] = code;
        ASSERT_EQ(script()->SetColCorPar(0, 1, 1, &r), 0);
        break;
      }
    }
  }
};

TEST_F(PercentFieldsTest, OpenTickAndOkLeaveTheOperationByteForByte) {
  for (const PercentDialog& d : kDialogs) {
    // The plaid's opacity of 100 shows as 39 %; the others' overlay opacity
    // starts at 128, shown as 50 %.
    for (int16_t param1 : {int16_t{100}, int16_t{255}}) {
      SCOPED_TRACE(testing::Message() << "effect " << d.code << " first parameter " << param1);
      Start(1200, 900);
      PlantWithRecord(d.code, param1);
      const std::vector<uint8_t> before = ScriptBytes();
      VMKtuneeff editor;
      Bind(editor, 1);
      driver_.Advance(0.1).Advance(1.1).Advance(2.1).Press(d.signature, d.ok);
      if (d.asks) driver_.Press(FourCC("Aler"), 1);
      EXPECT_EQ(editor.Perform_Effect(d.code, 0), 1);
      EXPECT_EQ(ScriptBytes(), before);
      EXPECT_TRUE(driver_.errors().empty());
    }
  }
}

}  // namespace
