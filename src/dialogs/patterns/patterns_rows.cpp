#include "dialogs/patterns/patterns_rows.h"

#include <memory>
#include <new>
#include <vector>

#include "dialogs/editor/tune_effect.h"
#include "dialogs/frame/effect_registry.h"
#include "dialogs/patterns/colour_matrix_dialog.h"
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

// Effect 22 keeps its cells and four parameters in the operation itself,
// not in a record: the dialog is handed them and gives them back on OK (the
// fifth value is neither handed in nor stored). The second argument of the
// run says whether the operation writes to channel 2.
int16_t RunColourMatrix(EffectCall& c) {
  std::vector<int32_t> cells(kColMatCells, 0);
  int16_t p[5] = {0, 0, 0, 0, 0};
  int16_t toChannel = 0;
  c.script->GetColMat(c.stack, c.layer, c.operation, cells.data());
  c.script->GetParam1(c.stack, c.layer, c.operation, &p[0]);
  c.script->GetParam2(c.stack, c.layer, c.operation, &p[1]);
  c.script->GetParam3(c.stack, c.layer, c.operation, &p[2]);
  c.script->GetParam4(c.stack, c.layer, c.operation, &p[3]);
  c.script->GetToChannel(c.stack, c.layer, c.operation, &toChannel);
  std::unique_ptr<VMKcolormatrixUI> dialog(new (std::nothrow) VMKcolormatrixUI());
  if (dialog == nullptr || dialog->record() == nullptr) return 0;
  dialog->SetColMatVal(cells.data(), p[0], p[1], p[2], p[3], 0);
  if (dialog->Do_ColorMatrixDlg(c.flag, toChannel == 2 ? 3 : 1) != 1) return 0;
  dialog->GetColMatVal(cells.data(), &p[0], &p[1], &p[2], &p[3], &p[4]);
  c.SetEffect();
  if (c.script->SetColMat(c.stack, c.layer, c.operation, cells.data()) != 0) return 0;
  c.script->SetParam1(c.stack, c.layer, c.operation, p[0]);
  c.script->SetParam2(c.stack, c.layer, c.operation, p[1]);
  c.script->SetParam3(c.stack, c.layer, c.operation, p[2]);
  c.script->SetParam4(c.stack, c.layer, c.operation, p[3]);
  return 1;
}

}  // namespace

void RegisterPatternsRows(EffectRegistry& registry) {
  registry.Add({{23, 29, 33, 79, 90, 98, 99}, false, RunRampEditor});
  // Under flag 1 its preview reads the render file of the earlier operations.
  registry.Add({{22}, true, RunColourMatrix});
}
