// Cut and foreign files of the shape, backdrop, super-gradient and cast-shadow presets: each
// is refused and the caller's record stays exactly as it was.
#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "engines/patterns/backdrop_compo_records.h"
#include "engines/patterns/cast_shadow_record.h"
#include "engines/patterns/lens_flare_gradient_records.h"
#include "engines/patterns/shape_record.h"
#include "record_file_helpers.h"

namespace {

class PatternFileDamage : public vmktest::PresetFileTest {
 protected:
  // Saves `stored` as `name`, then offers `keep` the file cut by `cut` bytes from its end and
  // a file of another type's length; both must fail and leave `keep` alone.
  template <class R, class DoFile>
  void ExpectRefused(DoFile doFile, R* stored, R* keep, const std::string& name, OSType type,
                     size_t storedSize, size_t cut) {
    const auto bytes = vmktest::SaveByDialog(ui_, doFile, stored, dir_.file(name), type);
    ASSERT_EQ(bytes.size(), storedSize) << name;
    const auto before = std::make_unique<R>(*keep);

    const std::string shortFile = dir_.file(name + "-cut");
    vmktest::WriteBytes(shortFile, std::vector<uint8_t>(bytes.begin(), bytes.end() - cut));
    EXPECT_EQ(doFile(int16_t{2}, vmktest::SpecForPath(shortFile), keep), -1) << name;
    EXPECT_EQ(0, std::memcmp(keep, before.get(), sizeof(R))) << name;

    const std::string tiny = dir_.file(name + "-tiny");
    vmktest::WriteBytes(tiny, std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4));
    EXPECT_EQ(doFile(int16_t{2}, vmktest::SpecForPath(tiny), keep), -1) << name;
    EXPECT_EQ(0, std::memcmp(keep, before.get(), sizeof(R))) << name;

    vmktest::WriteBytes(tiny, {});
    EXPECT_EQ(doFile(int16_t{2}, vmktest::SpecForPath(tiny), keep), -1) << name;
    EXPECT_EQ(0, std::memcmp(keep, before.get(), sizeof(R))) << name;
  }

  plat::ui::ScriptedUi ui_;
  plat::ui::ScopedServices scoped_{&ui_};
};

TEST_F(PatternFileDamage, CutFilesLeaveEveryRecordAsItWas) {
  gPer->previewWidth = 640;
  gPer->previewHeight = 480;

  auto shape = std::make_unique<ShapePar>();
  auto shapeKeep = std::make_unique<ShapePar>();
  Init_ShapePar(shape.get(), 100, 60, 1);
  Init_ShapePar(shapeKeep.get(), 30, 20, 2);
  shape->lightnessShift = -12;
  ExpectRefused(Do_AShapePar_file, shape.get(), shapeKeep.get(), "shape", FourCC("hShp"), 10252u,
                1);

  auto drop = std::make_unique<BDropPar>();
  auto dropKeep = std::make_unique<BDropPar>();
  Init_BDropPar(drop.get(), 1);
  Init_BDropPar(dropKeep.get(), 0);
  dropKeep->entries[127].w[16] = 4321;
  ExpectRefused(Do_ABDrop_file, drop.get(), dropKeep.get(), "drop", FourCC("hCbd"), 843322u, 6000);

  SupVigPar gradient, gradientKeep;
  Init_SupVigPar(&gradient);
  Init_SupVigPar(&gradientKeep);
  gradient.w[3] = 77;
  gradientKeep.w[3] = 5;
  ExpectRefused(Do_ASupVigPar_file, &gradient, &gradientKeep, "gradient", FourCC("hSvr"), 1828u,
                2);

  ShadoPar shadow, shadowKeep;
  Init_ShadoPar(&shadow, 0);
  Init_ShadoPar(&shadowKeep, 0);
  shadow.w[kShaCornerX + 1] = 333;
  shadowKeep.w[kShaCornerX + 1] = -9;
  ExpectRefused(Do_AShadoPar_file, &shadow, &shadowKeep, "shadow", FourCC("hShs"), 5996u, 1);
}

}  // namespace
