#include "dialogs/correction/correction_rows.h"

#include <memory>
#include <new>

#include "dialogs/correction/channel_mixer_dialog.h"
#include "dialogs/correction/content_aware_dialog.h"
#include "dialogs/correction/focus_dialog.h"
#include "dialogs/correction/grid_warp_dialog.h"
#include "dialogs/correction/lens_correction_dialog.h"
#include "dialogs/correction/noise_dialog.h"
#include "dialogs/correction/smoothing_dialog.h"
#include "dialogs/frame/effect_registry.h"
#include "dialogs/frame/ok_render.h"

namespace {

// The four colour-correction dialogs share one record: it is fetched, told
// which effect it is for, edited on a scratch copy and stored back on OK.
template <class Dialog>
int16_t RunColCorDialog(EffectCall& c, int16_t (Dialog::*run)(), bool maskOutside) {
  ScratchRecord<ColCorPar> record;
  if (!record) return 0;
  std::unique_ptr<Dialog> dialog(new (std::nothrow) Dialog());
  if (dialog == nullptr || dialog->editRecord() == nullptr) return 0;
  // Noise reduction and smoothing work outside the mask of channel 6; the
  // operation keeps that mask even when the dialog is cancelled.
  if (maskOutside) {
    c.script->SetIntExt(c.stack, c.layer, c.operation, 2);
    c.script->SetMChannel(c.stack, c.layer, c.operation, 6);
  }
  c.script->GetColCorPar(c.stack, c.layer, c.operation, record.get());
  record->w[kCCKind] = c.code;
  dialog->SetColCorPar(record.get());
  // A record that cannot be stored leaves nothing to render.
  const auto store = [&] {
    dialog->GetColCorPar(record.get());
    c.SetEffect();
    return c.script->SetColCorPar(c.stack, c.layer, c.operation, record.get()) == 0;
  };
  dialog->RenderOnOk(TakeOkRender(store));
  const int16_t result = ((*dialog).*run)();
  if (result != 1) return 0;
  return store() ? 1 : 0;
}

int16_t RunNoise(EffectCall& c) { return RunColCorDialog<VMKdnoiUI>(c, &VMKdnoiUI::Do_DNoiDlg, true); }
int16_t RunSmoothing(EffectCall& c) { return RunColCorDialog<VMKglimUI>(c, &VMKglimUI::Do_GlimDlg, true); }
int16_t RunFocus(EffectCall& c) { return RunColCorDialog<VMKkevrUI>(c, &VMKkevrUI::Do_KevrDlg, false); }
// The channel mixer has no button of the main window; the operation-list
// editor reaches it.
int16_t RunChannelMixer(EffectCall& c) { return RunColCorDialog<VMKcmixUI>(c, &VMKcmixUI::Do_CMixDlg, false); }

// The lens correction edits the operation's own record on a scratch copy.
int16_t RunLens(EffectCall& c) {
  ScratchRecord<ZondracPar> record;
  if (!record) return 0;
  std::unique_ptr<VMKzondracUI> dialog(new (std::nothrow) VMKzondracUI());
  if (dialog == nullptr || dialog->editRecord() == nullptr) return 0;
  c.script->GetZondracPar(c.stack, c.layer, c.operation, record.get());
  dialog->SetZondracPar(record.get());
  const auto store = [&] {
    dialog->GetZondracPar(record.get());
    c.SetEffect();
    return c.script->SetZondracPar(c.stack, c.layer, c.operation, record.get()) == 0;
  };
  dialog->RenderOnOk(TakeOkRender(store));
  if (dialog->Do_ZondracDlg() != 1) return 0;
  return store() ? 1 : 0;
}

// The content-aware resize edits the operation's record, masks included, in
// a holder of its own, freed whatever the dialog answers.
int16_t RunContentAware(EffectCall& c) {
  Yoxel holder;
  if (holder.par == nullptr) return 0;
  std::unique_ptr<VMKyoxelUI> dialog(new (std::nothrow) VMKyoxelUI());
  if (dialog == nullptr || dialog->editRecord() == nullptr) return 0;
  c.script->GetYoxelPar(c.stack, c.layer, c.operation, holder.par);
  dialog->SetYoxelPar(holder.par);
  if (dialog->Do_YoxelDlg() != 1) return 0;
  dialog->GetYoxelPar(holder.par);
  c.SetEffect();
  return c.script->SetYoxelPar(c.stack, c.layer, c.operation, holder.par) == 0 ? 1 : 0;
}

// The grid warp edits the operation's grids on a scratch copy; its preview
// under flag 1 reads the render file of the earlier operations, and the
// flag also keeps the grids of the last accepted run out.
int16_t RunGrid(EffectCall& c) {
  ScratchRecord<GridPar> record;
  if (!record) return 0;
  std::unique_ptr<VMKgridUI> dialog(new (std::nothrow) VMKgridUI());
  if (dialog == nullptr || dialog->editRecord() == nullptr) return 0;
  c.script->GetGridPar(c.stack, c.layer, c.operation, record.get());
  dialog->SetGridPar(record.get());
  const auto store = [&] {
    dialog->GetGridPar(record.get());
    c.SetEffect();
    return c.script->SetGridPar(c.stack, c.layer, c.operation, record.get()) == 0;
  };
  dialog->RenderOnOk(TakeOkRender(store));
  if (dialog->Do_GridDlg(c.flag) != 1) return 0;
  return store() ? 1 : 0;
}

}  // namespace

void RegisterCorrectionRows(EffectRegistry& registry) {
  registry.Add({{103}, false, RunNoise});
  registry.Add({{104}, false, RunSmoothing});
  registry.Add({{105}, false, RunFocus});
  registry.Add({{119}, true, RunChannelMixer});
  // Under flag 1 its preview reads the render file of the earlier operations.
  registry.Add({{113}, true, RunLens});
  registry.Add({{101}, true, RunContentAware});
  registry.Add({{102}, true, RunGrid});
}
