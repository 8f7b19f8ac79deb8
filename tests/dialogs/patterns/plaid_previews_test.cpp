// The plaid creator over a picture with its real engine: at 1:1 (a 500 x 500
// picture in the 500 x 500 preview) the preview is the final render's own
// pixels; and a picture of each window of the family after its first
// preview, for a person to look at.
#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <vector>

#include "dialogs/patterns/plaid_fixture.h"
#include "dialogs/patterns/weave_dialog.h"
#include "engines/families/effect_families.h"
#include "script/engine_rows.h"
#include "views/image_box.h"

namespace tb = plat::tb;

namespace {

class PlaidPreviewTest : public vmktest::PlaidDialogTest {
 protected:
  void SetUp() override {
    PlaidDialogTest::SetUp();
    Start(500, 500);
    UsePhoto();
  }
  // Effect 42 as the script runs it over the whole picture: three planes,
  // bottom row first, a full mask.
  std::vector<uint8_t> FinalRender(PlaidPar* record, int16_t opacity) {
    const int32_t w = 500, h = 500;
    const size_t n = static_cast<size_t>(w) * h;
    std::vector<uint8_t> planes(5 * n, 255);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        for (int k = 0; k < 3; ++k) planes[k * n + static_cast<size_t>(h - 1 - y) * w + x] = photo_.rowPtr(y)[4 * x + k];
    EngineRowCall row;
    row.effect = 42;
    row.record = record;
    row.n = 3;
    row.opacity = opacity;
    row.w = row.aw = w;
    row.h = row.ah = h;
    row.planes[0] = planes.data();
    row.planes[1] = planes.data() + n;
    row.planes[2] = planes.data() + 2 * n;
    row.mask = planes.data() + 3 * n;
    row.plane6 = planes.data() + 4 * n;
    RegisterEffectFamilies();
    const EngineAdapter adapter = FindEngineRow(42);
    EXPECT_NE(adapter, nullptr);
    if (adapter != nullptr) adapter(row);
    planes.resize(3 * n);
    return planes;
  }
  // Where the view samples the picture's own pixels (it steps through the
  // whole picture at 499 / 500, first repeating a pixel at 250).
  static int Differences(const VMKimabox* box, const std::vector<uint8_t>& render) {
    const size_t n = 500u * 500u;
    int differ = 0;
    for (size_t row = 250; row < 500; ++row)
      for (size_t x = 0; x < 250; ++x)
        for (int k = 0; k < 3; ++k) differ += box->displayBuffer()[4 * (row * 500 + x) + k] != render[k * n + row * 500 + x];
    return differ;
  }
  int Changed(const std::vector<uint8_t>& render) const {
    int changed = 0;
    for (int32_t y = 0; y < 250; ++y)
      for (int32_t x = 0; x < 250; ++x) changed += render[(499 - y) * 500u + x] != photo_.rowPtr(y)[4 * x];
    return changed;
  }
  static void Shoot(tb::WindowRef w, const char* name) {
    const QString folder = VMK_ARTEFACTS_DIR;
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_TRUE(tb::QtWidgetOf(w)->grab().save(folder + "/" + name + ".png")) << name;
  }
};

TEST_F(PlaidPreviewTest, ThePreviewAtOneToOneIsTheFinalRenderAndEachWindowIsPictured) {
  VMKcreaplaidUI dlg;
  PlaidPar owner = Numbered(3);
  owner.freeMode = 1;
  owner.threadSource = 2;
  dlg.SetPlaidPar(200, &owner);
  int differences = -1, changed = 0;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.displayedWidth, 500);
        EXPECT_EQ(dlg.displayedHeight, 500);
        PlaidPar record;
        int16_t opacity = 0;
        dlg.GetPlaidPar(&opacity, &record);
        const std::vector<uint8_t> render = FinalRender(&record, opacity);
        changed = Changed(render);
        differences = Differences(dlg.previewBox(), render);
        Shoot(w, "CreaPlaid");
      })
      .Choose(kPpla, 110, 1)
      .Slide(kAhsv, 10, 45)
      .Do([&](tb::WindowRef w) { Shoot(w, "AdjHSV"); })
      .Press(kAhsv, 2)
      .Choose(kPpla, 108, 1)
      .Advance(0.1)
      .Do([&](tb::WindowRef w) { Shoot(w, "CreaWeav"); })
      .Press(FourCC("Cwea"), 114)
      .Do([&](tb::WindowRef w) { Shoot(w, "ShiftWeav"); })
      .Press(FourCC("Swea"), 2)
      .Press(FourCC("Cwea"), 119)
      .Do([&](tb::WindowRef w) { Shoot(w, "ExpandWeav"); })
      .Press(FourCC("Ewea"), 2)
      .Press(FourCC("Cwea"), 102)
      .Press(kPpla, kCancel);
  EXPECT_EQ(dlg.Do_CreaPlaidDlg(0), 0);
  EXPECT_GT(changed, 1000);
  EXPECT_EQ(differences, 0);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
