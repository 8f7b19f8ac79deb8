// What the four colour-correction dialogs (noise reduction, smoothing,
// focus, channel mixing) share beyond the effect-dialog shape: the one
// record ColCorPar they all edit, its preset files and its hand-over.
#pragma once

#include <cstdint>

#include "dialogs/correction/effect_dialog.h"
#include "engines/correction/colour_correction.h"

extern const EffectRecordOps kColCorRecordOps;

class ColCorDialog : public EffectDialog {
 public:
  ColCorDialog(const EffectDialogDesc& desc, int16_t* restor) : EffectDialog(desc, restor) {}

  // The owner's hand-over: in before running, out after OK.
  void GetColCorPar(ColCorPar* out);
  void SetColCorPar(ColCorPar* in);
  void BackRestColCor(int16_t n) { BackRest(n); }
  void LoadColCorMenus() { LoadPresetMenus(); }
  ColCorPar* editRecord() const { return static_cast<ColCorPar*>(edit); }
  ColCorPar* backupRecord() const { return static_cast<ColCorPar*>(backup); }
};
