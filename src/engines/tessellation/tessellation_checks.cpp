#include "engines/tessellation/tessellation_checks.h"

#include <algorithm>

int16_t TessTileCount(int32_t type) {
  switch (type) {
    case 1: case 2: case 3: case 4: case 6: case 8: case 9: case 10: return 4;
    case 5: case 12: return 2;
    case 7: case 11: return 8;
    case 13: return 3;
    case 14: case 15: case 16: return 6;
    case 17: return 12;
    default: return -1;
  }
}

bool TessParInRange(const TessPar& r) {
  const int32_t type = r.head.w[kTessSymmetry];
  const int32_t count = r.head.w[kTessSetsInUse];
  const int32_t current = r.head.w[kTessCurrentSet];
  return TessTileCount(type) > 0 && count >= 1 && count <= kTessEditedTiles && current >= 0 &&
         current < count;
}

void ClampTessPar(TessPar* r) {
  if (r == nullptr) return;
  int32_t* head = r->head.w;
  head[kTessSymmetry] = std::clamp(head[kTessSymmetry], int32_t{1}, int32_t{17});
  head[kTessSetsInUse] = TessTileCount(head[kTessSymmetry]);
  head[kTessCurrentSet] = std::clamp(head[kTessCurrentSet], int32_t{0}, head[kTessSetsInUse] - 1);
}
