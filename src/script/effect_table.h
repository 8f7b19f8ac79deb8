// The one table of effect numbers 1 to 122: for each, where the renderer sends it, which
// group of render cases holds its case and what the operation carries besides its five
// parameters. ScriptFile::Render routes by this table and nothing else; the two dispatches
// run a registered case only for the numbers whose row names theirs.
#pragma once

#include <cstdint>

#include "script/operation.h"

enum class EffectRoute : uint8_t {
  kNone,                // renders nothing anywhere
  kTwoPlane,            // Render sends it to PerformFromToEffect
  kTwoPlaneNotRouted,   // PerformFromToEffect accepts it, Render never sends it there
  kOnePlane,            // Render sends it to PerformToEffect
  kOnePlaneNotRouted,   // PerformToEffect has its case, Render never sends it there
  kRenderStep,          // a step of the render loop itself (loaders, paths, envelope)
};

// Where an effect's case is written: the operation pairs of the two-plane dispatch, the
// table and tone operations, the filters, distortions, fills and frames, the engine-driven
// effects, the file- and path-driven effects, the steps of the render loop. kNoCase: the
// number reaches a dispatch (or none) and renders nothing there by design.
enum class CaseGroup : uint8_t {
  kNoCase,
  kTwoPlane,
  kTone,
  kFilter,
  kEngine,
  kFileAndPath,
  kRenderStep,
};

// What the operation carries for the number, as bits.
enum EffectRecordBits : uint8_t {
  kUsesNothing = 0,
  kUsesFileRecord = 1,
  kUsesColourMatrix = 2,
  kUsesColourRamp = 4,  // the operation's LutVign
  kUsesPathFill = 8,    // the operation's Path3D
  kUsesLayerPaths = 16,
};

struct EffectRow {
  EffectRoute route = EffectRoute::kNone;
  CaseGroup group = CaseGroup::kNoCase;
  uint8_t uses = kUsesNothing;
  int16_t recordKind = 0;  // parameter record kind in the MulStruc (record_kinds.h); 0 none
};

// The row of a number; numbers outside 1..122 get the row of "none".
const EffectRow& EffectRowOf(EffectCode effect);

// True when ScriptFile::Render sends the number to a dispatch or a step and a case is
// expected there, so that a missing registration is worth reporting.
bool EffectExpectsCase(EffectCode effect);
