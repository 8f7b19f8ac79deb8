#include "dialogs/patterns/patterns_rows.h"

#include "dialogs/editor/tune_effect.h"
#include "dialogs/frame/effect_registry.h"
#include "dialogs/patterns/ramp_editor_session.h"
#include "script/script_file.h"

namespace {

// The ramp effects: the operation's ramp (or, when it has none, the code's
// preset ramp) edited on a copy, live in the editor's preview while the
// ramp editor is open. Whatever the answer, the operation ends with this
// code and a ramp: the edited one, or the copy as it was.
int16_t RunRampEditor(EffectCall& c) {
  ScratchRecord<LutVign> ramp;
  if (!ramp) return 0;
  const int16_t preset = c.code == 33 ? 2 : c.code == 90 ? 4 : 0;
  c.script->GetLutVign(preset, c.stack, c.layer, c.operation, ramp.get());
  int16_t* flag = c.editor != nullptr ? &c.editor->rampPreviewFlag : nullptr;
  LivePreviewSource** open = c.editor != nullptr ? &c.editor->rampEditor : nullptr;
  RampEditorSession(ramp.get(), flag, open).Run();
  c.SetEffect();
  c.script->SetLutVign(c.stack, c.layer, c.operation, ramp.get());
  return 1;
}

}  // namespace

void RegisterPatternsRows(EffectRegistry& registry) { registry.Add({{23, 29, 33, 79, 90, 98, 99}, false, RunRampEditor}); }
