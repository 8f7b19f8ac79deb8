// One page of library thumbnails into the owner's slots and image boxes.
#include <string>

#include "app/core/memory_manager.h"
#include "app/core/pascal_strings.h"
#include "dialogs/editor/effect_list.h"
#include "dialogs/photo/image_library.h"
#include "engines/patterns/spray_record.h"
#include "platform/memory/block.h"
#include "views/image_box.h"

namespace tb = plat::tb;

namespace {

// The slot and image record of one thumbnail record.
void FillSlot(const ImaListEntry& e, TSSeff* slot, SprayPar* image) {
  slot->previewHeight = kImaThumbSide;
  slot->previewWidth = kImaThumbSide;
  pStrCopy(e.name.data(), slot->file.name);
  pStrCopy(e.path.data(), slot->file.path);
  pStrCopy(e.name.data(), image->file.name);
  pStrCopy(e.path.data(), image->file.path);
  image->width = e.width;
  image->height = e.height;
  slot->filled = 1;
}

}  // namespace

void VMKlistima::UpdatePreviews(tb::ControlRef category, int16_t first, TSSeff* slotRecords,
                                SprayPar* images, VMKimabox** boxes) {
  if (first != -1 && first == lastDrawnFirst) return;
  const int32_t from = first < 0 ? 0 : first;
  if (slotRecords != nullptr)
    for (int16_t k = 0; k < slotCount; ++k) slotRecords[k].filled = 0;
  ImaThumbReader thumbs;
  if (!NameFiles() || !thumbs.Open(bufFile)) return;
  const std::string text = SelectedCategoryText(category);
  const int32_t limit = std::min<int32_t>(pageSize, slotCount);
  shownOnPage = 0;
  plat::Block<uint8_t> pixels(kImaThumbBytes, WorkSource());
  int32_t position = 0;
  bool full = limit <= 0;
  for (int32_t j = 0; j < thumbs.RecordCount() && !full; ++j) {
    ImaListEntry e;
    if (!thumbs.Entry(j, &e)) continue;
    if (text != "ALL" && ImaCategoryText(e) != text) continue;
    const int32_t s = position++ - from;
    if (s < 0) continue;
    if (slotRecords != nullptr && images != nullptr) FillSlot(e, &slotRecords[s], &images[s]);
    VMKimabox* box = boxes != nullptr ? boxes[s] : nullptr;
    if (box != nullptr && pixels && thumbs.Pixels(j, pixels.get()))
      box->SetBuf(0, kImaThumbSide, kImaThumbSide, reinterpret_cast<char*>(pixels.get()),
                  kImaThumbSide, kImaThumbSide, 255);
    shownOnPage = static_cast<int16_t>(s + 1);
    full = shownOnPage >= limit;
  }
  // The category and page are kept in the list file only when the records
  // ran out before the page was full: a full page does not write them (an
  // old habit of the library, kept so that files and callers see the same
  // header they always did).
  if (!full) (void)WriteImaListHeaderWords(listFile, selectedCategory, firstVisible);
  lastDrawnFirst = static_cast<int16_t>(from);
}
