#include "host/session/document.h"

#include <cstring>

#include "app/core/session_state.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "script/layers.h"
#include "script/script_file.h"

void CopyDocData(const DocData* source, DocData* destination) {
  ScriptFile* script = destination->script;
  Laye* layer = destination->layer;
  *destination = *source;
  destination->script = script;
  destination->layer = layer;
}

VMKdoc::VMKdoc() { Initialize(); }

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
