// The dispatches hand some numbers no mask where the mask would be 255 everywhere: for each
// such number, a render without a mask channel must give the bytes of a render through a mask
// plane of 255 (or the complement of a plane of 0), on the composite and on a single plane, at
// several blend modes and opacities, at one thread and at many.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/parallel/parallel.h"
#include "script/effect_table.h"
#include "script/record_kinds.h"
#include "script/render_cases.h"
#include "script/script_file.h"
#include "support/session.h"

namespace {

using Plane = std::vector<uint8_t>;

class DispatchMask : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SetFicFromPosix(&app_.data().makersFolder, dir_.path().string()));
    RegisterScriptRenderCases();
  }

  struct Setting {
    int16_t mode, opa, from, to;
  };

  // Planes 2..5 and 40 after one operation of `effect`, its mask from channel 89 (the
  // caller's plane `extra89`) taken as is (intExt 1) or inverted (2), or none (channel 0).
  std::vector<Plane> RenderOnce(int16_t effect, const Setting& g, int16_t maskChannel,
                                int16_t intExt, uint8_t maskValue, int16_t model = 3) {
    constexpr int32_t w = 67, h = 41;
    const size_t n = static_cast<size_t>(w) * h;
    ScriptFile s;
    EXPECT_EQ(s.I_ScriptFile(model, w, h, 72.0f, w, h, 0, 0, w - 1, h - 1), 0);
    std::vector<uint8_t> pixels(4 * n);
    for (size_t i = 0; i < 4 * n; ++i) pixels[i] = static_cast<uint8_t>((i * 2654435761u) >> 23);
    const Plane extra89(n, maskValue);
    s.SetEffect(0, 1, 1, effect, 0, 0, 0, 0);
    s.SetAct(0, 1, 1, 1);
    s.SetFromChannel(0, 1, 1, g.from);
    s.SetToChannel(0, 1, 1, g.to);
    s.SetMode(0, 1, 1, g.mode);
    s.SetOpa(0, 1, 1, g.opa);
    s.SetMChannel(0, 1, 1, maskChannel);
    s.SetIntExt(0, 1, 1, intExt);
    // The colour range reads its colours from the colour-correction record, whose kind the
    // engines register, not this program: without it the step fails, the same with or
    // without a mask.
    const bool kindless = effect == 86 && FindRecordKind(23) == nullptr;
    const int32_t rendered = s.Render(0, 0, 0, pixels.data(), nullptr, extra89.data(), 0, 0);
    if (!kindless) {
      EXPECT_EQ(rendered, 0) << "effect " << effect;
    }
    std::vector<Plane> out;
    for (int32_t c : {2, 3, 4, 5, 40}) {
      const uint8_t* p = s.ChannelPlane(c, 0);
      out.push_back(p != nullptr ? Plane(p, p + n) : Plane());
    }
    return out;
  }

  vmktest::TempDir dir_;
  vmktest::ScopedAppData app_;
};

TEST_F(DispatchMask, NoMaskGivesTheBytesOfAFullMaskForEveryListedNumber) {
  const Setting settings[] = {{0, 255, 2, 2}, {0, 140, 2, 2}, {3, 200, 2, 2},
                              {0, 255, 3, 40}, {5, 90, 2, 40}};
  int32_t listed = 0;
  for (EffectCode e = 1; e <= 122; ++e) {
    if (!FullMaskPassedAsNull(e)) continue;
    ++listed;
    // The comparison means something only where the number changes the picture.
    bool changes = false;
    for (const Setting& g : settings)
      changes = changes || RenderOnce(e, g, 0, 1, 0) != RenderOnce(1, g, 0, 1, 0);
    EXPECT_TRUE(changes) << "effect " << e;
    for (const Setting& g : settings) {
      for (int16_t model : {3, 4}) {
        for (int threads : {1, 8}) {
          plat::SetThreadCount(threads);
          const std::string where = "effect " + std::to_string(e) + " mode " +
                                    std::to_string(g.mode) + " opacity " + std::to_string(g.opa) +
                                    " into " + std::to_string(g.to) + " model " +
                                    std::to_string(model) + " threads " + std::to_string(threads);
          const std::vector<Plane> none = RenderOnce(e, g, 0, 1, 0, model);
          EXPECT_EQ(none, RenderOnce(e, g, 89, 1, 255, model)) << where;
          EXPECT_EQ(none, RenderOnce(e, g, 89, 2, 0, model)) << where;
        }
      }
    }
  }
  plat::SetThreadCount(0);
  EXPECT_EQ(listed, 22);
}

TEST_F(DispatchMask, EmbossAndBlurKeepTheirFullMaskPlane) {
  // Their matrix filter stores its result unblended when it has no mask, so a null mask is not
  // full weight for them: the frame hands them the plane, and a render without a mask channel
  // still blends at the operation's mode and opacity, as one through a mask of 255 does.
  const Setting settings[] = {{0, 255, 2, 2}, {3, 200, 2, 2}, {5, 90, 2, 2}, {5, 90, 2, 40}};
  for (EffectCode e : {11, 12}) {
    EXPECT_FALSE(FullMaskPassedAsNull(e)) << e;
    for (const Setting& g : settings) {
      const std::string where = "effect " + std::to_string(e) + " mode " + std::to_string(g.mode);
      const std::vector<Plane> none = RenderOnce(e, g, 0, 1, 0);
      EXPECT_EQ(none, RenderOnce(e, g, 89, 1, 255)) << where;
      EXPECT_EQ(none, RenderOnce(e, g, 89, 2, 0)) << where;
    }
    EXPECT_NE(RenderOnce(e, {5, 90, 2, 2}, 0, 1, 0), RenderOnce(e, {0, 255, 2, 2}, 0, 1, 0)) << e;
  }
}

TEST_F(DispatchMask, TheReliefAndTheBlurReplacingWithoutAMaskGiveTheBytesOfAFullMask) {
  // At mode 0 and opacity 255 the frame hands the relief and the blur no mask; the relief's
  // filter then stores the relief as the mask of 255 weighs it, and the blur's box passes and
  // blend back take the 255 as full weight. Any other blend keeps the plane (the test above).
  ASSERT_TRUE(FullMaskPassedAsNullWhenReplacing(12));
  ASSERT_TRUE(FullMaskPassedAsNullWhenReplacing(11));
  const Setting settings[] = {{0, 255, 2, 2}, {0, 255, 3, 40}, {0, 255, 4, 3}};
  for (EffectCode e : {11, 12}) {
    for (const Setting& g : settings) {
      for (int16_t model : {3, 4}) {
        for (int threads : {1, 8}) {
          plat::SetThreadCount(threads);
          const std::string where = "effect " + std::to_string(e) + " into " +
                                    std::to_string(g.to) + " model " + std::to_string(model) +
                                    " threads " + std::to_string(threads);
          const std::vector<Plane> none = RenderOnce(e, g, 0, 1, 0, model);
          EXPECT_NE(none, RenderOnce(1, g, 0, 1, 0, model)) << where;
          EXPECT_EQ(none, RenderOnce(e, g, 89, 1, 255, model)) << where;
          EXPECT_EQ(none, RenderOnce(e, g, 89, 2, 0, model)) << where;
        }
      }
    }
  }
  plat::SetThreadCount(0);
}

TEST_F(DispatchMask, AMaskThatNarrowsIsStillPassed) {
  // Invert at half a mask: the listed number gets the plane, not the full weight.
  const Setting g{0, 255, 2, 2};
  ASSERT_TRUE(FullMaskPassedAsNull(9));
  const std::vector<Plane> none = RenderOnce(9, g, 0, 1, 0);
  const std::vector<Plane> half = RenderOnce(9, g, 89, 1, 128);
  EXPECT_NE(none[1], half[1]);
  EXPECT_EQ(half[1][0], RenderOnce(9, g, 89, 2, 127)[1][0]);
}

}  // namespace
