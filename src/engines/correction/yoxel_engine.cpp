#include "engines/correction/yoxel_engine.h"

#include <algorithm>
#include <cstring>

#include "app/core/colour_spaces.h"
#include "app/core/memory_manager.h"
#include "engines/correction/yoxel_plain_resize.h"
#include "engines/correction/yoxel_seams.h"
#include "engines/records/engine_frame.h"
#include "platform/memory/block.h"
#include "platform/parallel/cancel.h"

YoxelRect YoxelQuadToRect(const int32_t* quad, int32_t w, int32_t h) {
  // The record's y runs upward from the bottom edge; planes run downward.
  YoxelRect r;
  r.left = static_cast<int32_t>(static_cast<int64_t>(w) * quad[0] / 100000);
  r.right = static_cast<int32_t>(static_cast<int64_t>(w) * quad[2] / 100000);
  r.top = h - static_cast<int32_t>(static_cast<int64_t>(h) * quad[6] / 100000);
  r.bottom = h - static_cast<int32_t>(static_cast<int64_t>(h) * quad[4] / 100000);
  return r;
}

MiscYoxel::MiscYoxel() {
  if (holder_.par != nullptr) Init_YoxelPar(holder_.par, 500, 500, 72, 0, 5);
}

void MiscYoxel::SetYoxelPar(YoxelPar* p) {
  if (holder_.par != nullptr && p != nullptr) Copy_YoxelPar(p, holder_.par);
}

void MiscYoxel::GetYoxelPar(YoxelPar* p) {
  if (holder_.par != nullptr && p != nullptr) Copy_YoxelPar(holder_.par, p);
}

namespace {

// Full-picture rectangle of a request, in picture pixels, y downward as given.
YoxelRect FullPictureRect(const int32_t* quad, int32_t fullWidth, int32_t fullHeight) {
  // Partial requests take the record's y as it stands, without the flip: the picture's
  // rows run downward while the planes hold them bottom row first, so the target brought
  // back to plane coordinates (flipped there) lands where a whole render puts it.
  YoxelRect r;
  r.left = static_cast<int32_t>(static_cast<int64_t>(fullWidth) * quad[0] / 100000);
  r.right = static_cast<int32_t>(static_cast<int64_t>(fullWidth) * quad[2] / 100000);
  r.top = static_cast<int32_t>(static_cast<int64_t>(fullHeight) * quad[4] / 100000);
  r.bottom = static_cast<int32_t>(static_cast<int64_t>(fullHeight) * quad[6] / 100000);
  return r;
}

// Zero or negative extent (a quad whose corners are swapped is no rectangle either).
bool Empty(const YoxelRect& r) { return r.right <= r.left || r.bottom <= r.top; }

// The planes a FillBuf call works on.
struct Planes {
  int16_t count = 1;  // 1 or 3
  int32_t width = 0, height = 0;
  uint8_t* colour[3] = {};
  uint8_t* fourth = nullptr;  // colour mode only
  uint8_t* fifth = nullptr;   // colour mode only
  const uint8_t* opacity = nullptr;
};

// Where the plain resize reads: the caller's planes, or the region planes of a partial
// request.
struct ResizeSource {
  const uint8_t* colour[3] = {};
  const uint8_t* fourth = nullptr;
  const uint8_t* fifth = nullptr;
  int32_t width = 0, height = 0;
  YoxelRect rect;
};

// A partial request's source area read from the picture at full size, and the part of
// the target rectangle it feeds, in plane coordinates.
struct PartialPlan {
  plat::Block<uint8_t> region[4];
  ResizeSource source;
  YoxelRect target;
};

struct Request {
  int32_t fullLeft, fullTop, fullRight, fullBottom;
  float scaleX, scaleY;
  int32_t areaHeight;
};

// The requested part clipped to the target, its edges carried back to the source in
// proportion, that source area read (scale 1) and the clipped part brought to plane
// coordinates. -1: no memory. 1: the clipped part covers no whole plane pixel.
int16_t PlanPartial(const YoxelRect& src, const YoxelRect& tgt, const Request& q,
                    bool withFourth, PartialPlan* plan) {
  const int32_t cl = std::max(q.fullLeft, tgt.left), cr = std::min(q.fullRight + 1, tgt.right);
  const int32_t ct = std::max(q.fullTop, tgt.top), cb = std::min(q.fullBottom + 1, tgt.bottom);
  const int64_t sw = src.right - src.left, sh = src.bottom - src.top;
  const int64_t tw = tgt.right - tgt.left, th = tgt.bottom - tgt.top;
  const auto rl = static_cast<int32_t>(src.left + sw * (cl - tgt.left) / tw);
  const auto rr = static_cast<int32_t>(src.left + sw * (cr - tgt.left) / tw);
  const auto rt = static_cast<int32_t>(src.top + sh * (ct - tgt.top) / th);
  const auto rb = static_cast<int32_t>(src.top + sh * (cb - tgt.top) / th);
  YoxelRect& t = plan->target;
  t.left = static_cast<int32_t>(static_cast<float>(cl - q.fullLeft) / q.scaleX);
  t.right = static_cast<int32_t>(static_cast<float>(cr - q.fullLeft) / q.scaleX);
  t.top = q.areaHeight - static_cast<int32_t>(static_cast<float>(cb - q.fullTop) / q.scaleY);
  t.bottom = q.areaHeight - static_cast<int32_t>(static_cast<float>(ct - q.fullTop) / q.scaleY);
  if (Empty(t)) return 1;
  // The region is exactly the carried-back area (at least one pixel each way), bottom row
  // first as every plane.
  const int32_t rw = std::max(rr - rl, 1), rh = std::max(rb - rt, 1);
  const int64_t size = static_cast<int64_t>(rw) * rh;
  for (int32_t i = 0; i < (withFourth ? 4 : 3); ++i) {
    plan->region[i] = plat::Block<uint8_t>(size, WorkSource());
    if (!plan->region[i]) return -1;
    std::memset(plan->region[i].get(), 0, static_cast<size_t>(size));
  }
  // The photo reader stops before the right and bottom edges it is given.
  const vmkrec::SourceRequest read = vmkrec::MakeSourceRequest(
      rw, rh, rw, rh, rl, rt, rl + rw, rt + rh, 1.0f, 1.0f, plan->region[0].get(),
      plan->region[1].get(), plan->region[2].get(), plan->region[3].get());
  vmkrec::PrepareEngineSource(3, 3, 255, read);
  ResizeSource& s = plan->source;
  for (int32_t c = 0; c < 3; ++c) s.colour[c] = plan->region[c].get();
  s.fourth = plan->region[3].get();
  s.width = rw;
  s.height = rh;
  s.rect = {0, 0, rw, rh};
  return 0;
}

// The result copies: each plane taken as it is, so that a plane left out of the resize
// (or the part of one outside the target) reads back its own samples.
struct Results {
  plat::Block<uint8_t> colour[3], fourth, fifth;
  bool Take(const Planes& p, bool fourthToo, bool fifthToo) {
    const int64_t size = static_cast<int64_t>(p.width) * p.height;
    auto copy = [&](plat::Block<uint8_t>& b, const uint8_t* from) {
      b = plat::Block<uint8_t>(size, WorkSource());
      if (b) std::memcpy(b.get(), from, static_cast<size_t>(size));
      return static_cast<bool>(b);
    };
    for (int32_t c = 0; c < p.count; ++c)
      if (!copy(colour[c], p.colour[c])) return false;
    if (fourthToo && !copy(fourth, p.fourth)) return false;
    return !fifthToo || copy(fifth, p.fifth);
  }
};

int16_t Resample(const YoxelPar& par, const Planes& p, const ResizeSource& s,
                 const YoxelRect& tgt, Results& r, bool fourthToo, bool fifthToo) {
  const auto filter = static_cast<int16_t>(par.resizeMethod);
  if (p.count == 1) {
    return PerformYoxelCharResize(filter, par.sharpenAmount, par.noiseAmount, s.colour[0],
                                  s.width, s.height, r.colour[0].get(), p.width, p.height,
                                  s.rect.left, s.rect.top, s.rect.right, s.rect.bottom, tgt.left,
                                  tgt.top, tgt.right, tgt.bottom);
  }
  return PerformYoxelRGBKTResize(
      filter, par.sharpenAmount, par.noiseAmount, s.colour[0], s.colour[1], s.colour[2],
      fourthToo ? s.fourth : nullptr, fifthToo ? s.fifth : nullptr, s.width, s.height,
      r.colour[0].get(), r.colour[1].get(), r.colour[2].get(), r.fourth.get(), r.fifth.get(),
      p.width, p.height, s.rect.left, s.rect.top, s.rect.right, s.rect.bottom, tgt.left,
      tgt.top, tgt.right, tgt.bottom);
}

struct WriteBack {
  int16_t blendMode, opacity;
  int32_t fillMode, fill[3];
};

uint8_t Blend(const WriteBack& w, int32_t op, uint8_t v, uint8_t result) {
  unsigned char b = v;  // a mode outside 0..11 keeps the value
  X_optionRPart(&b, static_cast<uint32_t>(w.blendMode + 1), v, result);
  return static_cast<uint8_t>(((255 - op) * v + op * b) / 255);
}

// The results over the processing area at the same positions: the fill outside the
// target, the blend inside; the fourth plane blends as the colours, the fifth takes its
// result. Full opacity in mode 0 copies, unless an opacity plane weighs the pixels: the
// selection limits the effect in every mode.
void Write(const WriteBack& w, const Planes& p, const vmkrec::EngineArea& area,
           const YoxelRect& tgt, const Results& r) {
  const bool copy = w.opacity == 255 && w.blendMode == 0 && p.opacity == nullptr;
  for (int32_t y = area.top; y < area.bottom; ++y) {
    // A stale preview stops between bands of rows; its owner drops the planes.
    if ((y - area.top) % 64 == 0 && plat::Cancelled()) return;
    for (int32_t x = area.left; x < area.right; ++x) {
      const int64_t i = static_cast<int64_t>(y) * p.width + x;
      if (x < tgt.left || x >= tgt.right || y < tgt.top || y >= tgt.bottom) {
        if (w.fillMode != 1 && w.fillMode != 2) continue;
        for (int32_t c = 0; c < p.count; ++c) p.colour[c][i] = static_cast<uint8_t>(w.fill[c]);
        if (w.fillMode == 1 && p.fifth != nullptr) p.fifth[i] = 0;
        continue;
      }
      const int32_t op = p.opacity != nullptr ? p.opacity[i] * w.opacity / 255 : w.opacity;
      for (int32_t c = 0; c < p.count; ++c)
        p.colour[c][i] = copy ? r.colour[c][i] : Blend(w, op, p.colour[c][i], r.colour[c][i]);
      if (r.fourth) p.fourth[i] = copy ? r.fourth[i] : Blend(w, op, p.fourth[i], r.fourth[i]);
      if (r.fifth) p.fifth[i] = r.fifth[i];
    }
  }
}

}  // namespace

int16_t MiscYoxel::PlainResize(int16_t planes, int16_t blendMode, int16_t opacity,
                               int32_t width, int32_t height, const vmkrec::EngineArea& area,
                               const YoxelPartial* partial, uint8_t* red, uint8_t* green,
                               uint8_t* blue, uint8_t* fourth, uint8_t* fifth,
                               const uint8_t* opacityPlane) {
  const YoxelPar& par = *holder_.par;
  Planes p;
  p.count = planes == 3 ? 3 : 1;
  p.width = width;
  p.height = height;
  p.colour[0] = red;
  p.colour[1] = green;
  p.colour[2] = blue;
  p.fourth = p.count == 3 ? fourth : nullptr;
  p.fifth = p.count == 3 ? fifth : nullptr;
  p.opacity = opacityPlane;

  PartialPlan plan;
  ResizeSource source;
  YoxelRect tgt;
  if (partial != nullptr) {
    const Request q{partial->fullLeft, partial->fullTop, partial->fullRight, partial->fullBottom,
                    partial->scaleX, partial->scaleY, area.bottom - area.top};
    const int16_t planned = PlanPartial(partial->source, partial->target, q,
                                        p.fourth != nullptr, &plan);
    if (planned < 0) return -1;
    if (planned > 0) return BlendInPlace(planes, blendMode, opacity, width, area, red, green,
                                         blue, opacityPlane);
    source = plan.source;
    tgt = plan.target;
  } else {
    // Proportional to the processing rectangle, compared with plane coordinates, as the
    // carving does.
    const int32_t w = area.right - area.left, h = area.bottom - area.top;
    const YoxelRect s = YoxelQuadToRect(par.sourceQuad, w, h);
    tgt = YoxelQuadToRect(par.targetQuad, w, h);
    for (int32_t c = 0; c < p.count; ++c) source.colour[c] = p.colour[c];
    source.fourth = p.fourth;
    source.fifth = p.fifth;
    source.width = width;
    source.height = height;
    source.rect = {std::max(s.left, 0), std::max(s.top, 0), std::min(s.right, width),
                   std::min(s.bottom, height)};
    if (Empty(source.rect) || Empty(tgt)) return -1;
  }
  // A partial request reads no fourth or fifth plane from the picture; those stay as
  // they are there.
  const bool fourthToo = source.fourth != nullptr && p.fourth != nullptr;
  const bool fifthToo = source.fifth != nullptr && p.fifth != nullptr;
  Results r;
  if (!r.Take(p, fourthToo, fifthToo)) return -1;
  if (Resample(par, p, source, tgt, r, fourthToo, fifthToo) != 0) return -1;
  if (plat::Cancelled()) return 0;
  const bool black = par.fillMode == 1;
  const WriteBack wb{blendMode, opacity, par.fillMode,
                     {black ? 0 : par.fillRed & 255, black ? 0 : par.fillGreen & 255,
                      black ? 0 : par.fillBlue & 255}};
  Write(wb, p, area, tgt, r);
  return 0;
}

int16_t MiscYoxel::BlendInPlace(int16_t planes, int16_t blendMode, int16_t opacity,
                                int32_t width, const vmkrec::EngineArea& area, uint8_t* red,
                                uint8_t* green, uint8_t* blue, const uint8_t* opacityPlane) {
  // Every pixel blended with itself: mode 0 leaves the picture as it is.
  if (blendMode == 0) return 0;
  uint8_t* plane[3] = {red, green, blue};
  for (int32_t c = 0; c < (planes == 3 ? 3 : 1); ++c)
    vmkrec::BlendEffect(plane[c], plane[c], opacityPlane, width, area, blendMode, opacity);
  return 0;
}

int16_t MiscYoxel::FillBuf(int16_t planes, int16_t blendMode, int16_t opacity, int16_t source,
                           int16_t apply, int32_t width, int32_t height, int32_t left,
                           int32_t top, int32_t right, int32_t bottom, int32_t fullWidth,
                           int32_t fullHeight, int32_t fullLeft, int32_t fullTop,
                           int32_t fullRight, int32_t fullBottom, float scaleX, float scaleY,
                           uint8_t* red, uint8_t* green, uint8_t* blue, uint8_t* fourth,
                           uint8_t* fifth, uint8_t* sixth, const uint8_t* opacityPlane) {
  YoxelPar* par = holder_.par;
  if (par == nullptr || width <= 0 || height <= 0 || red == nullptr) return -1;
  const int16_t count = planes == 3 ? 3 : 1;
  if (count == 3 && (green == nullptr || blue == nullptr)) return -1;
  const vmkrec::EngineArea area = vmkrec::ClampArea(left, top, right, bottom, width, height, false);
  const int32_t w = area.right - area.left;
  const int32_t h = area.bottom - area.top;

  const vmkrec::SourceRequest request =
      vmkrec::MakeSourceRequest(width, height, w, h, fullLeft, fullTop, fullRight, fullBottom,
                                scaleX, scaleY, red, green, blue, sixth);
  vmkrec::PrepareEngineSource(source, count, 255, request);
  if (w <= 0 || h <= 0) return 0;  // nothing to process
  // Stopped (a stale preview), the planes hold the picture as read.
  if (plat::Cancelled()) return 0;

  bool resize = apply == 1;
  const bool partial = source == 3 && (fullRight - fullLeft != fullWidth - 1 ||
                                       fullBottom - fullTop != fullHeight - 1);
  YoxelPartial part;
  if (resize && partial) {
    part = {FullPictureRect(par->sourceQuad, fullWidth, fullHeight),
            FullPictureRect(par->targetQuad, fullWidth, fullHeight),
            fullLeft, fullTop, fullRight, fullBottom, scaleX, scaleY};
    if (Empty(part.source) || Empty(part.target)) return -1;
    const bool meets = fullLeft < part.target.right && fullRight >= part.target.left &&
                       fullTop < part.target.bottom && fullBottom >= part.target.top;
    if (!meets) resize = false;
  }

  if (resize && par->resizeMethod == 8) {
    // The rectangles are proportional to the processing rectangle's size but compared with
    // plane coordinates; callers hand processing rectangles that start at (0, 0). A partial
    // request carves the caller's planes as they are.
    const YoxelRect s = YoxelQuadToRect(par->sourceQuad, w, h);
    const YoxelRect t = YoxelQuadToRect(par->targetQuad, w, h);
    const YoxelRect m = YoxelQuadToRect(par->middleQuad, w, h);
    PerformSmartBufResize(count, blendMode, opacity, width, height, area.left, area.top,
                          area.right, area.bottom, red, green, blue, fourth, fifth, opacityPlane,
                          par->maskWidth, par->maskHeight, par->protectMask, par->removeMask,
                          par->protectWeight, par->removeWeight,
                          static_cast<int16_t>(par->twoStage), m.left, m.top, m.right, m.bottom,
                          static_cast<int16_t>(par->edgeKernel),
                          static_cast<int16_t>(par->flipMode), par->contrast, par->energySpread,
                          0, 0, 0, 0, s.left, s.top, s.right, s.bottom, t.left, t.top, t.right,
                          t.bottom, static_cast<int16_t>(par->fillMode), par->fillRed,
                          par->fillGreen, par->fillBlue);
    return 0;
  }
  if (!resize) return BlendInPlace(count, blendMode, opacity, width, area, red, green, blue,
                                   opacityPlane);
  return PlainResize(count, blendMode, opacity, width, height, area,
                     resize && partial ? &part : nullptr, red, green, blue, fourth, fifth,
                     opacityPlane);
}
