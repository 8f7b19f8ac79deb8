#include "script/render_cases.h"

#include <cstring>

CaseArgs::CaseArgs(const RenderCall& call)
    : mode(call.op->Mode),
      opa(call.op->Opa),
      h(call.script->planeHeight),
      w(call.script->planeWidth),
      aw(call.script->areaWidth),
      ah(call.script->areaHeight),
      p1(call.op->Param1),
      p2(call.op->Param2),
      p3(call.op->Param3),
      p4(call.op->Param4),
      p5(call.op->Param5),
      rgb(call.script->colourModel),
      scaleX(call.script->renderScaleX),
      scaleY(call.script->renderScaleY) {}

int16_t ScaledDistance(int16_t v, float scale) {
  return static_cast<int16_t>(static_cast<int32_t>(v * static_cast<double>(scale) + 0.5));
}

// The region 0, 0, aw, ah clamped to the plane: its last column is min(aw, w - 1), which must
// lie beyond column 0, and the same for its rows.
bool MapsNothing(const CaseArgs& a) { return a.w < 2 || a.h < 2 || a.aw < 1 || a.ah < 1; }

uint8_t* CompositePlane(const RenderCall& call, int32_t channel) {
  return call.script->ChannelPlane(channel, 0);
}

RampTables RampTablesOf(const LutVign& lut) {
  RampTables t;
  std::memcpy(t.data(), lut.opacity, 256);
  std::memcpy(t.data() + 256, lut.colour, 4 * 256);
  return t;
}

void RegisterScriptRenderCases() {
  RegisterTwoPlaneCases();
  RegisterToneCases();
  RegisterFilterCases();
  RegisterGeometryCases();
  RegisterFileAndPathCases();
  RegisterPathSteps();
}
