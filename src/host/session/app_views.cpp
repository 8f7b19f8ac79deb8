// The application object's custom views: one instance per class identifier,
// created and registered in table order, deleted (which unregisters each
// class) when the session ends.
#include "app/core/memory_manager.h"
#include "host/session/app_object.h"
#include "views/colour_box.h"
#include "views/image_box.h"
#include "views/preview_engines.h"

void VMKapp::RegisterCustControl() {
  // The boxes made below preview through the engine table.
  vmkviews::RegisterPreviewEngines();
  CMemMan* mm = gPer != nullptr ? gPer->memMan : nullptr;
  for (int i = 0; i < kCustomViewCount; ++i) {
    const CustomViewEntry& e = CustomViewAt(i);
    if (e.array >= 0 && e.entry == 0 && viewArrays[e.array] == nullptr && mm != nullptr) {
      const int32_t room = ViewArraySize(e.array);
      void** array = reinterpret_cast<void**>(mm->NewBuf(room * static_cast<int32_t>(sizeof(void*))));
      if (array != nullptr)
        for (int32_t k = 0; k < room; ++k) array[k] = nullptr;
      viewArrays[e.array] = array;
    }
    void** slot = ViewSlot(i);
    if (slot == nullptr) continue;  // its array could not be had
    const std::string classId = CustomViewClassId(i);
    if (e.kind == ViewKind::kImage) {
      auto* box = new VMKimabox();
      *slot = box;
      box->GetHIimaViewClass(classId, GetCustomViewEventHandlerUPP(i));
    } else {
      auto* box = new VMKcolbox();
      *slot = box;
      box->GetHIcolViewClass(classId, GetCustomViewEventHandlerUPP(i));
    }
  }
}

void VMKapp::UnRegisterCustControl() {
  for (int i = 0; i < kCustomViewCount; ++i) {
    void** slot = ViewSlot(i);
    if (slot == nullptr || *slot == nullptr) continue;
    if (CustomViewAt(i).kind == ViewKind::kImage)
      delete static_cast<VMKimabox*>(*slot);
    else
      delete static_cast<VMKcolbox*>(*slot);
    *slot = nullptr;
  }
  CMemMan* mm = gPer != nullptr ? gPer->memMan : nullptr;
  for (void**& array : viewArrays) {
    if (array != nullptr && mm != nullptr) mm->DelBuf(array);
    array = nullptr;
  }
}
