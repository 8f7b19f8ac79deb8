#include "engines/tessellation/twin_tessellation_engine.h"

#include <algorithm>
#include <new>

#include "engines/records/engine_frame.h"
#include "engines/tessellation/quad_lattice.h"
#include "engines/tessellation/symmetry_expansion.h"
#include "engines/tessellation/tessellation_render.h"
#include "platform/memory/memory.h"

MiscPhotoHesch::MiscPhotoHesch() {
  if (void* block = plat::NewPtrClear(sizeof(HeschPar)); block != nullptr) par = new (block) HeschPar;
}

MiscPhotoHesch::~MiscPhotoHesch() {
  if (par != nullptr) plat::DisposePtr(reinterpret_cast<plat::Ptr>(par));
}

void MiscPhotoHesch::SetHeschPar(const HeschPar* record) {
  if (par != nullptr && record != nullptr) Copy_HeschPar(record, par);
}

void MiscPhotoHesch::GetHeschPar(HeschPar* record) const {
  if (par != nullptr && record != nullptr) Copy_HeschPar(par, record);
}

bool MiscPhotoHesch::PrepQuadHGeoinRect(float angle, const float* x, const float* y, int32_t W,
                                        int32_t H) {
  return LayRectLattice(angle, x, y, W, H,
                        [this](const int32_t* cx, const int32_t* cy) { return AppendGeo(cx, cy); });
}

bool MiscPhotoHesch::PrepQuadHGeoinQuadH(float angle01, float angle12, const float* x,
                                         const float* y, int32_t W, int32_t H) {
  return LayQuadLattice(angle01, angle12, x, y, W, H,
                        [this](const int32_t* cx, const int32_t* cy) { return AppendGeo(cx, cy); });
}

void MiscPhotoHesch::QuadHGeotoQuadHEff(int16_t symmetry) {
  const std::span<const CopyRow> rows = TwinSymmetryRows(symmetry);
  if (rows.empty()) return;
  if (!symmexp::Expand(geoHead, rows, RepeatsAboutCentre(symmetry), Eff())) EmptyLists();
}

void MiscPhotoHesch::PrepQuadsH(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  EmptyLists();
  if (par == nullptr) return;
  const int32_t W = right - left, H = bottom - top;
  float x[4], y[4], angle01 = 0, angle12 = 0;
  BaseQuadOf(par->sets[0].w, W, H, x, y, &angle01, &angle12);
  if (!PrepQuadHGeoinQuadH(angle01, angle12, x, y, W, H)) return;
  type = par->head.w[kTessSymmetry];
  QuadHGeotoQuadHEff(static_cast<int16_t>(type));
}

void MiscPhotoHesch::BleedQuad(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2,
                               int32_t y2, int32_t x3, int32_t y3, int32_t percentX,
                               int32_t percentY, int32_t* rx0, int32_t* ry0, int32_t* rx1,
                               int32_t* ry1, int32_t* rx2, int32_t* ry2, int32_t* rx3,
                               int32_t* ry3) {
  MiscQuorlin::BleedQuad(x0, y0, x1, y1, x2, y2, x3, y3, percentX, percentY, rx0, ry0, rx1, ry1,
                         rx2, ry2, rx3, ry3);
}

void MiscPhotoHesch::LoadTileBuf(const fichier*, int32_t, int32_t, int32_t, int32_t, int32_t,
                                 int32_t, uint8_t*, uint8_t*, uint8_t*, uint8_t*) {}

int32_t MiscPhotoHesch::FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity,
                                int16_t source, int32_t width, int32_t height, int32_t left,
                                int32_t top, int32_t right, int32_t bottom, uint8_t* plane0,
                                uint8_t* plane1, uint8_t* plane2, uint8_t* plane3,
                                const uint8_t* mask) {
  const vmkrec::EngineArea area = vmkrec::ClampArea(left, top, right, bottom, width, height, false);
  uint8_t* const planes[4] = {plane0, plane1, plane2, plane3};
  tessrender::Job job;
  if (par == nullptr || !tessrender::StartJob(planeCount, width, height, area, planes, &job))
    return -1;
  job.twin = true;
  job.source = source;
  // White is the twin's only source; the render file and the photo are not read.
  if (source == 1)
    vmkrec::PrepareEngineSource(1, job.planeCount, 255,
                                vmkrec::MakeSourceRequest(width, height, job.W, job.H, 0, 0, 0, 0,
                                                          1.0f, 1.0f, plane0, plane1, plane2,
                                                          plane3));
  const plat::Block<uint8_t> copies = tessrender::TakeCopies(job, job.copies);
  if (!copies) return -1;
  if (job.W > 0 && job.H > 0) {
    PrepQuadsH(0, 0, job.W, job.H);
    if (tessrender::DrawTiles(*par, effHead, job, nullptr) != 0) return -1;
  }
  tessrender::BlendBack(job, area, mask, blendMode, opacity);
  return 0;
}
