#include "dialogs/editor/tune_effect.h"

#include <new>

#include "app/core/app_data.h"
#include "app/core/memory_manager.h"
#include "app/core/session_state.h"
#include "engines/correction/resize_record.h"
#include "host/session/document.h"
#include "paths/draw_par.h"
#include "script/script_file.h"

namespace tb = plat::tb;

VMKtuneeff* gVMKtuneeff = nullptr;

namespace {

// The undo request of the editor's number fields (Command-Z).
int16_t flag_restor = 0;

// A block of the session's memory manager; null without a session.
template <class T>
T* NewBlock(size_t count) {
  CMemMan* mm = SessionMemMan();
  char* block = mm != nullptr ? mm->NewBuf(static_cast<int32_t>(sizeof(T) * count)) : nullptr;
  if (block == nullptr) return nullptr;
  T* first = reinterpret_cast<T*>(block);
  for (size_t i = 0; i < count; ++i) new (first + i) T();
  return first;
}

void DeleteBlock(void* block) {
  CMemMan* mm = SessionMemMan();
  if (block != nullptr && mm != nullptr) mm->DelBuf(block);
}

VMKdoc* CurrentDocument() {
  if (gappData == nullptr || gappData->currentDocument < 0 || gappData->currentDocument >= kDocumentSlots)
    return nullptr;
  return gappData->documents[gappData->currentDocument];
}

}  // namespace

VMKtuneeff::VMKtuneeff() {
  gVMKtuneeff = this;
  flag_restor = 0;
  resultPlanes = NewBlock<uint8_t*>(kPlaneSlots);
  sourcePlanes = NewBlock<uint8_t*>(kPlaneSlots);
  drawPar = NewBlock<DrawPar>(1);
  if (drawPar != nullptr) Init_DrawPar(drawPar);
  workRecord = NewBlock<YoxelPar>(1);
  effectFiles = NewBlock<FSSpec>(kEffectFiles);
}

VMKtuneeff::~VMKtuneeff() {
  // The timer is stopped and removed only when the window made one.
  if (loopTimerUPP) {
    tb::SetEventLoopTimerNextFireTime(loopTimer, tb::kEventDurationForever);
    tb::RemoveEventLoopTimer(loopTimer);
    loopTimerUPP = nullptr;
  }
  for (uint8_t** table : {resultPlanes, sourcePlanes}) {
    if (table == nullptr) continue;
    for (int32_t c = 0; c < kPlaneSlots; ++c) DeleteBlock(table[c]);
    DeleteBlock(table);
  }
  DeleteBlock(drawPar);
  DeleteBlock(workRecord);
  DeleteBlock(effectFiles);
  if (gVMKtuneeff == this) gVMKtuneeff = nullptr;
}

void VMKtuneeff::LoadVal(long first, long second) {
  currentOprn = static_cast<int16_t>(first);
  currentKindItem = static_cast<int16_t>(second);
}

void VMKtuneeff::SetScriptFile(ScriptFile* s, short stk, short lay, short width, short height, short left,
                               short top, short right, short bottom) {
  imageWidth = width;
  imageHeight = height;
  areaLeft = left;
  areaTop = top;
  areaRight = right;
  areaBottom = bottom;
  script = s;
  document = CurrentDocument();
  stack = stk;
  layer = lay;
  // The launcher never opens the window: it keeps the operation and kind
  // item it loaded.
  if (window == nullptr || script == nullptr) return;
  currentOprn = 1;
  int16_t code = 0;
  script->GetEffect(stack, layer, 1, &code);
  currentKindItem = code >= 0 && code < kMenuEntries ? codeToItem[code] : 0;
  script->GetFromChannel(stack, layer, 1, &sourceChannel);
  script->GetToChannel(stack, layer, 1, &destChannel);
  script->GetIntExt(stack, layer, 1, &maskMode);
  script->GetMChannel(stack, layer, 1, &maskChannel);
  DrawWindowContent(window);
}

void VMKtuneeff::GetScriptFile(ScriptFile*) {}

void VMKtuneeff::InitScriptParams(ScriptFile*, short, short, short code) {
  // A launched plaid starts at full opacity.
  if (code == 42 && script != nullptr) script->SetParam1(stack, layer, currentOprn, 255);
}

short VMKtuneeff::CheckSetPreview(short v) {
  if (previewOn != 1) return 0;
  const short pending = pendingPreview;
  pendingPreview = v;
  return pending;
}

void VMKtuneeff::DrawWindowContent(tb::WindowRef) {
  // The window's controls are filled here once the window itself is built;
  // until then an editor has no window to draw.
}
