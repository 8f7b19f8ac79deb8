// The default content library gives the generator dialogs their presets:
// three textures, three spirographs and three stars (both shape makers list
// all six), three cookie cutters, each read through its family's reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "dialogs/patterns/cookie_dialog.h"
#include "dialogs/patterns/generator_fixture.h"
#include "dialogs/patterns/shape_dialogs.h"
#include "dialogs/patterns/texture_dialog.h"

namespace tb = plat::tb;

namespace {

class GeneratorContentTest : public vmktest::GeneratorDialogTest {
 protected:
  // Chooses every preset of the popup in turn; `value` tells what each gave.
  std::multiset<int32_t> ChooseAll(OSType signature, int32_t popup, int32_t count,
                                   const std::function<int32_t()>& value, const std::function<int16_t()>& run) {
    std::multiset<int32_t> seen;
    driver_.Advance(0.1).Do([&](tb::WindowRef w) {
      EXPECT_EQ(tb::CountMenuItems(tb::FindControl(w, signature, popup)), count);
    });
    for (int32_t item = 1; item <= count; ++item)
      driver_.Choose(signature, popup, item).Do([&](tb::WindowRef) { seen.insert(value()); });
    driver_.Press(signature, 102);
    EXPECT_EQ(run(), 0);
    return seen;
  }
};

TEST_F(GeneratorContentTest, EveryGeneratorDialogListsItsPresets) {
  ASSERT_TRUE(vmktest::MakeContentLibrary(bundle_.makersFile("")));
  {
    VMKtexturgenUI d;
    const auto seen = ChooseAll(FourCC("Tgen"), 21, 3, [&] { return static_cast<int32_t>(d.current()->turbulence); },
                                [&] { return d.Do_TexturGenDlg(); });
    EXPECT_EQ(seen, (std::multiset<int32_t>{70, 30, 20}));
  }
  {
    VMKcookicutUI d;
    const auto seen = ChooseAll(FourCC("Cook"), 9, 3, [&] { return d.current()->shape[0]; },
                                [&] { return d.Do_CookiCutDlg(0); });
    EXPECT_EQ(seen, (std::multiset<int32_t>{60, 80, 30}));
  }
  // Kinds 1 (spirograph) and 0 (star): three of each in both makers.
  {
    VMKspiromakerUI d;
    const auto seen = ChooseAll(FourCC("Spir"), 11, 6, [&] { return d.current()->kind; },
                                [&] { return d.Do_SpiroMakerDlg(0); });
    EXPECT_EQ(seen, (std::multiset<int32_t>{0, 0, 0, 1, 1, 1}));
  }
  {
    VMKstarmakerUI d;
    const auto seen = ChooseAll(FourCC("Star"), 12, 6, [&] { return d.current()->shape.w[kObjStarPoints]; },
                                [&] { return d.Do_StarMakerDlg(0); });
    EXPECT_EQ(seen.count(5), 4u);  // the three spirographs keep the default count
    EXPECT_EQ(seen.count(12), 1u);
    EXPECT_EQ(seen.count(24), 1u);
  }
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
