#include "engines/tessellation/quad_lists.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "app/core/plane_geometry.h"
#include "engines/tessellation/quad_lattice.h"
#include "engines/records/param_record.h"

MiscQuorlin::MiscQuorlin() : par(static_cast<TessPar*>(vmkrec::NewScratch(sizeof(TessPar)))) {}

MiscQuorlin::~MiscQuorlin() { vmkrec::DeleteScratch(par); }

void MiscQuorlin::SetTessPar(const TessPar* record) {
  Copy_TessPar(record, par);
}

void MiscQuorlin::GetTessPar(TessPar* record) const {
  Copy_TessPar(par, record);
}

void MiscQuorlin::BleedQuad(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                            int32_t x3, int32_t y3, int32_t percentX, int32_t percentY,
                            int32_t* rx0, int32_t* ry0, int32_t* rx1, int32_t* ry1, int32_t* rx2,
                            int32_t* ry2, int32_t* rx3, int32_t* ry3) {
  const int64_t cx = ((x0 + int64_t{x2}) / 2 + (x1 + int64_t{x3}) / 2) / 2;
  const int64_t cy = ((y0 + int64_t{y2}) / 2 + (y1 + int64_t{y3}) / 2) / 2;
  auto scale = [](int64_t c, int32_t v, int32_t percent) {
    return static_cast<int32_t>(c + ((v - c) * percent) / 100);
  };
  *rx0 = scale(cx, x0, percentX), *ry0 = scale(cy, y0, percentY);
  *rx1 = scale(cx, x1, percentX), *ry1 = scale(cy, y1, percentY);
  *rx2 = scale(cx, x2, percentX), *ry2 = scale(cy, y2, percentY);
  *rx3 = scale(cx, x3, percentX), *ry3 = scale(cy, y3, percentY);
}

void MiscQuorlin::AddQuadGeo(int32_t n, Quads* q) {
  Geo().Add(n, q);
}
void MiscQuorlin::AddQuadEff(int32_t n, Quads* q) {
  Eff().Add(n, q);
}
void MiscQuorlin::DeleteQuadGeo(int32_t n) {
  Geo().Delete(n);
}
void MiscQuorlin::DeleteQuadEff(int32_t n) {
  Eff().Delete(n);
}
void MiscQuorlin::DeleteAllQuadGeo() {
  Geo().DeleteAll();
}
void MiscQuorlin::DeleteAllQuadEff() {
  Eff().DeleteAll();
}

bool MiscQuorlin::PrepQuadGeoinQuad(float angle01, float angle12, const float* x, const float* y,
                                    int32_t W, int32_t H) {
  return LayQuadLattice(angle01, angle12, x, y, W, H,
                        [this](const int32_t* cx, const int32_t* cy) { return AppendGeo(cx, cy); });
}

bool MiscQuorlin::PrepQuadGeoinRect(float angle, const float* x, const float* y, int32_t W,
                                    int32_t H) {
  return LayRectLattice(angle, x, y, W, H,
                        [this](const int32_t* cx, const int32_t* cy) { return AppendGeo(cx, cy); });
}
