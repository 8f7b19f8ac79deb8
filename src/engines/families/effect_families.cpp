#include "engines/families/effect_families.h"

#include "engines/correction/correction_record_kinds.h"
#include "engines/patterns/pattern_record_kinds.h"
#include "engines/tessellation/tessellation_record_kinds.h"
#include "script/record_kinds.h"

void RegisterEffectFamilies() {
  // Each registration is idempotent, so this needs no flag of its own.
  RegisterScriptRecords();
  RegisterCorrectionRecords();
  RegisterPatternRecords();
  RegisterTessellationRecords();
}
