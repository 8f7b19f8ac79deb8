// The plaid's stripe overlays: the stripes of one set laid over the picture
// as the plaid engine lays them, repeat by repeat.
//
// The vertical set is the plaid's column strips (free list 1, palette A, the
// column repeat count); the horizontal set its row strips (free list 2,
// palette B, the row repeat count). Layout mode 1 takes each width in picture
// pixels (or, with the running flag, as the stripe's end position, held at
// the picture's edge); mode 2 shares each repeat between the stripes in
// proportion to their widths. Other modes, no repeats, or mode-2 widths that
// sum to nothing draw nothing.
#include <algorithm>

#include "engines/patterns/weave_plaid_record.h"
#include "views/image_box.h"
#include "views/view_geometry.h"

using namespace plat::draw;

namespace {

struct StripeSet {
  const WWInfo* strips;
  const uint8_t (*palette)[kPlaidColours];
  int32_t repeats;
  int32_t mode;
};

RGBColor StripeColour(const StripeSet& s, int32_t j) {
  const int32_t k = std::clamp(s.strips->stripColour[j], 0, kPlaidColours - 1);
  return RGBColor{static_cast<uint16_t>(s.palette[0][k] * 255), static_cast<uint16_t>(s.palette[1][k] * 255),
                  static_cast<uint16_t>(s.palette[2][k] * 255)};
}

// Walks the stripes of a set over a span of D pixels, calling paint(offset
// of the repeat, offset within it, width, stripe) for every enabled stripe.
template <class Paint>
void LayStripes(const StripeSet& s, int32_t D, int32_t picture, Paint paint) {
  const WWInfo& w = *s.strips;
  const int32_t n = s.repeats;
  const int32_t count = std::clamp(w.stripCount, 0, kFreeStrips);
  if (n <= 0 || picture <= 0) return;
  if (s.mode == 1) {
    for (int32_t i = 0; i < n; ++i) {
      int32_t at = static_cast<int32_t>(static_cast<int64_t>(D) * i / n);
      int32_t sum = 0;
      for (int32_t j = 0; j < count; ++j) {
        if (w.stripOn[j] != 1) continue;
        const int32_t d = w.cumulative == 0
                              ? static_cast<int32_t>(static_cast<int64_t>(D) * w.stripWidth[j] / picture)
                              : static_cast<int32_t>(static_cast<int64_t>(D) *
                                                     std::min(w.stripWidth[j], picture) / picture) -
                                    sum;
        sum += d;
        paint(at, d, j);
        at += d;
      }
    }
  } else if (s.mode == 2) {
    int64_t total = 0;
    for (int32_t j = 0; j < count; ++j)
      if (w.stripOn[j] == 1) total += w.stripWidth[j];
    if (total <= 0) return;
    const int32_t step = static_cast<int32_t>(static_cast<float>(D) / static_cast<float>(n) + 0.5f);
    for (int32_t i = 0; i < n; ++i) {
      int32_t at = i * step;
      for (int32_t j = 0; j < count; ++j) {
        if (w.stripOn[j] != 1) continue;
        const int32_t d = static_cast<int32_t>(static_cast<float>(step) * static_cast<float>(w.stripWidth[j]) /
                                                   static_cast<float>(total) +
                                               0.5f);
        paint(at, d, j);
        at += d;
      }
    }
  }
}

// The picture's size and the view limit's size; false when either is empty.
struct Sizes {
  int32_t W, H, w, h;
};

bool ReadSizes(const ImaboxState& state, const DrawPar* drawPar, Sizes* z) {
  if (drawPar == nullptr || state.srcWidth <= 0 || state.srcHeight <= 0) return false;
  *z = Sizes{state.srcWidth, state.srcHeight, drawPar->limit.right - drawPar->limit.left,
             drawPar->limit.bottom - drawPar->limit.top};
  return z->w > 0 && z->h > 0;
}

// The stripes' span along one axis: the whole view side, unless the picture
// is relatively longer across, when its aspect shortens the span.
int32_t StripeSpan(int32_t along, int32_t across, int32_t viewAlong, int32_t viewAcross) {
  if (static_cast<float>(along) / static_cast<float>(viewAlong) <
      static_cast<float>(across) / static_cast<float>(viewAcross)) {
    return static_cast<int32_t>(static_cast<int64_t>(viewAcross) * along / across);
  }
  return viewAlong;
}

Rect MakeRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return Rect{static_cast<int16_t>(top), static_cast<int16_t>(left), static_cast<int16_t>(bottom),
              static_cast<int16_t>(right)};
}

}  // namespace

void VMKimabox::DrawWWIVStrip(GrafPtr port, Rect rect) {
  vmkviews::OverlayFrame frame(port, rect, false, 1);
  Sizes z;
  if (plaid_ == nullptr || !ReadSizes(state_, drawPar_, &z)) return;
  const int32_t D = StripeSpan(z.W, z.H, z.w, z.h);
  const int32_t start = rect.left + (z.w - D) / 2;
  const StripeSet set{&plaid_->free1, plaid_->paletteA, plaid_->colRepeats, plaid_->lineMode};
  LayStripes(set, D, z.W, [&](int32_t at, int32_t d, int32_t j) {
    RGBForeColor(StripeColour(set, j));
    PaintRect(MakeRect(start + at, rect.top, start + at + d, rect.bottom));
  });
}

void VMKimabox::DrawWWIHStrip(GrafPtr port, Rect rect) {
  vmkviews::OverlayFrame frame(port, rect, false, 1);
  Sizes z;
  if (plaid_ == nullptr || !ReadSizes(state_, drawPar_, &z)) return;
  const int32_t D = StripeSpan(z.H, z.W, z.h, z.w);
  const int32_t base = rect.bottom - (z.h - D) / 2;
  const StripeSet set{&plaid_->free2, plaid_->paletteB, plaid_->rowRepeats, plaid_->lineMode};
  LayStripes(set, D, z.H, [&](int32_t at, int32_t d, int32_t j) {
    RGBForeColor(StripeColour(set, j));
    PaintRect(MakeRect(rect.left, base - at - d, rect.right, base - at));
  });
}

// The stripe drawn under a point, as the overlays above lay them over rect
// (the press lands on what the user sees): a point strictly inside a stripe
// picks it, a later repeat holding the point too overrides an earlier one.
// -1 when the point lies on no stripe.
int32_t VMKimabox::StripeAt(int16_t mode, const Rect& rect, Point p) const {
  Sizes z;
  if (plaid_ == nullptr || !ReadSizes(state_, drawPar_, &z)) return -1;
  int32_t picked = -1;
  if (mode == 2) {
    const int32_t D = StripeSpan(z.W, z.H, z.w, z.h);
    const int32_t start = rect.left + (z.w - D) / 2;
    const StripeSet set{&plaid_->free1, plaid_->paletteA, plaid_->colRepeats, plaid_->lineMode};
    LayStripes(set, D, z.W, [&](int32_t at, int32_t d, int32_t j) {
      if (start + at < p.h && p.h < start + at + d) picked = j;
    });
  } else if (mode == 1) {
    const int32_t D = StripeSpan(z.H, z.W, z.h, z.w);
    const int32_t base = rect.bottom - (z.h - D) / 2;
    const StripeSet set{&plaid_->free2, plaid_->paletteB, plaid_->rowRepeats, plaid_->lineMode};
    LayStripes(set, D, z.H, [&](int32_t at, int32_t d, int32_t j) {
      if (base - at - d < p.v && p.v < base - at) picked = j;
    });
  }
  return picked;
}
