#include "script/effect_table.h"

#include <array>

#include "script/effect_registries.h"

namespace {

using R = EffectRoute;
using G = CaseGroup;

struct Entry {
  EffectCode first;
  EffectCode last;  // the rows first..last share the entry
  EffectRow row;
};

// Record kinds of the parameter records the table names (record_kinds.h).
enum : int16_t {
  kPlaid = 2, kRep = 3, kSupVig = 4, kScreen = 5, kTess = 6, kFram = 7, kTextu = 10,
  kShado = 11, kCookiCut = 12, kStrok = 13, kLBlur = 14, kXTrude = 16, kCombIma = 17,
  kBDrop = 19, kFract = 20, kYoxel = 21, kGrid = 22, kColCor = 23, kBord = 24, kShape = 26,
  kCompo = 27, kZondrac = 30,
};

constexpr uint8_t kFile = kUsesFileRecord;
constexpr uint8_t kRamp = kUsesColourRamp;

// Numbers not listed are family keys or commands without an operation: route none.
// clang-format off
constexpr Entry kEntries[] = {
    {2, 6, {R::kTwoPlane, G::kTwoPlane}},
    {7, 8, {R::kOnePlane, G::kFilter}},
    {9, 9, {R::kOnePlane, G::kTone}},
    {10, 12, {R::kOnePlane, G::kFilter}},
    {13, 18, {R::kOnePlane, G::kTone}},
    {19, 19, {R::kOnePlane, G::kFilter}},
    {20, 20, {R::kTwoPlane, G::kTwoPlane}},
    {21, 21, {R::kOnePlane, G::kFileAndPath, kFile}},
    {22, 22, {R::kOnePlane, G::kEngine, kUsesColourMatrix}},
    {23, 23, {R::kTwoPlane, G::kTwoPlane, kRamp}},
    {24, 26, {R::kRenderStep, G::kRenderStep, kFile}},
    {27, 27, {R::kOnePlane, G::kFileAndPath, kUsesLayerPaths}},
    {28, 28, {R::kOnePlane, G::kFileAndPath, kUsesPathFill | kUsesLayerPaths}},
    {29, 29, {R::kOnePlane, G::kTone, kRamp}},
    {30, 30, {R::kRenderStep, G::kRenderStep, kFile}},
    {32, 32, {R::kOnePlane, G::kFilter}},
    {33, 33, {R::kTwoPlane, G::kTwoPlane, kRamp}},
    {34, 34, {R::kTwoPlane, G::kTwoPlane}},
    // Sent to the one-plane dispatch, which has no case for them.
    {35, 36, {R::kOnePlane, G::kNoCase, kFile}},
    {37, 37, {R::kOnePlane, G::kFilter}},
    {38, 39, {R::kRenderStep, G::kRenderStep, kFile}},
    {40, 40, {R::kOnePlane, G::kEngine, kUsesNothing, kPlaid}},
    {41, 41, {R::kOnePlane, G::kEngine, kUsesNothing, kRep}},
    {42, 43, {R::kOnePlane, G::kEngine, kUsesNothing, kPlaid}},
    {44, 44, {R::kOnePlane, G::kFilter}},
    {47, 48, {R::kTwoPlane, G::kTwoPlane}},
    // The super gradient reaches the one-plane dispatch and renders nothing.
    {49, 49, {R::kOnePlane, G::kNoCase, kUsesNothing, kSupVig}},
    {50, 50, {R::kOnePlane, G::kEngine, kUsesNothing, kScreen}},
    // Accepted by the two-plane dispatch, which has no case for it.
    {51, 51, {R::kTwoPlane, G::kNoCase, kFile}},
    {52, 52, {R::kOnePlane, G::kFileAndPath, kFile}},
    {53, 56, {R::kOnePlane, G::kFilter}},
    {58, 58, {R::kOnePlane, G::kEngine, kUsesNothing, kTess}},
    {60, 60, {R::kOnePlane, G::kTone}},
    {61, 61, {R::kRenderStep, G::kRenderStep, kFile, kFram}},
    {63, 63, {R::kOnePlane, G::kFilter}},
    {64, 64, {R::kTwoPlaneNotRouted, G::kNoCase}},
    {65, 67, {R::kOnePlaneNotRouted, G::kFilter}},
    {68, 69, {R::kOnePlane, G::kFilter}},
    {70, 70, {R::kOnePlaneNotRouted, G::kFilter}},
    {71, 72, {R::kOnePlane, G::kFilter}},
    {73, 74, {R::kOnePlane, G::kNoCase}},
    {75, 75, {R::kRenderStep, G::kRenderStep, kFile}},
    {77, 77, {R::kOnePlane, G::kEngine, kUsesNothing, kTextu}},
    {78, 78, {R::kOnePlane, G::kTone}},
    {79, 79, {R::kOnePlane, G::kTone, kRamp}},
    {80, 80, {R::kTwoPlane, G::kTwoPlane, kUsesNothing, kShado}},
    {81, 81, {R::kOnePlane, G::kEngine, kUsesNothing, kCookiCut}},
    {82, 82, {R::kOnePlane, G::kEngine, kUsesNothing, kStrok}},
    {83, 84, {R::kOnePlane, G::kFilter}},
    {85, 85, {R::kOnePlane, G::kEngine, kUsesNothing, kLBlur}},
    {86, 86, {R::kTwoPlane, G::kTwoPlane, kUsesNothing, kColCor}},
    {87, 88, {R::kOnePlane, G::kFilter}},
    {90, 90, {R::kTwoPlane, G::kTwoPlane, kUsesNothing, kXTrude}},
    {91, 91, {R::kTwoPlane, G::kTwoPlane}},
    {92, 92, {R::kOnePlane, G::kEngine, kUsesNothing, kCombIma}},
    {93, 93, {R::kOnePlane, G::kNoCase}},
    {94, 94, {R::kOnePlane, G::kEngine, kUsesNothing, kBDrop}},
    {95, 97, {R::kOnePlane, G::kFilter}},
    {98, 99, {R::kOnePlane, G::kTone, kRamp}},
    {100, 100, {R::kOnePlane, G::kEngine, kUsesNothing, kFract}},
    {101, 101, {R::kOnePlane, G::kEngine, kUsesNothing, kYoxel}},
    {102, 102, {R::kOnePlane, G::kEngine, kUsesNothing, kGrid}},
    {103, 105, {R::kOnePlane, G::kEngine, kUsesNothing, kColCor}},
    {106, 106, {R::kOnePlane, G::kEngine, kUsesNothing, kBord}},
    {107, 107, {R::kOnePlane, G::kFilter}},
    {108, 108, {R::kOnePlane, G::kTone, kRamp}},
    {109, 110, {R::kOnePlane, G::kEngine, kUsesNothing, kShape}},
    {111, 111, {R::kOnePlane, G::kEngine, kUsesNothing, kCompo}},
    {112, 112, {R::kOnePlane, G::kFilter}},
    {113, 113, {R::kOnePlane, G::kEngine, kUsesNothing, kZondrac}},
    {119, 119, {R::kOnePlane, G::kEngine, kUsesNothing, kColCor}},
    {120, 120, {R::kOnePlane, G::kFilter}},
    {121, 122, {R::kOnePlane, G::kTone}},
};
// clang-format on

constexpr std::array<EffectRow, kHighestEffect + 1> BuildTable() {
  std::array<EffectRow, kHighestEffect + 1> table{};
  for (const Entry& e : kEntries)
    for (int32_t n = e.first; n <= e.last; ++n) table[n] = e.row;
  return table;
}

constexpr std::array<EffectRow, kHighestEffect + 1> kTable = BuildTable();

}  // namespace

const EffectRow& EffectRowOf(EffectCode effect) {
  return effect >= 1 && effect <= kHighestEffect ? kTable[effect] : kTable[0];
}

bool EffectExpectsCase(EffectCode effect) {
  const EffectRow& row = EffectRowOf(effect);
  if (row.group == CaseGroup::kNoCase) return false;
  return row.route == EffectRoute::kTwoPlane || row.route == EffectRoute::kOnePlane ||
         row.route == EffectRoute::kRenderStep;
}
