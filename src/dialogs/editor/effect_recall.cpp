#include "dialogs/editor/effect_recall.h"

#include <string>

#include "app/core/pascal_strings.h"
#include "app/file_access.h"
#include "platform/files/file_types.h"
#include "platform/toolbox/api/ui_services.h"
#include "script/layers.h"
#include "script/script_file.h"

int16_t ReadEffectIntoLayer(const fichier& file, ScriptFile* script, Laye* layer, char* text1,
                            char* text2) {
  if (script == nullptr || layer == nullptr || file.name[0] == 0) return -1;
  File_kern kern(&file);
  return script->RecallScript(1, &layer->oprnCount, &layer->firstOprn, &kern, 0, nullptr, nullptr,
                              nullptr, text1, text2, 1.0f, 1.0f, 0) == 0
             ? 0
             : -1;
}

int16_t RecallEffectIntoLayer(const fichier& file, ScriptFile* script, Laye* layer,
                              char* text1, char* text2) {
  // The one alert below names the file, whatever went wrong.
  if (ReadEffectIntoLayer(file, script, layer, text1, text2) == 0) return 0;
  plat::ui::AlertRequest alert;
  alert.alertId = kRecallAlert;
  alert.params = {
      "The effect \"" + plat::files::DisplayName(PStrString(file.name)) + "\" could not be read.",
      "The layer is left as it was."};
  plat::ui::Alert(alert);
  return -1;
}
