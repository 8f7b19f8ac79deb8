// The generator dialogs over a picture with their real engines: at 1:1 (a
// 500 x 500 picture in the 500 x 500 preview) the preview is the final
// render's own pixels; and a picture of each window after its first preview.
#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <functional>
#include <vector>

#include "dialogs/patterns/cookie_dialog.h"
#include "dialogs/patterns/generator_fixture.h"
#include "dialogs/patterns/shape_dialogs.h"
#include "dialogs/patterns/texture_dialog.h"
#include "engines/families/effect_families.h"
#include "platform/random/random.h"
#include "script/engine_rows.h"
#include "views/image_box.h"

namespace tb = plat::tb;

namespace {

constexpr int32_t kCancel = 102;

class GeneratorPreviewTest : public vmktest::GeneratorDialogTest {
 protected:
  void SetUp() override {
    GeneratorDialogTest::SetUp();
    Start(500, 500);
    UsePhoto();
  }
  // The effect's engine row as the script runs it over the whole picture:
  // three planes, bottom row first, a full mask and plane 6.
  std::vector<uint8_t> FinalRender(int16_t effect, void* record) {
    const int32_t w = 500, h = 500;
    const size_t n = static_cast<size_t>(w) * h;
    std::vector<uint8_t> planes(5 * n, 255);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        for (int k = 0; k < 3; ++k)
          planes[k * n + static_cast<size_t>(h - 1 - y) * w + x] = photo_.rowPtr(y)[4 * x + k];
    EngineRowCall row;
    row.effect = effect;
    row.record = record;
    row.n = 3;
    row.w = row.aw = w;
    row.h = row.ah = h;
    row.planes[0] = planes.data();
    row.planes[1] = planes.data() + n;
    row.planes[2] = planes.data() + 2 * n;
    row.mask = planes.data() + 3 * n;
    row.plane6 = planes.data() + 4 * n;
    RegisterEffectFamilies();
    const EngineAdapter adapter = FindEngineRow(effect);
    EXPECT_NE(adapter, nullptr);
    if (adapter != nullptr) adapter(row);
    planes.resize(3 * n);
    return planes;
  }
  // The box's display (rows bottom-up) against the render, sample by sample,
  // where the view samples the picture's own pixels: it steps through the
  // whole picture at 499 / 500 from the top left, which first repeats a
  // pixel at column and row 250.
  static int Differences(const VMKimabox* box, const std::vector<uint8_t>& render) {
    const size_t n = 500u * 500u;
    int differ = 0;
    for (size_t row = 250; row < 500; ++row)
      for (size_t x = 0; x < 250; ++x)
        for (int k = 0; k < 3; ++k) differ += box->displayBuffer()[4 * (row * 500 + x) + k] != render[k * n + row * 500 + x];
    return differ;
  }
  // The render changed the picture in the region compared.
  int Changed(const std::vector<uint8_t>& render) const {
    int changed = 0;
    for (int32_t y = 0; y < 250; ++y)
      for (int32_t x = 0; x < 250; ++x) changed += render[(499 - y) * 500u + x] != photo_.rowPtr(y)[4 * x];
    return changed;
  }
  // Runs the dialog to its first preview, lets `check` look, shoots the
  // window and cancels.
  void Open(const char* name, OSType signature, const std::function<int16_t()>& run,
            const std::function<void()>& check) {
    const QString folder = VMK_ARTEFACTS_DIR;
    ASSERT_TRUE(QDir().mkpath(folder));
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef) { check(); })
        .Do([&](tb::WindowRef w) { EXPECT_TRUE(tb::QtWidgetOf(w)->grab().save(folder + "/" + name + ".png")); })
        .Press(signature, kCancel);
    EXPECT_EQ(run(), 0) << name;
    EXPECT_TRUE(driver_.errors().empty()) << name;
  }
};

TEST_F(GeneratorPreviewTest, CookieCutterAtOneToOneIsTheFinalRender) {
  VMKcookicutUI dlg;
  CookiCutPar r;
  Init_CookiCutPar(&r);
  r.shape[0] = 60;
  r.softness = 10;
  dlg.SetCookiCutPar(&r);
  Open("CookiCut", FourCC("Cook"), [&] { return dlg.Do_CookiCutDlg(0); }, [&] {
    EXPECT_EQ(dlg.fit.fittedWidth, 500);
    EXPECT_EQ(dlg.fit.fittedHeight, 500);
    CookiCutPar record;
    dlg.GetCookiCutPar(&record);
    const std::vector<uint8_t> render = FinalRender(81, &record);
    EXPECT_GT(Changed(render), 100);
    EXPECT_EQ(Differences(dlg.previewBox(), render), 0);
  });
}

TEST_F(GeneratorPreviewTest, SpirographAtOneToOneIsTheFinalRender) {
  VMKspiromakerUI dlg;
  ShapePar r;
  Init_ShapePar(&r, 500, 500, 1);
  r.softness = 3;
  dlg.SetShapePar(&r);
  Open("SpiroMaker", FourCC("Spir"), [&] { return dlg.Do_SpiroMakerDlg(0); }, [&] {
    ShapePar record;
    dlg.GetShapePar(&record);
    const std::vector<uint8_t> render = FinalRender(110, &record);
    EXPECT_GT(Changed(render), 100);
    EXPECT_EQ(Differences(dlg.previewBox(), render), 0);
  });
}

TEST_F(GeneratorPreviewTest, StarWithJitterAtOneToOneIsTheFinalRender) {
  VMKstarmakerUI dlg;
  ShapePar r;
  Init_ShapePar(&r, 500, 500, 0);
  r.shape.w[kObjStarPoints] = 8;
  r.shape.w[kObjTipPerPoint] = 1;
  plat::SeedRandom(5);
  FillJitter(&r.shape, false, 30);
  dlg.SetShapePar(&r);
  Open("StarMaker", FourCC("Star"), [&] { return dlg.Do_StarMakerDlg(0); }, [&] {
    ShapePar record;
    dlg.GetShapePar(&record);
    const std::vector<uint8_t> render = FinalRender(109, &record);
    EXPECT_GT(Changed(render), 100);
    EXPECT_EQ(Differences(dlg.previewBox(), render), 0);
  });
}

// The texture replaces the picture at full opacity: its preview is the
// render of an operation in the normal mode at full opacity.
TEST_F(GeneratorPreviewTest, TextureAtTheViewsSizeIsTheFinalRender) {
  VMKtexturgenUI dlg;
  TextuPar r;
  Init_TextuPar(&r);
  r.turbulence = 50.0f;
  dlg.SetTextuPar(&r);
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        TextuPar record;
        dlg.GetTextuPar(&record);
        const std::vector<uint8_t> render = FinalRender(77, &record);
        const size_t n = 500u * 500u;
        int differ = 0;
        for (int k = 0; k < 3; ++k)
          for (size_t i = 0; i < n; ++i) differ += dlg.previewPlane(k)[i] != render[k * n + i];
        EXPECT_EQ(differ, 0);
      })
      .Press(FourCC("Tgen"), kCancel);
  EXPECT_EQ(dlg.Do_TexturGenDlg(), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
