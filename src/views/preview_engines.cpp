#include "views/preview_engines.h"

#include <map>
#include <utility>

namespace vmkviews {

namespace {

std::map<std::pair<int16_t, int16_t>, PreviewEngine>& Table() {
  static std::map<std::pair<int16_t, int16_t>, PreviewEngine> table;
  return table;
}

}  // namespace

void RegisterPreviewEngine(int16_t routine, int16_t code, PreviewEngine engine) {
  if (engine == nullptr) {
    Table().erase({routine, code});
  } else {
    Table()[{routine, code}] = engine;
  }
}

PreviewEngine FindPreviewEngine(int16_t routine, int16_t code) {
  const auto it = Table().find({routine, code});
  return it != Table().end() ? it->second : nullptr;
}

FillOrder FillOrderOf(int16_t routine, int16_t code) {
  switch (routine) {
    case kPreviewZondrac:
      return FillOrder::kViewSizeAfter;
    case kPreviewEffect:
      if (code == 0) return FillOrder::kRenderOrder;
      if (code == 22 || code == 42 || code == 109 || code == 110) return FillOrder::kViewSizeAfter;
      return FillOrder::kViewSizeFirst;
    default:
      return FillOrder::kViewSizeFirst;
  }
}

}  // namespace vmkviews
