#include "dialogs/editor/effect_launch.h"

#include <memory>
#include <new>

#include "dialogs/editor/tune_effect.h"

int16_t LaunchTuneEffect(ScriptFile* script, int16_t stack, int16_t layer, int32_t width, int32_t height,
                         int16_t effect) {
  std::unique_ptr<VMKtuneeff> editor(new (std::nothrow) VMKtuneeff());
  if (editor == nullptr) return 0;
  const auto w = static_cast<short>(width);
  const auto h = static_cast<short>(height);
  editor->LoadVal(1, effect);
  editor->SetScriptFile(script, stack, layer, w, h, 0, 0, w, h);
  editor->InitScriptParams(script, stack, layer, effect);
  return editor->Perform_Effect(effect, 0);
}
