#include "dialogs/editor/editor_rows.h"

#include "app/file_dialogs.h"
#include "dialogs/editor/tune_effect.h"
#include "dialogs/frame/effect_registry.h"
#include "dialogs/frame/ok_render.h"
#include "engines/patterns/backdrop_compo_records.h"

namespace {

// Offers the files of the given types and stores the one picked as the
// operation's file; nothing is written when the picker is cancelled.
int16_t RunFilePicker(EffectCall& c, OSType type, const OSType* types, int16_t count, const char* prompt) {
  ScratchRecord<fichier> file;
  if (!file) return 0;
  Init_FicStruct(file.get());
  file->creator = FourCC("vMkC");
  file->type = type;
  Str255 text = {0};
  SetPStr(text, prompt);
  if (VMK_GetFile(file.get(), types, text, count) != 1) return 0;
  c.SetEffect();
  return c.script->SetFileOprn(c.stack, c.layer, c.operation, file.get()) == 0 ? 1 : 0;
}

int16_t RunLoadPath(EffectCall& c) {
  static constexpr OSType kTypes[] = {FourCC("pAth"), FourCC("TEXT")};
  return RunFilePicker(c, FourCC("pAth"), kTypes, 2, "Load a New Path...");
}

int16_t RunLoadEffectList(EffectCall& c) {
  static constexpr OSType kTypes[] = {FourCC("aCH6")};
  return RunFilePicker(c, FourCC("aCH6"), kTypes, 1, "Load an Effect List...");
}

// The composition has no dialog: the operation only gets its code and a
// record, and the launcher is told nothing was confirmed.
int16_t RunComposition(EffectCall& c) {
  ScratchRecord<CompoPar> record;
  if (!record) return 0;
  c.script->GetCompoPar(c.stack, c.layer, c.operation, record.get());
  c.SetEffect();
  c.script->SetCompoPar(c.stack, c.layer, c.operation, record.get());
  return 0;
}

// The image-tools window is the dispatching editor itself, shown on the
// document's layer: it edits the script in place, so there is nothing to
// write back (nor to store before OK's render).
int16_t RunImageTools(EffectCall& c) {
  if (c.editor == nullptr) return 0;
  c.editor->SetChanFlag(1);
  c.editor->RenderOnOk(TakeOkRender());
  return c.editor->Do_TuneEffDlg(118);
}

}  // namespace

void RegisterEditorRows(EffectRegistry& registry) {
  registry.Add({{26}, false, RunLoadPath});
  registry.Add({{46}, false, RunLoadEffectList});
  registry.Add({{111}, true, RunComposition});
  registry.Add({{118}, true, RunImageTools});
}
