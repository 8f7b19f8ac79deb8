#include "host/session/document.h"

#include <cstring>

#include "app/core/app_data.h"
#include "app/core/session_state.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "script/layers.h"
#include "script/script_file.h"

namespace {

DocData* CurrentSessionDocument() {
  if (gappData == nullptr || gappData->currentDocument < 0 ||
      gappData->currentDocument >= kDocumentSlots)
    return nullptr;
  return gappData->documents[gappData->currentDocument];
}

}  // namespace

VMKdoc::VMKdoc() {
  SetCurrentDocumentSource(CurrentSessionDocument);
  Initialize();
}

VMKdoc::~VMKdoc() { delete script; }

void VMKdoc::Initialize() {
  const FilterRecord* r = gFilterRecord;
  if (r != nullptr) {
    imageMode = r->imageMode == 11 ? 11 : 3;
    width = r->imageRect.right - r->imageRect.left;
    height = r->imageRect.bottom - r->imageRect.top;
    resolution = r->resolutionH >> 16;
  }
  width2 = width;
  height2 = height;
  twoLongs[0] = twoLongs[1] = 0;
  currentStack = 0;
  currentLayer = 1;
  delete script;
  script = new ScriptFile();
  layer = nullptr;
  if (gPer == nullptr) return;
  script->I_ScriptFile(3, gPer->previewWidth, gPer->previewHeight, gPer->resolution,
                       gPer->boxLimitWidth, gPer->boxLimitHeight, 0, 0,
                       static_cast<int32_t>(gPer->boxWidth - 1.0f),
                       static_cast<int32_t>(gPer->boxHeight - 1.0f));
  script->SetDrw(nullptr, gPer->drawPar);
  LayerFile* stack = script->GetStack(currentStack);
  layer = stack != nullptr ? stack->GetLaye(currentLayer) : nullptr;
}
