// The cores of the rank filters, on typed views of a region.
//
// Both take a source view and a destination view of the same size, in
// samples: a pixel is `channels` consecutive samples of a row, and each
// channel is filtered on its own. The window is clipped to the view, which
// is the operation's region, never the plane around it.
#pragma once

#include <cstdint>

#include "platform/types/plane_view.h"

namespace rank {

enum class Extreme { kMax, kMin };

// dst(x, y) = the maximum (minimum) of src over the columns x - kx .. x + kx
// and rows y - ky .. y + ky, with kx = min(rx, x, last column - x) and ky
// likewise: the window shrinks symmetrically at the view's border, down to
// the pixel alone at a corner. Negative radii count as 0. O(1) a sample
// whatever the radii: van Herk / Gil-Werman blocks inside, running maxima
// from the nearer end in the border bands. Source and destination must not
// overlap. -1 when the scratch rows cannot be had (dst then undefined).
int32_t ExtremeFilter(plat::ConstPlaneView<uint8_t> src, plat::PlaneView<uint8_t> dst,
                      int32_t channels, int32_t rx, int32_t ry, Extreme extreme);

// dst(x, y) = the middle of the multiset of the (2r + 1)^2 samples
// src(clamp(x + i), clamp(y + j)), i, j in -r..r, each coordinate clamped to
// the view: a sample that the clamp names several times counts that many
// times. One channel. Sliding histograms with a tracked median; a row's
// first window is counted per distinct column and row with its
// multiplicity, so radii far beyond the view cost no more than the view.
// Source and destination must not overlap. -1 when the histogram rows
// cannot be had.
int32_t MedianFilter(plat::ConstPlaneView<uint8_t> src, plat::PlaneView<uint8_t> dst, int32_t r);

}  // namespace rank
