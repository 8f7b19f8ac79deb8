// The frame the engine-row tests run in: every family's rows registered and a three-plane
// script of W x H, in a session whose maker's folder is a fresh temporary folder (the
// render keeps its swap files there).
#pragma once

#include <cstdint>

#include <gtest/gtest.h>

#include "engines/families/effect_families.h"
#include "script/script_file.h"
#include "support/session.h"

namespace vmktest {

template <int32_t W, int32_t H>
class EngineRowTest : public SessionTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SetFicFromPosix(&app_.data().makersFolder, dir_.path().string()));
    RegisterEffectFamilies();
    ASSERT_EQ(s_.I_ScriptFile(3, W, H, 72.0f, W, H, 0, 0, W - 1, H - 1), 0);
  }
  // The script's first operation, made an active `effect` on channel 9 alone.
  Oprn* OnePlaneOperation(EffectCode effect) {
    s_.SetEffect(0, 1, 1, effect, 0, 0, 0, 0);
    s_.SetAct(0, 1, 1, 1);
    s_.SetToChannel(0, 1, 1, 9);
    return s_.GetOprn(0, 1, 1);
  }
  TempDir dir_;
  ScopedAppData app_;
  ScriptFile s_;
};

}  // namespace vmktest
