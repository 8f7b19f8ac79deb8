#include "engines/tessellation/symmetry_expansion.h"

#include "engines/tessellation/quad_lattice.h"
#include "platform/imageio/image_io.h"

void MiscQuorlin::QuadGeotoQuadEff(int16_t symmetry) {
  const std::span<const CopyRow> rows = SymmetryRows(symmetry);
  if (rows.empty()) return;
  if (!symmexp::Expand(geoHead, rows, RepeatsAboutCentre(symmetry), Eff())) EmptyLists();
}

void MiscQuorlin::PrepQuads(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  EmptyLists();
  if (par == nullptr) return;
  // No picture is wider or taller than an image file can be: a rectangle beyond that (one
  // spanning the int range) makes no quads, whose 32-bit corners would overflow.
  const int64_t spanX = int64_t{right} - left, spanY = int64_t{bottom} - top;
  if (spanX > plat::imageio::kMaxDimension || spanY > plat::imageio::kMaxDimension) return;
  const auto W = static_cast<int32_t>(spanX), H = static_cast<int32_t>(spanY);
  float x[4], y[4], angle01 = 0, angle12 = 0;
  BaseQuadOf(par->sets[0].w, W, H, x, y, &angle01, &angle12);
  if (!PrepQuadGeoinQuad(angle01, angle12, x, y, W, H)) return;
  type = par->head.w[kTessSymmetry];
  QuadGeotoQuadEff(static_cast<int16_t>(type));
}
