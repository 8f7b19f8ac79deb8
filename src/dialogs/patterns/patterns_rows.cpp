#include "dialogs/patterns/patterns_rows.h"

#include "dialogs/frame/effect_registry.h"

void RegisterPatternsRows(EffectRegistry&) {}
