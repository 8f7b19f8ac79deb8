// A sub-dialog whose owner follows its changes live (the colour-ramp editor):
// the owner's loop timer keeps firing inside the sub-dialog's modal loop and
// asks at each tick whether something changed since it last looked.
//
// It lives in the frame's floor so that any owner, the operation-list
// editor included, can poll the ramp editor without including its family.
#pragma once

#include <cstdint>

struct LutVign;

struct LivePreviewSource {
  virtual ~LivePreviewSource() = default;
  // 0 when the owner asked for no live preview; else the pending flag,
  // which `value` replaces (owners pass 0).
  virtual int16_t CheckSetPreview(int16_t value) = 0;
  // The ramp as the owner gets it: the sub-dialog's adjustments applied.
  virtual void GetLutVign(LutVign* out) = 0;
};
