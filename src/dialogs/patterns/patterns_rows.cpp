#include "dialogs/patterns/patterns_rows.h"

#include <memory>
#include <new>
#include <vector>

#include "dialogs/editor/tune_effect.h"
#include "dialogs/frame/effect_registry.h"
#include "dialogs/frame/ok_render.h"
#include "dialogs/patterns/colour_matrix_dialog.h"
#include "dialogs/patterns/cookie_dialog.h"
#include "dialogs/patterns/plaid_dialog.h"
#include "dialogs/patterns/ramp_editor_session.h"
#include "dialogs/patterns/shape_dialogs.h"
#include "dialogs/patterns/texture_dialog.h"
#include "dialogs/patterns/weave_dialog.h"
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

// The owner's protocol of a dialog that edits one record of the operation:
// the record is fetched into a scratch copy, handed in, the dialog run, and
// on 1 taken back and stored with the effect code. The scratch copy and the
// dialog go whatever the answer.
template <class R, class Dialog>
struct RecordRow {
  void (ScriptFile::*get)(int16_t, int16_t, int16_t, R*);
  int16_t (ScriptFile::*set)(int16_t, int16_t, int16_t, const R*);
  void (Dialog::*in)(const R*);
  void (Dialog::*out)(R*) const;
};

template <class R, class Dialog, class Run, class Adjust>
int16_t RunRecordDialog(EffectCall& c, const RecordRow<R, Dialog>& row, Run run, Adjust adjust) {
  ScratchRecord<R> record;
  if (!record) return 0;
  std::unique_ptr<Dialog> dialog(new (std::nothrow) Dialog());
  if (dialog == nullptr) return 0;
  (c.script->*row.get)(c.stack, c.layer, c.operation, record.get());
  adjust(record.get());
  ((*dialog).*row.in)(record.get());
  if (run(*dialog) != 1) return 0;
  ((*dialog).*row.out)(record.get());
  c.SetEffect();
  // A record that cannot be stored leaves nothing to render.
  return (c.script->*row.set)(c.stack, c.layer, c.operation, record.get()) == 0 ? 1 : 0;
}

template <class R>
void AsStored(R*) {}

// The texture is drawn from its record alone: it needs no render file.
int16_t RunTexture(EffectCall& c) {
  constexpr RecordRow<TextuPar, VMKtexturgenUI> row{&ScriptFile::GetTextuPar, &ScriptFile::SetTextuPar,
                                                     &VMKtexturgenUI::SetTextuPar, &VMKtexturgenUI::GetTextuPar};
  return RunRecordDialog(c, row, [](VMKtexturgenUI& d) { return d.Do_TexturGenDlg(); }, AsStored<TextuPar>);
}

int16_t RunCookieCutter(EffectCall& c) {
  constexpr RecordRow<CookiCutPar, VMKcookicutUI> row{&ScriptFile::GetCookiCutPar, &ScriptFile::SetCookiCutPar,
                                                       &VMKcookicutUI::SetCookiCutPar,
                                                       &VMKcookicutUI::GetCookiCutPar};
  return RunRecordDialog(c, row, [&](VMKcookicutUI& d) { return d.Do_CookiCutDlg(c.flag); }, AsStored<CookiCutPar>);
}

// The star and the spirograph share one record, whose defaults are the
// star's: an operation that is not yet this effect's gets the effect's own
// shape, so that the spirograph opens on a spirograph. A shape stored with
// the effect is handed in as it is.
template <class Dialog>
int16_t RunShapeMaker(EffectCall& c, int32_t kind, int16_t (Dialog::*run)(int16_t)) {
  constexpr RecordRow<ShapePar, Dialog> row{&ScriptFile::GetShapePar, &ScriptFile::SetShapePar,
                                            &Dialog::SetShapePar, &Dialog::GetShapePar};
  int16_t code = 0;
  c.script->GetEffect(c.stack, c.layer, c.operation, &code);
  const bool stored = code == c.code;
  return RunRecordDialog(
      c, row, [&](Dialog& d) { return (d.*run)(c.flag); },
      [&](ShapePar* r) {
        if (!stored) r->kind = kind;
      });
}

int16_t RunStar(EffectCall& c) { return RunShapeMaker<VMKstarmakerUI>(c, 0, &VMKstarmakerUI::Do_StarMakerDlg); }
int16_t RunSpirograph(EffectCall& c) {
  return RunShapeMaker<VMKspiromakerUI>(c, 1, &VMKspiromakerUI::Do_SpiroMakerDlg);
}

// The weave effects: the weave editor on the first weave of the operation's
// plaid record, shown in the first colour of each of the record's two
// colour sets (the first set behind, as the engine draws a cell of 0, the
// second in the cells of 1). On 1 the pattern and both colours go back and
// the operation takes the code.
int16_t RunWeaveEditor(EffectCall& c) {
  ScratchRecord<PlaidPar> plaid;
  if (!plaid) return 0;
  std::unique_ptr<VMKcreaweavUI> dialog(new (std::nothrow) VMKcreaweavUI());
  if (dialog == nullptr) return 0;
  c.script->GetPlaidPar(c.stack, c.layer, c.operation, plaid.get());
  uint8_t(&first)[5][kPlaidColours] = plaid->paletteA;
  uint8_t(&second)[5][kPlaidColours] = plaid->paletteB;
  dialog->SetWeaveInfo(&plaid->weave1);
  dialog->SetCol(first[0][0], first[1][0], first[2][0], second[0][0], second[1][0], second[2][0]);
  if (dialog->Do_CreaWeavDlg() != 1) return 0;
  dialog->GetWeaveInfo(&plaid->weave1);
  dialog->GetCol(&first[0][0], &first[1][0], &first[2][0], &second[0][0], &second[1][0], &second[2][0]);
  c.SetEffect();
  return c.script->SetPlaidPar(c.stack, c.layer, c.operation, plaid.get()) == 0 ? 1 : 0;
}

// The plaid: its record and, as its opacity, the operation's first
// parameter; on OK both go back with the code.
int16_t RunPlaid(EffectCall& c) {
  ScratchRecord<PlaidPar> plaid;
  if (!plaid) return 0;
  std::unique_ptr<VMKcreaplaidUI> dialog(new (std::nothrow) VMKcreaplaidUI());
  if (dialog == nullptr) return 0;
  int16_t opacity = 255;
  c.script->GetPlaidPar(c.stack, c.layer, c.operation, plaid.get());
  c.script->GetParam1(c.stack, c.layer, c.operation, &opacity);
  dialog->SetPlaidPar(opacity, plaid.get());
  const auto store = [&] {
    dialog->GetPlaidPar(&opacity, plaid.get());
    c.SetEffect();
    if (c.script->SetPlaidPar(c.stack, c.layer, c.operation, plaid.get()) != 0) return false;
    c.script->SetParam1(c.stack, c.layer, c.operation, opacity);
    return true;
  };
  dialog->RenderOnOk(TakeOkRender(store));
  if (dialog->Do_CreaPlaidDlg(c.flag) != 1) return 0;
  return store() ? 1 : 0;
}

}  // namespace

// Under flag 1 the previews of the colour matrix, the cookie cutter and the
// shape makers read the render file of the earlier operations.
void RegisterPatternsRows(EffectRegistry& registry) {
  registry.Add({{23, 29, 33, 79, 90, 98, 99}, false, RunRampEditor});
  registry.Add({{22}, true, RunColourMatrix});
  registry.Add({{77}, false, RunTexture});
  registry.Add({{81}, true, RunCookieCutter});
  registry.Add({{109}, true, RunStar});
  registry.Add({{110}, true, RunSpirograph});
  registry.Add({{40, 43}, false, RunWeaveEditor});
  registry.Add({{42}, true, RunPlaid});
}
