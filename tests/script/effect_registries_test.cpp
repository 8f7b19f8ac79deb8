#include "script/effect_registries.h"

#include <gtest/gtest.h>

namespace {

int32_t WriteNothing(const ScriptFile&, Oprn&, plat::bytes::Writer&) { return 0; }
int32_t ReadNothing(ScriptFile&, Oprn&, plat::bytes::Reader&, uint8_t) { return 0; }
int32_t ReadOther(ScriptFile&, Oprn&, plat::bytes::Reader&, uint8_t) { return -1; }
int32_t Case(RenderCall& call) { return call.planeCount; }
int32_t OtherCase(RenderCall&) { return 0; }

TEST(EffectRegistries, ScriptBlockCodecs) {
  const ScriptBlockCodec codec{WriteNothing, ReadNothing};
  EXPECT_EQ(RegisterScriptBlockCodec(113, codec), 0);
  EXPECT_EQ(RegisterScriptBlockCodec(113, codec), 0);
  EXPECT_EQ(RegisterScriptBlockCodec(113, {WriteNothing, ReadOther}), -1);
  EXPECT_EQ(FindScriptBlockCodec(113)->read, ReadNothing);
  EXPECT_EQ(RegisterScriptBlockCodec(2, codec), -1);    // no blocks of its own
  EXPECT_EQ(RegisterScriptBlockCodec(123, codec), -1);  // no such effect
  EXPECT_EQ(RegisterScriptBlockCodec(22, {WriteNothing, nullptr}), -1);

  const ScriptBlockCodec* found = nullptr;
  std::string error;
  EXPECT_EQ(ScriptBlockCodecFor(113, &found, &error), 0);
  EXPECT_EQ(found, FindScriptBlockCodec(113));
  EXPECT_EQ(ScriptBlockCodecFor(11, &found, &error), 0);
  EXPECT_EQ(found, nullptr);
  EXPECT_EQ(ScriptBlockCodecFor(101, &found, &error), -1);
  EXPECT_EQ(error, "unsupported effect 101");
  EXPECT_TRUE(EffectHasScriptBlock(62));
  EXPECT_FALSE(EffectHasScriptBlock(0));
}

// Engine numbers: their cases are registered from above the script, never by its own set-up,
// so this program's other tests cannot have taken them.
TEST(EffectRegistries, RenderCases) {
  EXPECT_EQ(RegisterRenderCase(113, Case), 0);
  EXPECT_EQ(RegisterRenderCase(113, Case), 0);
  EXPECT_EQ(RegisterRenderCase(113, OtherCase), -1);
  EXPECT_EQ(RegisterRenderCase(0, Case), -1);
  EXPECT_EQ(RegisterRenderCase(111, nullptr), -1);
  RenderCall call;
  call.planeCount = 3;
  ASSERT_NE(FindRenderCase(113), nullptr);
  EXPECT_EQ(FindRenderCase(113)(call), 3);
  EXPECT_EQ(FindRenderCase(111), nullptr);
  EXPECT_EQ(FindRenderCase(-4), nullptr);
}

}  // namespace
