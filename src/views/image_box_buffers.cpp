// The image box's buffers and display parameters, and the operations that move
// pixels, mask values and colours in and out of it.
//
// The display buffer holds view width x view height RGBA pixels; the scaled
// image fills its top-left displayed width x displayed height pixels and its
// row 0 is the image's bottom line on the screen. Masks A and B are 16-bit
// planes of mask width x mask height, full scale 16384.
//
// On a window of backing scale k above 1 the box also keeps the fine display,
// the same layout at k times the size each way, which the previews fill and
// the view draws one to one on the device pixels. Everything that reads or
// writes pixels by view coordinates keeps using the display; a write to it
// from outside the previews leaves the fine display behind, and the view
// then draws the display itself (each pixel a k x k block) until the next
// preview.
#include <algorithm>
#include <cstring>

#include "app/core/memory_manager.h"
#include "engines/correction/colour_correction.h"
#include "engines/correction/colour_matrix.h"
#include "engines/correction/grid_record.h"
#include "engines/correction/lens_correction.h"
#include "engines/correction/resize_record.h"
#include "engines/patterns/border_record.h"
#include "engines/patterns/cookie_cutter_record.h"
#include "engines/patterns/fractal_record.h"
#include "engines/patterns/image_combination_record.h"
#include "engines/patterns/shape_record.h"
#include "engines/patterns/weave_plaid_record.h"
#include "engines/tessellation/photo_repeat_record.h"
#include "engines/tessellation/tessellation_record.h"
#include "platform/toolbox/api/ui_services.h"
#include "raster/densitometer.h"
#include "raster/plane_copy.h"
#include "views/box_memory.h"
#include "views/image_box.h"
#include "views/view_geometry.h"

using namespace plat::tb;
using vmkviews::PixelOfUnit;
using vmkviews::TakeRecord;

namespace {

template <class R>
void TakeOnce(R*& slot) {
  if (slot == nullptr) slot = TakeRecord<R>();
}

// Pan frames 0, 1 and 2 follow bits 0, 1 and 2 of a pan-frame set of 0 to 7;
// another value leaves them as they were.
void DeriveFrames(ImaboxParam* p) {
  if (p->panFrameSet < 0 || p->panFrameSet > 7) return;
  for (int k = 0; k < 3; ++k) p->panFrameShown[k] = static_cast<int16_t>((p->panFrameSet >> k) & 1);
}

int64_t Area(int32_t w, int32_t h) { return static_cast<int64_t>(w) * h; }

}  // namespace

// ---- buffers ----

void VMKimabox::InitBufSize() {
  backing_ = 1;
  if (state_.view != nullptr) {
    const Rect b = GetControlBounds(state_.view);
    state_.viewLeft = b.left;
    state_.viewTop = b.top;
    state_.viewWidth = b.right - b.left;
    state_.viewHeight = b.bottom - b.top;
    if (const plat::draw::Port* port = GetWindowPort(GetControlOwner(state_.view)))
      backing_ = port->backingScale();
  }
  display_.reset();
  fine_.reset();
  fineScale_ = 0;
  const int64_t pixels = Area(state_.viewWidth, state_.viewHeight);
  if (pixels > 0) display_ = plat::Block<uint8_t>(pixels * 4, WorkSource());
  // Until a preview loads it the buffer shows as transparent, not as
  // whatever the memory held.
  display_.Clear();
  // Without a display buffer nothing is shown: no displayed image either.
  dispWidth_ = display_ ? state_.viewWidth : 0;
  dispHeight_ = display_ ? state_.viewHeight : 0;
  // A fine display that cannot be had leaves the previews at the view's
  // size, drawn enlarged.
  if (display_ && backing_ > 1) {
    fine_ = plat::Block<uint8_t>(pixels * backing_ * backing_ * 4, WorkSource());
    fine_.Clear();
    if (fine_) fineScale_ = backing_;
    else backing_ = 1;
  }
}

void VMKimabox::InitBuf(int16_t mode) {
  if (yoxel_ == nullptr) yoxel_ = new Yoxel;
  switch (mode) {
    case 1:
      TakeOnce(grid_);
      TakeOnce(fract_);
      TakeOnce(tess_);
      TakeOnce(colCor_);
      TakeOnce(combIma_);
      TakeOnce(bord_);
      TakeOnce(rep_);
      TakeOnce(cookiCut_);
      TakeOnce(zondrac_);
      TakeOnce(colMat_);
      TakeOnce(weave_);
      TakeOnce(plaid_);
      break;
    case 2: TakeOnce(plaid_); break;
    case 3: TakeOnce(rep_); break;
    case 6: TakeOnce(tess_); break;
    case 12: TakeOnce(cookiCut_); break;
    case 17: TakeOnce(combIma_); break;
    case 20: TakeOnce(fract_); break;
    case 22: TakeOnce(grid_); break;
    case 23: TakeOnce(colCor_); break;
    case 24: TakeOnce(bord_); break;
    case 25: TakeOnce(weave_); break;
    case 26: TakeOnce(shape_); break;
    case 28: TakeOnce(colMat_); break;
    case 30: TakeOnce(zondrac_); break;
    default: break;
  }
  InitBufSize();
  if (!brush_) brush_ = plat::Block<int32_t>(5, WorkSource());
  if (brush_) {
    brush_[1] = 255;
    brush_[2] = 0;
    brush_[3] = 0;
    brush_[4] = 64;
  }
  SetRGBmode(1, 2, 4, 0, 16, 32);
}

// A mask asked for at a larger size than it has is taken anew: copies,
// brushing and tinting index it by the new size.
void VMKimabox::InitBufMsk(int32_t w, int32_t h, int16_t which) {
  const int64_t count = Area(w, h);
  if (w <= 0 || h <= 0 || count > INT32_MAX / 2) return;
  state_.maskWidth = w;
  state_.maskHeight = h;
  auto prepare = [count](plat::Block<int16_t>& mask) {
    if (mask.size() < count) mask = plat::Block<int16_t>(count, WorkSource());
    mask.Clear();
  };
  if (which == 1 || which == 3) prepare(maskA_);
  if (which == 2 || which == 3) prepare(maskB_);
}

bool VMKimabox::MaskUsable(const plat::Block<int16_t>& mask) const {
  return mask && mask.size() >= Area(state_.maskWidth, state_.maskHeight);
}

// ---- display parameters ----

// Field 2 is cleared with the rest: nothing reads it before a dialog sets it.
void VMKimabox::InitBufParam(ImaboxParam* param) { *param = ImaboxParam{}; }

// The lens mode is not taken: only SetZondracMode changes it.
void VMKimabox::CopyBufParam(ImaboxParam* param) {
  const int16_t lens = param_.lensMode;
  int16_t shown[3];
  std::copy(param_.panFrameShown, param_.panFrameShown + 3, shown);
  param_ = *param;
  param_.lensMode = lens;
  std::copy(shown, shown + 3, param_.panFrameShown);
  DeriveFrames(&param_);
}

void VMKimabox::SetBufParam(int16_t a1, int16_t a2, int16_t a3, int16_t a4, int16_t a5,
                            int16_t a6, int16_t a7, int16_t a8, int16_t a9, int16_t a10,
                            int16_t a11, int16_t a12, int16_t a13) {
  param_.hiddenFill = a1;
  param_.carried1 = a2;
  param_.carried2 = a3;
  param_.pathMode = a4;
  param_.panFrameSet = a5;
  param_.quadMode = a6;
  param_.imageShown = a7;
  param_.gridMode = a8;
  param_.gridOverlay = a9;
  param_.carried15 = a10;
  param_.tessMode = a11;
  param_.repeatMode = a12;
  param_.borderMode = a13;
  DeriveFrames(&param_);
}

// ---- pan, quad, brush ----

void VMKimabox::SetBufSSPan(int32_t left, int32_t top, int32_t right, int32_t bottom,
                            int16_t scaleTag, int16_t index, int16_t panTag) {
  if (index >= 0 && index <= 2) {
    state_.frameLeft[index] = left;
    state_.frameTop[index] = top;
    state_.frameRight[index] = right;
    state_.frameBottom[index] = bottom;
  }
  state_.scaleTag = scaleTag;
  state_.panTag = panTag;
}

void VMKimabox::GetBufSSPan(int32_t* left, int32_t* top, int32_t* right, int32_t* bottom,
                            int16_t index) {
  if (index < 0 || index > 2) return;
  *left = state_.frameLeft[index];
  *top = state_.frameTop[index];
  *right = state_.frameRight[index];
  *bottom = state_.frameBottom[index];
}

void VMKimabox::SetBufSSQua(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2,
                            int32_t y2, int32_t x3, int32_t y3, int16_t scaleTag,
                            int16_t quadTag) {
  const int32_t xs[4] = {x0, x1, x2, x3};
  const int32_t ys[4] = {y0, y1, y2, y3};
  std::copy(xs, xs + 4, state_.quadX);
  std::copy(ys, ys + 4, state_.quadY);
  state_.scaleTag = scaleTag;
  state_.quadTag = quadTag;
}

void VMKimabox::GetBufSSQua(int32_t* x0, int32_t* y0, int32_t* x1, int32_t* y1, int32_t* x2,
                            int32_t* y2, int32_t* x3, int32_t* y3) {
  *x0 = state_.quadX[0];
  *y0 = state_.quadY[0];
  *x1 = state_.quadX[1];
  *y1 = state_.quadY[1];
  *x2 = state_.quadX[2];
  *y2 = state_.quadY[2];
  *x3 = state_.quadX[3];
  *y3 = state_.quadY[3];
}

void VMKimabox::SetPanBufCoord(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  state_.panLeft = left;
  state_.panTop = top;
  state_.panRight = right;
  state_.panBottom = bottom;
}

// The brush stops at 299, not 300: the masks' footprints were sized for it.
void VMKimabox::SetBruMod(int32_t size, int32_t second, int32_t third, int32_t fourth) {
  state_.brushValue4 = fourth;
  state_.brushValue3 = third;
  state_.brushValue2 = second;
  size = std::min(size, 299);
  if (size != state_.brushSize) {
    state_.brushSize = size;
    state_.brushSizeCopy = size;
  }
}

// ---- pixels in and out ----

void VMKimabox::SetBuf(int16_t mode, int32_t stride, int32_t, char* pixels, int32_t w, int32_t h,
                       int16_t alpha) {
  if (w == 0 || h == 0 || mode != 0 || pixels == nullptr || !display_) return;
  // The owner's picture replaces what a preview asked for before it would show, in the layout
  // that preview was asked with: one still on its way is dropped when it comes (a library
  // slot's new picture record asks for a preview of the photograph, and the thumbnail put in
  // right after it was covered by the photograph's corner when that preview came back from the
  // worker), and its layout is taken now, as a preview made at once would have left it.
  ++previewGeneration_;
  if (auto running = runningPreview_.lock()) {
    const vmkviews::PreviewCall& call = running->call();
    if (call.viewWidth == state_.viewWidth * call.backing && call.viewHeight == state_.viewHeight * call.backing)
      CommitLayout(call);
    running->MarkStale();
  }
  runningPreview_.reset();
  fineScale_ = 0;
  const auto* src = reinterpret_cast<const uint8_t*>(pixels);
  for (int32_t y = 0; y < dispHeight_; ++y) {
    uint8_t* out = display_.get() + Area(y, state_.viewWidth) * 4;
    for (int32_t x = 0; x < dispWidth_; ++x, out += 4) {
      const bool inside = x < w && y < h;
      const uint8_t* p = inside ? src + (Area(y, stride) + x) * 4 : nullptr;
      out[0] = inside && rgbMode_[0] == 1 ? p[0] : 0;
      out[1] = inside && rgbMode_[1] == 2 ? p[1] : 0;
      out[2] = inside && rgbMode_[2] == 4 ? p[2] : 0;
      out[3] = static_cast<uint8_t>(alpha);
    }
  }
}

void VMKimabox::GetBuf(int32_t stride, int32_t, char* pixels, int32_t w, int32_t h) {
  if (!display_ || pixels == nullptr || dispWidth_ <= 0 || dispHeight_ <= 0) return;
  auto* dst = reinterpret_cast<uint8_t*>(pixels);
  for (int32_t y = 0; y < h; ++y) {
    const int32_t row = static_cast<int32_t>(Area(y, dispHeight_) / h);
    for (int32_t x = 0; x < w; ++x) {
      const int32_t col = static_cast<int32_t>(Area(x, dispWidth_) / w);
      const uint8_t* p = display_.get() + (Area(row, state_.viewWidth) + col) * 4;
      std::memcpy(dst + (Area(y, stride) + x) * 4, p, 3);
    }
  }
}

void VMKimabox::GetBufRGB(int32_t stride, int32_t, uint8_t* r, uint8_t* g, uint8_t* b, int32_t w,
                          int32_t h) {
  if (!display_ || r == nullptr || g == nullptr || b == nullptr || dispWidth_ <= 0 ||
      dispHeight_ <= 0) {
    return;
  }
  for (int32_t y = 0; y < h; ++y) {
    const int32_t row = static_cast<int32_t>(Area(y, dispHeight_) / h);
    for (int32_t x = 0; x < w; ++x) {
      const int32_t col = static_cast<int32_t>(Area(x, dispWidth_) / w);
      const uint8_t* p = display_.get() + (Area(row, state_.viewWidth) + col) * 4;
      const int64_t i = Area(y, stride) + x;
      r[i] = p[0];
      g[i] = p[1];
      b[i] = p[2];
    }
  }
}

// maskOk and srcW, srcH travel with every call and are not read: the mask
// plane and the display size say everything the load needs.
void VMKimabox::SetBufRGB(int16_t mode, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int16_t,
                          int32_t, int32_t, int32_t stride, int32_t rows, uint8_t* r, uint8_t* g,
                          uint8_t* b, uint8_t* m, int16_t alpha, int16_t maskTint) {
  if (!display_ || r == nullptr || g == nullptr || b == nullptr || stride <= 0 ||
      rows <= 0) {
    return;
  }
  // The fine display no longer shows what the display holds.
  fineScale_ = 0;
  auto* display = reinterpret_cast<uint32_t*>(display_.get());
  if (mode != 0) {
    BufToBufMulChartoLongLow_andR(stride, rows, r, g, b, state_.viewWidth, state_.viewHeight,
                                  display, 0, 0, stride, rows, 0, 0, dispWidth_, dispHeight_);
    return;
  }
  ComposeRGB(display, state_.viewWidth, state_.viewHeight, dispWidth_, dispHeight_, x0, y0, x1, y1,
             stride, rows, r, g, b, m, alpha, maskTint);
}

void VMKimabox::SetFineBufRGB(int32_t scale, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t stride,
                              int32_t rows, uint8_t* r, uint8_t* g, uint8_t* b, uint8_t* m, int16_t alpha,
                              int16_t maskTint) {
  if (scale <= 1) {
    SetBufRGB(0, x0, y0, x1, y1, 1, 0, 0, stride, rows, r, g, b, m, alpha, maskTint);
    return;
  }
  if (!display_ || r == nullptr || g == nullptr || b == nullptr || stride <= 0 || rows <= 0) return;
  const int32_t vw = state_.viewWidth, vh = state_.viewHeight;
  // Whether the fine display still shows what the display shows.
  const bool mirrored = fineScale_ == scale;
  // The display's samples: the picture points a load of the view's size
  // would have taken, the first device pixel of each view pixel, read in
  // place over the bounds only (a brush recomposes a small rectangle at
  // every step of the pointer).
  ComposeRGB(reinterpret_cast<uint32_t*>(display_.get()), vw, vh, dispWidth_, dispHeight_, x0, y0, x1, y1, stride,
             rows, r, g, b, m, alpha, maskTint, scale);
  // The fine display only while it is of this scale (the window may have
  // changed screens since the planes were rendered).
  fineScale_ = 0;
  if (!fine_ || scale != backing_) return;
  // A load of part of the display leaves the rest as it was: where the fine
  // display no longer followed the display, it takes the display's pixels
  // first, each as a block, so outside the bounds both show the same.
  if (!mirrored) {
    const auto* from = reinterpret_cast<const uint32_t*>(display_.get());
    auto* to = reinterpret_cast<uint32_t*>(fine_.get());
    for (int32_t y = 0; y < vh * scale; ++y) {
      const uint32_t* src = from + Area(y / scale, vw);
      uint32_t* dst = to + Area(y, vw * scale);
      for (int32_t x = 0; x < vw * scale; ++x) dst[x] = src[x / scale];
    }
  }
  ComposeRGB(reinterpret_cast<uint32_t*>(fine_.get()), vw * scale, vh * scale, dispWidth_ * scale,
             dispHeight_ * scale, x0 * scale, y0 * scale, x1 * scale, y1 * scale, stride * scale, rows * scale, r, g,
             b, m, alpha, maskTint);
  fineScale_ = scale;
}

plat::draw::ImageRef VMKimabox::DisplayImage() const {
  const int32_t k = fineScale_ > 1 && fine_ ? fineScale_ : 1;
  if (k > 1) return plat::draw::ImageRef{fine_.get(), dispWidth_ * k, dispHeight_ * k, state_.viewWidth * k * 4};
  return plat::draw::ImageRef{display_.get(), dispWidth_, dispHeight_, state_.viewWidth * 4};
}

void VMKimabox::ComposeRGB(uint32_t* display, int32_t destWidth, int32_t destHeight, int32_t dispW,
                           int32_t dispH, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                           int32_t stride, int32_t rows, const uint8_t* r, const uint8_t* g,
                           const uint8_t* b, const uint8_t* m, int16_t alpha, int16_t maskTint,
                           int32_t step) {
  const int32_t xe = std::min(x1, dispW);
  const int32_t ye = std::min(y1, dispH);
  step = std::max(step, 1);
  const int64_t planeSize = Area(stride, rows);
  const int64_t displaySize = Area(destWidth, destHeight);
  // The window on the masks that the pan rectangle shows.
  const int32_t mw = state_.maskWidth;
  const int32_t mh = state_.maskHeight;
  const int16_t mx0 = static_cast<int16_t>(PixelOfUnit(mw, state_.panLeft));
  const int16_t my0 = static_cast<int16_t>(PixelOfUnit(mh, state_.panTop));
  const int16_t mx1 = static_cast<int16_t>(PixelOfUnit(mw, state_.panRight));
  const int16_t my1 = static_cast<int16_t>(PixelOfUnit(mh, state_.panBottom));
  const bool tintMasks = state_.maskMode == 1 || state_.maskMode == 2;
  const int64_t maskCount = Area(mw, mh);
  const bool tintA = tintMasks && rgbMode_[4] == 16 && MaskUsable(maskA_);
  const bool tintB = tintMasks && rgbMode_[5] == 32 && MaskUsable(maskB_);
  for (int32_t y = std::max(y0, 0); y < ye; ++y) {
    // Display rows count from the bottom, mask rows from the top of the
    // picture, as the brush stamps them, the readout reads them and the
    // engine weighs them: the tint takes the mask row of the screen line
    // the display row is drawn on, so a stroke shows where it was painted.
    const int32_t line = dispH - 1 - y;
    const int64_t maskRow = static_cast<int64_t>(mw) * (my0 + Area(line, my1 - my0) / dispH);
    for (int32_t x = std::max(x0, 0); x < xe; ++x) {
      const int64_t i = Area(y, stride) + x;
      if (i >= planeSize || i >= displaySize) continue;
      // The plane's sample: the pixel's own, or the first of its block in
      // planes step times as wide and high (sample i of a plane of the
      // view's size, even past the end of its row).
      int64_t p = i;
      if (step > 1) {
        const int64_t row = x < stride ? y : i / stride;
        const int64_t col = x < stride ? x : i % stride;
        p = (row * stride * step + col) * step;
      }
      int32_t rv = r[p];
      int32_t gv = g[p];
      int32_t bv = b[p];
      if (maskTint == 1 && m != nullptr) {
        const int32_t mv = m[p];
        rv = (rv * mv + 255 * (255 - mv)) / 255;
        gv = gv * mv / 255;
        bv = bv * mv / 255;
      }
      if (tintA || tintB) {
        const int64_t k = maskRow + mx0 + Area(x, mx1 - mx0) / dispW;
        if (k >= 0 && k < maskCount) {
          if (tintA) rv = (rv * (16384 - maskA_[k]) + maskA_[k] * 255) / 16384;
          if (tintB) gv = (gv * (16384 - maskB_[k]) + maskB_[k] * 255) / 16384;
        }
      }
      uint8_t* out = reinterpret_cast<uint8_t*>(display + i);
      out[0] = rgbMode_[0] == 1 ? static_cast<uint8_t>(rv) : 0;
      out[1] = rgbMode_[1] == 2 ? static_cast<uint8_t>(gv) : 0;
      out[2] = rgbMode_[2] == 4 ? static_cast<uint8_t>(bv) : 0;
      out[3] = static_cast<uint8_t>(alpha);
    }
  }
}

// ---- masks in and out ----

void VMKimabox::SetMskBuf(int16_t scaled, int32_t w, int32_t h, char* a, char* b) {
  const int32_t mw = state_.maskWidth;
  const int32_t mh = state_.maskHeight;
  auto load = [&](const plat::Block<int16_t>& block, const char* plane) {
    int16_t* mask = block.get();
    if (mask == nullptr || plane == nullptr || w <= 0 || h <= 0) return;
    const auto* src = reinterpret_cast<const int16_t*>(plane);
    if (scaled == 0) {
      std::memcpy(mask, src, static_cast<size_t>(std::min<int64_t>(Area(w, h), block.size()) * 2));
      return;
    }
    if (!MaskUsable(block)) return;
    for (int32_t my = 0; my < mh; ++my) {
      const int64_t row = Area(my, h) / mh;
      for (int32_t mx = 0; mx < mw; ++mx) mask[Area(my, mw) + mx] = src[row * w + Area(mx, w) / mw];
    }
  };
  load(maskA_, a);
  load(maskB_, b);
}

void VMKimabox::GetMskBuf(int16_t scaled, int32_t w, int32_t h, char* a, char* b) {
  const int32_t mw = state_.maskWidth;
  const int32_t mh = state_.maskHeight;
  auto store = [&](const plat::Block<int16_t>& block, char* plane) {
    const int16_t* mask = block.get();
    if (mask == nullptr || plane == nullptr || w <= 0 || h <= 0) return;
    auto* dst = reinterpret_cast<int16_t*>(plane);
    if (scaled == 0) {
      std::memcpy(dst, mask, static_cast<size_t>(std::min<int64_t>(Area(w, h), block.size()) * 2));
      return;
    }
    if (!MaskUsable(block)) return;
    for (int32_t y = 0; y < h; ++y) {
      const int64_t row = Area(y, mh) / h;
      for (int32_t x = 0; x < w; ++x) dst[Area(y, w) + x] = mask[row * mw + Area(x, mw) / w];
    }
  };
  store(maskA_, a);
  store(maskB_, b);
}

// ---- reading under a point ----

void VMKimabox::GetRGBcolfromBuf(int16_t flip, int32_t x, int32_t y, int16_t* r, int16_t* g,
                                 int16_t* b, int16_t* imageX, int16_t* imageY) {
  *r = *g = *b = *imageX = *imageY = -1;
  const int32_t px = x - state_.originX;
  const int32_t py = y - state_.originY;
  if (!display_ || px < 0 || py < 0 || px >= dispWidth_ || py >= dispHeight_) return;
  const int32_t w = state_.srcWidth;
  const int32_t h = state_.srcHeight;
  const int32_t pan[4] = {state_.panLeft, state_.panTop, state_.panRight, state_.panBottom};
  const vmkviews::PanMap map = vmkviews::MakePanMap(w, h, pan, dispWidth_, dispHeight_, 0, 0);
  if (w <= 0 || h <= 0 || !map.ok) return;
  const float fx = map.sx;
  const float fy = map.sy;
  *imageX = static_cast<int16_t>(static_cast<float>(px) / fx + static_cast<float>(map.x0));
  if (flip != 1) {
    *imageY = static_cast<int16_t>(static_cast<float>(py) / fy + static_cast<float>(map.y0));
  } else {
    *imageY = static_cast<int16_t>(static_cast<float>(h - 1) - static_cast<float>(py) / fy +
                                   static_cast<float>(map.y0));
  }
  if (X_RGBLongDensitometre(state_.viewHeight, state_.viewWidth,
                            reinterpret_cast<const uint32_t*>(display_.get()), px,
                            dispHeight_ - 1 - py, sampleSize_, r, g, b) != 0) {
    *r = *g = *b = -1;
  }
}

void VMKimabox::GetMskcolfromBuf(int32_t x, int32_t y, int16_t* b, int16_t* a) {
  *b = *a = -1;
  const int32_t px = x - state_.originX;
  const int32_t py = y - state_.originY;
  if (px < 0 || py < 0 || px >= dispWidth_ || py >= dispHeight_) return;
  const int32_t mw = state_.maskWidth;
  const int32_t mh = state_.maskHeight;
  const int32_t pan[4] = {state_.panLeft, state_.panTop, state_.panRight, state_.panBottom};
  const vmkviews::PanMap map = vmkviews::MakePanMap(mw, mh, pan, dispWidth_, dispHeight_, 0, 0);
  if (mw <= 0 || mh <= 0 || !map.ok) return;
  const int32_t mx = static_cast<int32_t>(static_cast<float>(px) / map.sx + static_cast<float>(map.x0));
  const int32_t my = static_cast<int32_t>(static_cast<float>(py) / map.sy + static_cast<float>(map.y0));
  auto read = [&](const plat::Block<int16_t>& mask, int16_t* out) {
    int16_t v = 0;
    if (!MaskUsable(mask)) return;
    if (X_ShortDensitometre(mh, mw, mask.get(), mx, my, sampleSize_, &v) != 0) return;
    *out = static_cast<int16_t>(v * 255 / 16384);
  };
  read(maskB_, b);
  read(maskA_, a);
}

void VMKimabox::ReadRGBcol(EventRef, ControlRef view) {
  if (view == nullptr) return;
  Point pt;
  int16_t result = 0;
  plat::ui::TrackMouseLocation(GetWindowPort(GetControlOwner(view)), &pt, &result);
  GetRGBcolfromBuf(0, pt.h - state_.viewLeft, pt.v - state_.viewTop, &cursorColour_[0],
                   &cursorColour_[1], &cursorColour_[2], &cursorX_, &cursorY_);
}
