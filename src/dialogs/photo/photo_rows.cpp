#include "dialogs/photo/photo_rows.h"

#include <memory>
#include <new>

#include "dialogs/frame/effect_registry.h"
#include "dialogs/frame/ok_render.h"
#include "dialogs/photo/border_dialog.h"
#include "dialogs/photo/combine_dialog.h"
#include "dialogs/photo/fractal_dialog.h"
#include "dialogs/photo/image_picker.h"
#include "dialogs/photo/tessellation_dialog.h"
#include "dialogs/photo/repeat_dialog.h"
#include "engines/patterns/lens_flare_gradient_records.h"

namespace {

// The image-file effects: the picker offers no current file, and on a
// choice the operation takes the file. The row answers 1 whatever the
// picker did (a cancelled pick leaves the operation as it was).
int16_t RunImageFile(EffectCall& c) {
  fichier file;
  Init_FicStruct(&file);
  if (c.code == 61) {
    // The frame effect's record is fetched first and not used.
    ScratchRecord<FramPar> frame;
    if (frame) c.script->GetFramPar(c.stack, c.layer, c.operation, frame.get());
  }
  std::unique_ptr<VMKloadima> picker(new (std::nothrow) VMKloadima());
  if (picker == nullptr) return 0;
  picker->SetSelecFich(&file);
  if (picker->Do_LoadImaDlg(0) == 1) {
    picker->GetSelecFich(&file);
    c.SetEffect();
    c.script->SetFileOprn(c.stack, c.layer, c.operation, &file);
  }
  return 1;
}

// Effect 92: the combination is edited on a scratch copy of the operation's
// record and stored back on OK.
int16_t RunCombination(EffectCall& c) {
  ScratchRecord<CombImaPar> record;
  if (!record) return 0;
  std::unique_ptr<VMKcimaUI> dialog(new (std::nothrow) VMKcimaUI());
  if (dialog == nullptr || dialog->record() == nullptr) return 0;
  c.script->GetCombImaPar(c.stack, c.layer, c.operation, record.get());
  dialog->SetCombImaPar(record.get());
  const auto store = [&] {
    dialog->GetCombImaPar(record.get());
    c.SetEffect();
    return c.script->SetCombImaPar(c.stack, c.layer, c.operation, record.get()) == 0;
  };
  dialog->RenderOnOk(TakeOkRender(store));
  if (dialog->Do_CImaDlg(c.flag) != 1) return 0;
  return store() ? 1 : 0;
}

// Effect 100: the fractal is edited on a scratch copy of the operation's
// record and stored back with the code on OK.
int16_t RunFractal(EffectCall& c) {
  ScratchRecord<FractPar> record;
  if (!record) return 0;
  std::unique_ptr<VMKorreluneUI> dialog(new (std::nothrow) VMKorreluneUI());
  if (dialog == nullptr || dialog->current() == nullptr) return 0;
  c.script->GetFractPar(c.stack, c.layer, c.operation, record.get());
  dialog->SetFractPar(record.get());
  const auto store = [&] {
    dialog->GetFractPar(record.get());
    c.SetEffect();
    return c.script->SetFractPar(c.stack, c.layer, c.operation, record.get()) == 0;
  };
  dialog->RenderOnOk(TakeOkRender(store));
  if (dialog->Do_OrreluneDlg(c.flag) != 1) return 0;
  return store() ? 1 : 0;
}

// Effect 58: the tessellation, the same way.
int16_t RunTessellation(EffectCall& c) {
  ScratchRecord<TessPar> record;
  if (!record) return 0;
  std::unique_ptr<VMKquorlinUI> dialog(new (std::nothrow) VMKquorlinUI());
  if (dialog == nullptr || dialog->current() == nullptr) return 0;
  c.script->GetTessPar(c.stack, c.layer, c.operation, record.get());
  dialog->SetTessPar(record.get());
  const auto store = [&] {
    dialog->GetTessPar(record.get());
    c.SetEffect();
    return c.script->SetTessPar(c.stack, c.layer, c.operation, record.get()) == 0;
  };
  dialog->RenderOnOk(TakeOkRender(store));
  if (dialog->Do_QuorlinDlg(c.flag) != 1) return 0;
  return store() ? 1 : 0;
}

// Effect 106: the photo border, the same way.
int16_t RunBorder(EffectCall& c) {
  ScratchRecord<BordPar> record;
  if (!record) return 0;
  std::unique_ptr<VMKmirrovanUI> dialog(new (std::nothrow) VMKmirrovanUI());
  if (dialog == nullptr || dialog->current() == nullptr) return 0;
  c.script->GetBordPar(c.stack, c.layer, c.operation, record.get());
  dialog->SetBordPar(record.get());
  const auto store = [&] {
    dialog->GetBordPar(record.get());
    c.SetEffect();
    return c.script->SetBordPar(c.stack, c.layer, c.operation, record.get()) == 0;
  };
  dialog->RenderOnOk(TakeOkRender(store));
  if (dialog->Do_MirrovanDlg(c.flag) != 1) return 0;
  return store() ? 1 : 0;
}

// Effect 41: the repeat is edited on a scratch copy of the operation's
// record and stored back with the code on OK.
int16_t RunRepeat(EffectCall& c) {
  ScratchRecord<RepPar> record;
  if (!record) return 0;
  std::unique_ptr<VMKcastelUI> dialog(new (std::nothrow) VMKcastelUI());
  if (dialog == nullptr || dialog->current() == nullptr) return 0;
  c.script->GetRepPar(c.stack, c.layer, c.operation, record.get());
  dialog->SetRepPar(record.get());
  const auto store = [&] {
    dialog->GetRepPar(record.get());
    c.SetEffect();
    return c.script->SetRepPar(c.stack, c.layer, c.operation, record.get()) == 0;
  };
  dialog->RenderOnOk(TakeOkRender(store));
  if (dialog->Do_CastelDlg(c.flag) != 1) return 0;
  return store() ? 1 : 0;
}

}  // namespace

void RegisterPhotoRows(EffectRegistry& registry) {
  registry.Add({{21, 24, 25, 38, 39, 52, 61, 75}, false, RunImageFile});
  registry.Add({{92}, true, RunCombination});
  registry.Add({{100}, true, RunFractal});
  registry.Add({{58}, true, RunTessellation});
  registry.Add({{106}, true, RunBorder});
  registry.Add({{41}, true, RunRepeat});
}
