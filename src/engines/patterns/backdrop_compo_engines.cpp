#include "engines/patterns/backdrop_compo_engines.h"

#include <algorithm>
#include <cstring>

#include "app/core/memory_manager.h"
#include "engines/patterns/engine_planes.h"
#include "engines/records/engine_frame.h"
#include "platform/random/random.h"

namespace vmkpat {

int32_t SelfBlend(int32_t planeCount, uint8_t* plane0, uint8_t* plane1, uint8_t* plane2,
                  const uint8_t* mask, int32_t width, int32_t height, int32_t left,
                  int32_t top, int32_t right, int32_t bottom, int16_t blendMode,
                  int16_t opacity) {
  WorkPlanes work(planeCount, plane0, plane1, plane2, width, height);
  if (!work) return -1;
  work.BlendBack(mask, vmkrec::EngineArea{left, top, right, bottom}, blendMode, opacity);
  return 0;
}

}  // namespace vmkpat

MiscBackDrop::MiscBackDrop() : par_(1, plat::PlainSource()) { par_.Clear(); }

void MiscBackDrop::SetBDropPar(const BDropPar* record) {
  if (par_) Copy_BDropPar(record, par_.get());
}
void MiscBackDrop::GetBDropPar(BDropPar* record) const {
  if (par_) Copy_BDropPar(par_.get(), record);
}

int32_t MiscBackDrop::FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity,
                              int16_t source, int32_t width, int32_t height, int32_t left,
                              int32_t top, int32_t right, int32_t bottom, uint8_t* plane0,
                              uint8_t* plane1, uint8_t* plane2, const uint8_t* mask) {
  if (!vmkrec::PlanesGiven(width, height, planeCount != 1, plane0, plane1, plane2)) return -1;
  const vmkrec::EngineArea a = vmkrec::ClampArea(left, top, right, bottom, width, height, false);
  // Of the sources the backdrop only ever filled white.
  if (source == 1) vmkrec::PreparePlaneSource(1, planeCount, width, height, plane0, plane1, plane2);
  return vmkpat::SelfBlend(planeCount, plane0, plane1, plane2, mask, width, height, a.left,
                           a.top, a.right, a.bottom, blendMode, opacity);
}

MiscCompo::MiscCompo() : par_(1, WorkSource()) { par_.Clear(); }

void MiscCompo::SetCompoPar(const CompoPar* record) {
  if (par_) Copy_CompoPar(record, par_.get());
}
void MiscCompo::GetCompoPar(CompoPar* record) const {
  if (par_) Copy_CompoPar(par_.get(), record);
}

int32_t MiscCompo::FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity,
                           int16_t source, int16_t apply, int32_t left, int32_t top,
                           int32_t right, int32_t bottom, int32_t fullWidth, int32_t fullHeight,
                           int32_t photoLeft, int32_t photoTop, int32_t photoRight,
                           int32_t photoBottom, float scaleX, float scaleY, int32_t width,
                           int32_t height, uint8_t* plane0, uint8_t* plane1, uint8_t* plane2,
                           uint8_t* plane3, const uint8_t* mask) {
  (void)apply;
  (void)fullWidth;
  (void)fullHeight;
  if (!vmkrec::PlanesGiven(width, height, planeCount != 1, plane0, plane1, plane2)) return -1;
  const vmkrec::EngineArea a = vmkrec::ClampArea(left, top, right, bottom, width, height, false);
  // The compo always reseeded the shared generator, though it draws nothing from it.
  plat::SeedRandom(0);
  const vmkrec::SourceRequest request = vmkrec::MakeSourceRequest(
      width, height, a.right - a.left, a.bottom - a.top, photoLeft, photoTop, photoRight,
      photoBottom, scaleX, scaleY, plane0, plane1, plane2, plane3);
  vmkrec::PrepareEngineSource(source, planeCount == 1 ? 1 : 3, 255, request);
  return vmkpat::SelfBlend(planeCount, plane0, plane1, plane2, mask, width, height, a.left,
                           a.top, a.right, a.bottom, blendMode, opacity);
}

int32_t MiscCompo::LoadTileBuf(const fichier* file, int32_t cropLeft, int32_t cropTop,
                               int32_t cropRight, int32_t cropBottom, int32_t targetA,
                               int32_t targetB, uint8_t* plane0, uint8_t* plane1,
                               uint8_t* plane2, uint8_t* plane3) {
  uint8_t* targets[4] = {plane0, plane1, plane2, plane3};
  if (file == nullptr || targetA <= 0 || targetB <= 0) return -1;
  for (uint8_t* t : targets)
    if (t == nullptr) return -1;
  const auto targetSize = static_cast<size_t>(int64_t{targetA} * targetB);
  for (uint8_t* t : targets) std::memset(t, 0, targetSize);
  return vmkpat::LoadTileImage(file, cropLeft, cropTop, cropRight, cropBottom, targetB, targetA,
                               targets);
}
