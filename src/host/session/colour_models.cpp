#include "host/session/colour_models.h"

#include <cstring>

#include "app/core/app_data.h"
#include "app/core/memory_manager.h"
#include "app/core/session_state.h"
#include "engines/correction/colour_correction.h"
#include "platform/resources/resource_file.h"
#include "script/document_data.h"

int32_t init1_par(ColCorPar* record, int16_t effect) {
  const DocData* doc = CurrentDocData();
  if (record == nullptr || doc == nullptr) return -1;
  Init_ColCorPar(record, doc->width, doc->height, doc->resolution, effect, 0, 0);
  return 0;
}

int32_t init1_cal(ModTemplate* model) {
  if (model == nullptr) return -1;
  const auto bytes = plat::res::GetResource(FourCC("MocL"), 128);
  // A resource of any other size is not a model: reading it as one would
  // run past its end or leave tables unset.
  if (!bytes || bytes->size() != sizeof(ModTemplate)) return -1;
  std::memcpy(model->bytes, bytes->data(), sizeof(ModTemplate));
  return 0;
}

int32_t init1_phomod() {
  CMemMan* mm = SessionMemMan();
  if (gappData == nullptr || mm == nullptr) return -1;
  auto* model = reinterpret_cast<ModTemplate*>(mm->NewBuf(static_cast<int32_t>(sizeof(ModTemplate))));
  if (model == nullptr) return -1;
  if (init1_cal(model) != 0) {
    mm->DelBuf(model);
    return -1;
  }
  // A model made earlier gives way to the new one.
  if (gappData->colourModel != nullptr) mm->DelBuf(gappData->colourModel);
  gappData->colourModel = model;
  return 0;
}
