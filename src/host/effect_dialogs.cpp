#include "host/effect_dialogs.h"

#include "dialogs/correction/correction_rows.h"
#include "dialogs/editor/editor_rows.h"
#include "dialogs/frame/effect_registry.h"
#include "dialogs/patterns/patterns_rows.h"
#include "dialogs/photo/photo_rows.h"

// Each folder is named here: a static library drops rows that would only
// register themselves.
void RegisterEffectDialogs() {
  EffectRegistry& registry = EffectDialogRegistry();
  RegisterEditorRows(registry);
  RegisterCorrectionRows(registry);
  RegisterPatternsRows(registry);
  RegisterPhotoRows(registry);
}
