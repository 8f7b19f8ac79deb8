// The content library's stored image combinations, read as the combine dialog
// reads them and rendered over a photo.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "engines/patterns/image_combination_engine.h"
#include "engines/patterns/image_combination_record.h"
#include "photo_fixture.h"
#include "support/session.h"

namespace {

class CombinePresets : public vmktest::PhotoDialogTest {
 protected:
  static constexpr int32_t kW = 900, kH = 600;

  std::unique_ptr<CombImaPar> Preset(const char* name) {
    auto r = std::make_unique<CombImaPar>();
    fichier f;
    EXPECT_TRUE(SetFicFromPosix(&f, (makers_ / "Presets/Combine images" / name).string()));
    EXPECT_EQ(Do_ACombIma_file(2, SpecOf(f), r.get()), 0) << name;
    return r;
  }

  // The combination over a photo of warm gradients: red, green and blue planes.
  std::vector<std::vector<uint8_t>> Render(const CombImaPar& record) {
    std::vector<std::vector<uint8_t>> p(3, std::vector<uint8_t>(static_cast<size_t>(kW) * kH));
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x) {
        const size_t i = static_cast<size_t>(y) * kW + x;
        p[0][i] = static_cast<uint8_t>(120 + x * 120 / kW);
        p[1][i] = static_cast<uint8_t>(60 + y * 100 / kH);
        p[2][i] = 40;
      }
    MiscCombIma engine;
    engine.SetCombImaPar(&record);
    EXPECT_EQ(engine.FillBuf(3, 0, 255, 0, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.0f, 1.0f,
                             p[0].data(), p[1].data(), p[2].data(), nullptr, nullptr),
              0);
    return p;
  }
};

// "Edged vignette": the pictures come through their black-to-white ramps as
// greys and the edge is drawn in grey, so nothing of the result is coloured;
// the edge colouring finds its edges in each channel of the picture it is
// set on, and set on the colour sunset it drew the sky's channels' own
// contour lines, magenta and yellow, across the grey picture.
TEST_F(CombinePresets, TheEdgedVignetteIsGreyWithItsEdgeDrawn) {
  ASSERT_TRUE(vmktest::MakeContentLibrary(makers_.string()));
  const std::unique_ptr<CombImaPar> preset = Preset("Edged vignette.hcim");
  const std::vector<std::vector<uint8_t>> shown = Render(*preset);
  int64_t coloured = 0;
  for (size_t i = 0; i < shown[0].size(); ++i)
    coloured += shown[0][i] != shown[1][i] || shown[1][i] != shown[2][i];
  EXPECT_EQ(coloured, 0);
  // The edge is there: without it the picture differs.
  auto plain = std::make_unique<CombImaPar>(*preset);
  for (int32_t i = 0; i < plain->head.count; ++i) plain->infos[i].edge = 0;
  EXPECT_NE(Render(*plain)[0], shown[0]);
}

}  // namespace
