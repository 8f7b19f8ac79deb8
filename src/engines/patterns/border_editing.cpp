#include "engines/patterns/border_editing.h"

#include <algorithm>

namespace {

bool Within(int32_t v, int32_t low, int32_t high) { return v >= low && v <= high; }

bool LayerInRange(const BordLay& layer) {
  if (!Within(BordCurrentIndex(layer.info), 0, 3)) return false;
  if (!Within(BordCurrentSideTile(layer.info), 0, kBordCellsPerSide - 1)) return false;
  return std::all_of(std::begin(layer.tiles), std::end(layer.tiles),
                     [](const BordTile& t) { return Within(t.image, 0, kBordFiles - 1); });
}

void ClampLayer(BordLay* layer) {
  BordCurrentIndex(layer->info) = std::clamp(BordCurrentIndex(layer->info), int32_t{0}, int32_t{3});
  BordCurrentSideTile(layer->info) =
      std::clamp(BordCurrentSideTile(layer->info), int32_t{0}, kBordCellsPerSide - 1);
  for (BordTile& t : layer->tiles) t.image = std::clamp(t.image, int32_t{0}, kBordFiles - 1);
}

}  // namespace

bool BordParInRange(const BordPar& record) {
  const int32_t count = record.head.layerCount;
  if (!Within(count, 0, kBordLayers)) return false;
  if (!Within(record.head.current, 0, std::max(count - 1, int32_t{0}))) return false;
  return std::all_of(record.layers, record.layers + count, LayerInRange);
}

void ClampBordPar(BordPar* record) {
  if (record == nullptr) return;
  record->head.layerCount = BordLayerCount(record->head.layerCount);
  const int32_t count = record->head.layerCount;
  record->head.current = std::clamp(record->head.current, int32_t{0}, std::max(count - 1, int32_t{0}));
  for (int32_t i = 0; i < count; ++i) ClampLayer(&record->layers[i]);
  // The current layer is edited even when no layer is in use.
  ClampLayer(&record->layers[record->head.current]);
}
