#include "script/render_reach.h"

#include <algorithm>
#include <cstdlib>

#include "script/effect_table.h"
#include "script/layers.h"
#include "script/operation.h"
#include "script/script_file.h"

namespace {

// A reach the render cannot exceed and a sum that stays far from overflowing: beyond it a
// window of the picture would be most of the picture anyway.
constexpr int32_t kLargestReach = 1 << 20;

int32_t Radius(int16_t v) { return std::min<int32_t>(std::abs(int32_t{v}), kLargestReach); }

// The blur holds its radius there (Effects::Blur).
constexpr int32_t kLargestBlurRadius = 199;

}  // namespace

// The pyramid blur halves the plane twice (a 2 x 2 mean at each level, reaching 1 and 2
// samples), runs (radius % 4 + 1) 3 x 3 box passes on the first level (2 samples each) and as
// many on the second for each further 4 of the radius (4 samples each), and doubles back up
// by interpolating neighbours (2 and 1 samples); the sum, and a level's sample of slack.
int32_t BlurReach(int32_t radius) {
  radius = std::clamp(radius, 0, kLargestBlurRadius);
  const int32_t groups = radius / 4;
  const int32_t passes = radius - 4 * groups + 1;
  return 2 * passes + 4 * passes * groups + 2 + 4 + 4 + 2 + 4;
}

int32_t OperationReach(const Oprn& op) {
  const EffectRow& row = EffectRowOf(op.Effect);
  // Numbers the render never runs a case for draw nothing anywhere.
  if (row.group == CaseGroup::kNoCase || row.route == EffectRoute::kNone ||
      row.route == EffectRoute::kTwoPlaneNotRouted || row.route == EffectRoute::kOnePlaneNotRouted)
    return 0;
  // A colour selection narrows the mask by a circle about a point of the picture.
  if (op.SelOprnExt != nullptr && op.SelOprnExt->SelFlag[0] != 0) return kReachesWhole;
  switch (op.Effect) {
    case 2:  // replace, add, subtract, difference, multiply: one plane's sample into the
    case 3:  // other's at the same place
    case 4:
    case 5:
    case 6:
    case 9:   // invert, curve, levels, posterize, brightness: a table of the sample
    case 10:  // a fill of one colour
    case 13:
    case 14:
    case 15:
    case 16:
    case 17:  // contrast: a table again
    case 18:  // hue, saturation and lightness of the pixel
    case 23:  // the pixel's grey through a ramp
      return 0;
    case 7:  // dilation and erosion: a rectangle of the two radii
    case 8:
      return std::max(Radius(op.Param1), Radius(op.Param2)) + 1;
    case 11:
      return BlurReach(op.Param1);
    case 12:  // relief: a kernel of the depth's radius
      return Radius(op.Param1) + 1;
    case 34:  // contour growth: a disc
    case 47:
    case 48:
      return Radius(op.Param1) + 1;
    case 55:  // median: the radius, once a pass
    case 72:
      return Radius(op.Param2) * std::max<int32_t>(op.Param1, 1) + 1;
    case 84:  // motion blur: a streak of the length
      return Radius(op.Param1) + 1;
    default:
      return kReachesWhole;
  }
}

int32_t StackReach(const ScriptFile& s, int16_t stack) {
  const LayerFile* layers = s.GetStack(stack);
  int64_t reach = 0;
  for (const Laye* layer = layers != nullptr ? layers->firstLaye : nullptr; layer != nullptr; layer = layer->next) {
    if (layer->active != 1) continue;
    for (const Oprn* op = layer->firstOprn; op != nullptr; op = op->NextOprn) {
      if (op->Act == 0) continue;
      const int32_t r = OperationReach(*op);
      if (r == kReachesWhole) return kReachesWhole;
      reach = std::min<int64_t>(reach + r, kLargestReach);
    }
  }
  return static_cast<int32_t>(reach);
}
