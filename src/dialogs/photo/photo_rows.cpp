#include "dialogs/photo/photo_rows.h"

#include "dialogs/frame/effect_registry.h"

void RegisterPhotoRows(EffectRegistry&) {}
