#include "dialogs/patterns/ramp_editor_session.h"

#include <memory>
#include <new>

#include "dialogs/patterns/ramp_editor.h"

int16_t RampEditorSession::Run() {
  if (ramp_ == nullptr) return 0;
  std::unique_ptr<VMKadjvignUI> editor(new (std::nothrow) VMKadjvignUI());
  if (editor == nullptr) return 0;
  editor->SetLutVign(ramp_);
  if (livePreview_ != nullptr) editor->SetAdjVignFlagPreview(*livePreview_);
  LutVign kept;
  Copy_LutVign(ramp_, &kept);
  if (open_ != nullptr) *open_ = editor.get();
  const int16_t result = editor->Do_AdjVignUIDlg();
  if (open_ != nullptr) *open_ = nullptr;
  if (result == 1) editor->GetLutVign(ramp_);
  else Copy_LutVign(&kept, ramp_);
  if (livePreview_ != nullptr) editor->GetAdjVignFlagPreview(livePreview_);
  return result;
}

int16_t RampEditorSession::RunFor(EffectFrame& owner, bool livePreview) {
  const FrameRecordOps* ops = owner.frameDesc().record;
  if (owner.edit == nullptr || ops == nullptr || ops->ramp == nullptr) return 0;
  owner.BackRest(1);
  RampEditorSession session(ops->ramp(owner.edit), livePreview ? &owner.rampPreview : nullptr,
                            livePreview ? &owner.rampEditor : nullptr);
  const int16_t result = session.Run();
  owner.refresh() = 1;
  return result;
}
