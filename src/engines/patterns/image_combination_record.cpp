#include "engines/patterns/image_combination_record.h"

#include <algorithm>
#include <memory>

#include "engines/records/preset_file.h"
#include "engines/records/session_defaults.h"

namespace {

constexpr vmkrec::PresetFormat kCombinationFile{FourCC("hCim"), "Load a New Combi...",
                                                vmkrec::PresetLayout::RecordOnly, 0, false};

// The number of entries in use; a count that a damaged file or script left outside the
// list is taken at the nearest bound, so no operation walks past the 128 slots.
int32_t EntryCount(const CombImaPar& r) {
  return std::clamp(r.head.count, int32_t{0}, kCombImaMaxEntries);
}

void CopyEntry(const CombImaPar& from, int32_t i, CombImaPar* to, int32_t j) {
  Copy_FicStruct(&from.images[i], &to->images[j]);
  Copy_FicStruct(&from.textures[i], &to->textures[j]);
  Copy_CombImaInfo(&from.infos[i], &to->infos[j]);
}

// One entry held aside while the others move.
struct HeldEntry {
  fichier image;
  fichier texture;
  CombImaInfo info;
};

}  // namespace

void Init_CombImaInfo(CombImaInfo* info, int16_t settings, int16_t corners, int16_t rampPreset) {
  if (info == nullptr) return;
  info->byteOrder = HostOrderFlag();
  info->version = 1;
  if (settings == 1) {
    info->active = 1;
    info->blendMode = 0;
    info->opacity = 100;
    info->blur = info->emboss = info->embossDirection = info->edge = 0;
    info->edgeColour[0] = info->edgeColour[1] = info->edgeColour[2] = 0;
    info->carried48 = info->textureOn = info->textureAcross = info->textureDown = 0;
    info->carried64 = info->carried68 = 0;
  }
  if (corners == 1) {
    const int32_t x[4] = {0, 100, 100, 0}, y[4] = {0, 0, 100, 100};
    std::copy_n(x, 4, info->cornerX);
    std::copy_n(y, 4, info->cornerY);
  }
  if (rampPreset >= 1) Init_LutVign(rampPreset, &info->ramp, 255, 255, 255, 255);
}

void Init_CombImaInfo1(CombImaInfo1* head) {
  if (head == nullptr) return;
  head->byteOrder = HostOrderFlag();
  head->version = 1;
  head->imageWidth = SessionPhotoWidth();
  head->imageHeight = SessionPhotoHeight();
  head->count = 0;
  head->current = 0;
}

void Init_CombImaPar(CombImaPar* r, int16_t allReferences) {
  if (r == nullptr) return;
  Init_CombImaInfo1(&r->head);
  for (int i = 0; i < kCombImaSlots; ++i) {
    if (allReferences == 1) Init_FicStruct(&r->images[i]);
    Init_FicStruct(&r->textures[i]);
    Init_CombImaInfo(&r->infos[i], 1, 1, 5);
  }
}

void Copy_CombImaInfo(const CombImaInfo* source, CombImaInfo* destination) {
  if (source == nullptr || destination == nullptr || source == destination) return;
  *destination = *source;
}

void Copy_CombImaInfo1(const CombImaInfo1* source, CombImaInfo1* destination) {
  if (source == nullptr || destination == nullptr) return;
  destination->byteOrder = source->byteOrder;
  destination->version = source->version;
  destination->count = source->count;
  destination->current = source->current;
}

void Copy_CombImaPar(const CombImaPar* source, CombImaPar* destination) {
  if (source == nullptr || destination == nullptr || source == destination) return;
  Copy_CombImaInfo1(&source->head, &destination->head);
  for (int i = 0; i < kCombImaSlots; ++i) CopyEntry(*source, i, destination, i);
}

void SwapCombImaInfo(CombImaInfo* info, int16_t direction, int16_t force) {
  if (info != nullptr) vmkrec::SwapRecord(*info, direction, force);
}

void SwapCombImaInfo1(CombImaInfo1* head, int16_t direction, int16_t force) {
  if (head != nullptr) vmkrec::SwapRecord(*head, direction, force);
}

void SwapCombImaPar(CombImaPar* record, int16_t direction, int16_t force) {
  if (record != nullptr) vmkrec::SwapRecord(*record, direction, force);
}

void AddCombIma(CombImaPar* r, int16_t index, const fichier* file) {
  if (r == nullptr) return;
  const int32_t count = EntryCount(*r);
  if (count + 1 > kCombImaMaxEntries) return;
  const int32_t at = std::max<int32_t>(index, 0);
  if (at <= count - 1) {
    for (int32_t j = count - 1; j >= at; --j) CopyEntry(*r, j, r, j + 1);
    r->head.current = at;
  } else {
    r->head.current = count;
  }
  r->head.count = count + 1;
  const int32_t cur = r->head.current;
  if (file != nullptr) Copy_FicStruct(file, &r->images[cur]);
  Init_CombImaInfo(&r->infos[cur], 1, 1, 5);
}

void MovCombIma(CombImaPar* r, int16_t source, int16_t target) {
  if (r == nullptr) return;
  const int32_t count = EntryCount(*r);
  const int32_t s = std::max<int32_t>(source, 0), t = std::max<int32_t>(target, 0);
  if (s - 1 == t || t >= count || s >= count) return;
  auto held = std::make_unique<HeldEntry>();
  Copy_FicStruct(&r->images[s], &held->image);
  Copy_FicStruct(&r->textures[s], &held->texture);
  Copy_CombImaInfo(&r->infos[s], &held->info);
  int32_t landing = 0;
  if (s <= t) {
    for (int32_t j = s; j < t; ++j) CopyEntry(*r, j + 1, r, j);
    landing = t;
  } else {
    for (int32_t j = s - 1; j >= t + 1; --j) CopyEntry(*r, j, r, j + 1);
    landing = t + 1;
  }
  Copy_FicStruct(&held->image, &r->images[landing]);
  Copy_FicStruct(&held->texture, &r->textures[landing]);
  Copy_CombImaInfo(&held->info, &r->infos[landing]);
}

void DelCombIma(CombImaPar* r, int16_t index) {
  if (r == nullptr) return;
  const int32_t count = EntryCount(*r);
  const int32_t at = std::max<int32_t>(index, 0);
  // An index past the last entry names no entry: lowering the count would
  // drop the real last one, so nothing is deleted.
  if (at >= count) return;
  if (count == 1) {
    r->head.count = 0;
    return;
  }
  if (at == count - 1) {
    r->head.count = at;
    r->head.current = at - 1;
    return;
  }
  for (int32_t j = at; j < count - 1; ++j) CopyEntry(*r, j + 1, r, j);
  r->head.count = count - 1;
  // The current entry keeps its number, now the entry that followed the deleted one; when
  // that was the last one it steps back onto the new last entry.
  r->head.current = std::min(r->head.current, r->head.count - 1);
}

int16_t Do_ACombIma_file(int16_t mode, FSSpec spec, CombImaPar* record) {
  return vmkrec::DoPresetFile(mode, spec, record, kCombinationFile, Copy_CombImaPar,
                              [](const CombImaPar& loaded, CombImaPar* r) {
                                Copy_CombImaPar(&loaded, r);
                                r->head.count = EntryCount(*r);
                                r->head.current = std::clamp(r->head.current, int32_t{0},
                                                             std::max(r->head.count - 1, 0));
                              });
}
