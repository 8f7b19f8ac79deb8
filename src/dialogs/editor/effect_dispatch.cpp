// The effect dispatcher: an effect number becomes the dialog that edits the
// editor's current operation. The rows live in the effect registry, filled by
// the dialog folders at session start; a number no row serves does nothing.
#include "dialogs/editor/tune_effect.h"
#include "dialogs/frame/effect_registry.h"
#include "script/misc_render.h"

namespace {

// The render file of the operations before the current one, fitted into
// 500 x 500, which the previews of the "render" rows read back.
void WriteRenderFile(ScriptFile* script, int16_t operation) {
  MiscRender render;
  render.ScriptToRendFile(nullptr, script, 0, 500, 500, 1, operation);
}

}  // namespace

short VMKtuneeff::Perform_Effect(short code, short flag) {
  if (code < EffectRegistry::kFirstCode || code > EffectRegistry::kLastCode || script == nullptr) return 0;
  const EffectRow* row = EffectDialogRegistry().Find(code);
  if (row == nullptr) return 0;
  if (flag == 1 && row->writesRenderFile) WriteRenderFile(script, currentOprn);
  EffectCall call{this,     script, stack,    layer,   currentOprn, code,
                  flag,     areaLeft, areaTop, areaRight, areaBottom};
  return row->run(call);
}
