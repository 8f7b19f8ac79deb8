#include "engines/patterns/painter_strokes_engine.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/core/colour_spaces.h"
#include "app/core/session_state.h"
#include "app/folder_scans.h"
#include "app/image_import.h"
#include "engines/records/engine_frame.h"
#include "engines/records/session_defaults.h"
#include "operations/effects.h"
#include "platform/random/random.h"
#include "raster/plane_copy.h"
#include "script/engine_rows.h"

namespace vmkpat {

int32_t StrokePlace(int32_t draw, int32_t size) {
  const auto cut = static_cast<int16_t>(draw);
  const auto rest = static_cast<int16_t>(cut % size);
  return static_cast<int32_t>(static_cast<uint32_t>(int32_t{rest}) % static_cast<uint32_t>(size));
}

int32_t StrokeVariantIndex(int32_t mode, int32_t count, int32_t brightness, float hue,
                           float saturation100, float lightness, int32_t draw) {
  // The steps 255 / count, 360 / count and 200 / count are single precision; stored
  // renderings were made so.
  const auto m = static_cast<float>(count);
  int32_t index = 0;
  switch (mode) {
    case 2:
      index = static_cast<int32_t>(static_cast<float>(brightness) / (255.0f / m) + 0.5f);
      break;
    case 3:
      index = (draw & 0xFFFF) % count;
      break;
    case 4:
      index = static_cast<int32_t>(hue / (360.0f / m) + 0.5f);
      break;
    case 5:
      index = std::abs(static_cast<int32_t>((saturation100 + 100.0f) / (200.0f / m) + 0.5f));
      break;
    case 6:
      index = static_cast<int32_t>(lightness / (255.0f / m) + 0.5f);
      break;
    default:
      break;
  }
  return std::clamp(index, 0, count - 1);
}

}  // namespace vmkpat

namespace {

constexpr int32_t kVariants = 32;
// A brush or paper side beyond this cannot be had: the rendering stops as when a buffer is
// refused, rather than asking for gigabytes on a damaged record.
constexpr int64_t kLargestSide = 32767;

int16_t Low16(int32_t v) { return static_cast<int16_t>(v); }
uint8_t LowByte(int32_t v) { return static_cast<uint8_t>(v & 0xFF); }
int32_t Draw16() { return static_cast<int16_t>(plat::Random()); }
int32_t Count(int32_t v) { return std::clamp(v, 1, kVariants); }
bool Selective(int32_t tolerance) { return tolerance >= -99 && tolerance <= 99; }

// trunc(percent x 2.55) with 2.55 a double, so 100 % gives 254: stored renderings were made
// so and a full stroke never quite covers.
int16_t PercentToByte(int32_t percent) {
  return static_cast<int16_t>(static_cast<int32_t>(std::clamp(percent, 0, 100) * 2.55));
}

plat::Block<uint8_t> Buffer(int64_t bytes) {
  return plat::Block<uint8_t>(bytes, plat::PlainSource());
}

// (side + 1) x (other + 1) pixels of four bytes: what the brush and paper readers are given.
int64_t PixelBytes(int64_t w, int64_t h) { return (w + 1) * (h + 1) * 4; }

// One rendering: the working copy, the brush variants, the selection and the paper.
class StrokeRender {
 public:
  StrokeRender(StrokPar& par, int32_t width, int32_t height, const vmkrec::EngineArea& area,
               uint8_t* const planes[3], bool onePlane)
      : par_(par), width_(width), height_(height), area_(area), one_(onePlane) {
    for (int k = 0; k < 3; ++k) {
      out_[k] = onePlane ? planes[0] : planes[k];
      planes_[k] = out_[k];
    }
    const int32_t* cur = par.sets[std::clamp(par.head.w[kStrCurrentSet], 0, kStrokSets - 1)].w;
    current_ = cur;
    sizeMode_ = cur[kStrSizeMode] >= 1 && cur[kStrSizeMode] <= 6 ? cur[kStrSizeMode] : 1;
    rotationMode_ =
        cur[kStrRotationMode] >= 1 && cur[kStrRotationMode] <= 6 ? cur[kStrRotationMode] : 2;
    // The longer side of the photo being edited; outside a session the planes stand in.
    const int32_t pw = gPer != nullptr ? SessionPhotoWidth() : width;
    const int32_t ph = gPer != nullptr ? SessionPhotoHeight() : height;
    reference_ = ph > pw ? height : width;
  }

  int32_t Run(int16_t showSelection, int16_t blendMode, int16_t opacity, const uint8_t* mask);
  // The brush or paper picture the record names that could not be read, when Run stopped
  // for it; empty otherwise.
  const std::string& unreadable() const { return unreadable_; }

 private:
  int64_t Pixels() const { return int64_t{width_} * height_; }
  uint8_t* Work(int k) const { return work_[k].get(); }
  bool MakeWorkingCopy();
  void FillWorkingCopy(int16_t blendMode, int16_t opacity);
  int32_t RunSet(int32_t k);
  int32_t ReadBrush(int32_t k);
  bool Variant(int32_t i, int32_t j, const uint8_t* from);
  void Scale(int32_t i, int32_t j, int32_t percent);
  void Turn(int32_t i, int32_t j, int16_t angle);
  int32_t MakeSizeVariants(const int32_t* set);
  int32_t MakeAngleVariants(const int32_t* set);
  int32_t MakeSelection(const int32_t* set);
  void LayStrokes(const int32_t* set, const LutVign& ramp, bool selective);
  void LayStroke(const int32_t* set, const LutVign& ramp, const uint8_t* sel, const uint8_t* curve);
  int32_t LayPaper();
  int32_t ReadPaper();
  int32_t ShowSelection();
  void BlendBack(int16_t blendMode, int16_t opacity, const uint8_t* mask);

  StrokPar& par_;
  int32_t width_, height_;
  vmkrec::EngineArea area_;
  bool one_;
  const uint8_t* planes_[3] = {};  // the same, read
  uint8_t* out_[3] = {};           // the caller's planes (one plane: plane0 three times)
  const int32_t* current_ = nullptr;
  int32_t sizeMode_ = 1, rotationMode_ = 2, reference_ = 0;

  plat::Block<uint8_t> work_[3];
  plat::Block<uint8_t> variants_[kVariants][kVariants];
  int32_t bw_ = 0, bh_ = 0;
  int32_t colour_[3] = {};  // the last stroke's colour
  plat::Block<uint8_t> selection_;
  plat::Block<uint8_t> paper_;
  int32_t tw_ = 0, th_ = 0;
  bool paperRead_ = false, paperMissing_ = false;
  std::string unreadable_;
};

// A picture the record names (a brush or the paper) but that cannot be found or measured:
// the strokes or paper the user chose it for cannot be drawn, and the rendering stops rather
// than pass the picture off as painted. A reference that names nothing is a set or paper
// left empty on purpose (the defaults are so) and is only skipped.
bool Named(const fichier& file) { return file.name[0] != 0; }

bool StrokeRender::MakeWorkingCopy() {
  for (auto& w : work_) {
    w = Buffer(Pixels());
    if (!w) return false;
    // Strokes reach past the rectangle and the blurs read across it: outside it the copy
    // holds black rather than whatever the memory held.
    w.Clear();
  }
  return true;
}

void StrokeRender::FillWorkingCopy(int16_t blendMode, int16_t opacity) {
  const int32_t* h = par_.head.w;
  const int32_t source =
      h[kStrColourSource] >= 1 && h[kStrColourSource] <= 3 ? h[kStrColourSource] : 1;
  const vmkrec::EngineArea& a = area_;
  for (int32_t y = a.top; y < a.bottom; ++y) {
    const size_t row = static_cast<size_t>(y) * width_ + a.left;
    const auto n = static_cast<size_t>(a.right - a.left);
    for (int k = 0; k < 3; ++k) {
      if (source == 3) {
        std::memset(Work(k) + row, LowByte(h[kStrUniformRGB + k]), n);
      } else {
        std::memcpy(Work(k) + row, planes_[k] + row, n);
      }
    }
  }
  if (source == 2 && !a.empty()) {
    uint8_t tables[5 * 256];
    std::memcpy(tables, par_.head.ramp.opacity, 256);
    std::memcpy(tables + 256, par_.head.ramp.colour, 4 * 256);
    Effects::LutToColor(blendMode, opacity, planes_[0], planes_[1], planes_[2], nullptr, height_,
                        width_, Work(0), Work(1), Work(2), nullptr, height_, width_, a.left, a.top,
                        a.right, a.bottom, a.left, a.top, a.right, a.bottom, 1, 3, 3, nullptr,
                        tables, 0, 255);
  }
  const int16_t blur = Low16(h[kStrSourceBlur]), contrast = Low16(h[kStrSourceContrast]);
  for (int k = 0; k < 3; ++k) {
    if (blur != 0)
      Effects::Blur(0, 255, Work(k), nullptr, width_, height_, 0, 0, width_, height_, blur, 1);
    if (contrast != 0)
      Effects::AdjContrast(0, 255, Work(k), height_, width_, 0, 0, width_, height_, 1, nullptr,
                           contrast, 0, 0);
  }
}

// A fresh buffer for variant [i][j], a copy of `from` when given. False when refused.
bool StrokeRender::Variant(int32_t i, int32_t j, const uint8_t* from) {
  plat::Block<uint8_t>& v = variants_[i][j];
  v.reset();
  v = Buffer(PixelBytes(bw_, bh_));
  if (!v) return false;
  v.Clear();
  if (from != nullptr)
    LnBufToLnBuf(bw_, bh_, reinterpret_cast<const uint32_t*>(from),
                 reinterpret_cast<uint32_t*>(v.get()));
  return true;
}

void StrokeRender::Scale(int32_t i, int32_t j, int32_t percent) {
  const auto p = Low16(std::min(percent, 32767));
  Effects::Transform(0, 255, variants_[i][j].get(), bh_, bw_, 0, 0, bw_, bh_, 0, 0, p, p, 0, 0, 1,
                     nullptr);
}

void StrokeRender::Turn(int32_t i, int32_t j, int16_t angle) {
  Effects::Transform(0, 255, variants_[i][j].get(), bh_, bw_, 0, 0, bw_, bh_, 0, 0, 100, 100, angle,
                     0, 1, nullptr);
}

// The brush picture of set k resized into variant [0][0]: 1 read, 0 no brush named (the set
// is skipped), -1 refused or, with unreadable_ set, the named brush cannot be read.
int32_t StrokeRender::ReadBrush(int32_t k) {
  fichier& file = par_.brushes[k];
  if (!Named(file)) return 0;
  const fichier asNamed = file;
  SearchAlternateFic(&file);
  int32_t iw = 0, ih = 0;
  int16_t unused = 0;
  if (AS_GetImageDimension(&file, &iw, &ih, &unused) == -1 || iw <= 0 || ih <= 0) {
    unreadable_ = FicForUser(asNamed);
    return -1;
  }
  const int32_t* set = par_.sets[k].w;
  // The percent of the picture is held below 2^31 pixels first, so the product cannot overflow;
  // anything that large is refused below anyway.
  auto side = [this](int32_t percent, int32_t pixels) {
    const int64_t part = std::min<int64_t>(int64_t{percent} * pixels / 100, int64_t{1} << 31);
    return std::max<int64_t>(int64_t{reference_} * part / 600, 3);
  };
  const int64_t bw = side(set[kStrBrushWidth], iw), bh = side(set[kStrBrushHeight], ih);
  if (bw > kLargestSide || bh > kLargestSide) return -1;
  bw_ = static_cast<int32_t>(bw);
  bh_ = static_cast<int32_t>(bh);
  if (!Variant(0, 0, nullptr)) return -1;
  uint8_t* brush = variants_[0][0].get();
  if (AS_GetResizedImage(&file, 0, 0, 0, iw - 1, ih - 1, bw_, bh_, 0, 0, bw_, bh_, 0, brush,
                         nullptr, nullptr, nullptr) == -1) {
    unreadable_ = FicForUser(asNamed);
    return -1;
  }
  const int16_t blur = Low16(set[kStrBrushBlur]);
  if (blur != 0) Effects::Blur(0, 255, brush, nullptr, bw_, bh_, 0, 0, bw_, bh_, blur, 1);
  return 1;
}

int32_t StrokeRender::MakeSizeVariants(const int32_t* set) {
  const int32_t m = Count(set[kStrSizeCount]);
  if (sizeMode_ == 1) {
    for (int32_t i = 1; i < m; ++i)
      if (!Variant(i, 0, variants_[0][0].get())) return -1;
    return 0;
  }
  for (int32_t i = 0; i < m; ++i) {
    if (i != 0 && !Variant(i, 0, variants_[0][0].get())) return -1;
    const float shrink =
        static_cast<float>(int64_t{i} * set[kStrSizeRange]) / static_cast<float>(m);
    const int32_t p = 100 - static_cast<int32_t>(shrink + 0.5f);
    Scale(i, 0, p <= 4 ? 5 : p);
  }
  return 0;
}

int32_t StrokeRender::MakeAngleVariants(const int32_t* set) {
  const int32_t m = Count(set[kStrSizeCount]), n = Count(set[kStrAngleCount]);
  const int16_t base = Low16(set[kStrBaseAngle]);
  if (rotationMode_ == 1 || n == 1) {
    if (base != 0)
      for (int32_t i = 0; i < m; ++i) Turn(i, 0, base);
    return 0;
  }
  for (int32_t i = 0; i < m; ++i) {
    // Copies are taken before [i][0] itself is turned, so every variant is turned once, by
    // its own angle: the base angle is not counted twice.
    for (int32_t j = n - 1; j >= 0; --j) {
      if (j != 0 && !Variant(i, j, variants_[i][0].get())) return -1;
      const float step =
          static_cast<float>(int64_t{j} * set[kStrAngleRange]) / static_cast<float>(n);
      Turn(i, j, Low16(static_cast<int32_t>(step + 0.5f) + base));
    }
  }
  return 0;
}

// How near each pixel of the picture lies to the set's colour, in the selection plane.
int32_t StrokeRender::MakeSelection(const int32_t* set) {
  if (!selection_) {
    selection_ = Buffer(Pixels());
    if (!selection_) return -1;
  }
  selection_.Clear();
  const int32_t tolerance = set[kStrTolerance];
  const uint8_t colour[4] = {LowByte(set[kStrSelRGB]), LowByte(set[kStrSelRGB + 1]),
                             LowByte(set[kStrSelRGB + 2]), 255};
  const uint8_t full = 255;
  Effects::SelCol(0, 255, planes_[0], planes_[1], planes_[2], height_, width_, selection_.get(),
                  nullptr, nullptr, height_, width_, 0, 0, width_, height_, 0, 0, width_, height_,
                  3, 1, nullptr, Low16(std::abs(tolerance)), colour, &full);
  if (set[kStrSelContrast] != 0 || tolerance < 0)
    Effects::AdjContrast(0, 255, selection_.get(), height_, width_, 0, 0, width_, height_, 1,
                         nullptr, Low16(set[kStrSelContrast]), 0, tolerance < 0 ? 1 : 0);
  return 0;
}

// -1 stops the rendering (memory, or a brush named but unreadable); 0 otherwise, the set drawn
// or skipped.
int32_t StrokeRender::RunSet(int32_t k) {
  const int32_t* set = par_.sets[k].w;
  if (set[kStrOpacity] == 0) return 0;
  const int32_t read = ReadBrush(k);
  if (read <= 0) return read;
  if (MakeSizeVariants(set) < 0 || MakeAngleVariants(set) < 0) return -1;
  const bool selective = Selective(set[kStrTolerance]);
  if (selective && MakeSelection(set) < 0) return -1;
  LayStrokes(set, par_.sets[k].ramp, selective);
  return 0;
}

void StrokeRender::LayStrokes(const int32_t* set, const LutVign& ramp, bool selective) {
  uint8_t curve[256];
  Effects::CreaLut(curve, Low16(set[kStrColourContrast]), 0, 0);
  // Past two strokes a pixel per row the canvas is covered many times over; the bound keeps
  // a damaged density from running for hours.
  const int64_t s =
      std::min<int64_t>(int64_t{reference_} * set[kStrDensity] / 600, 2 * int64_t{reference_});
  if (s <= 0) return;
  const uint8_t* sel = selective ? selection_.get() : nullptr;
  for (int64_t n = 0; n < s * s; ++n) LayStroke(set, ramp, sel, curve);
}

void StrokeRender::LayStroke(const int32_t* set, const LutVign& ramp, const uint8_t* sel,
                             const uint8_t* curve) {
  const int32_t x = vmkpat::StrokePlace(plat::Random(), width_);
  const int32_t y = vmkpat::StrokePlace(plat::Random(), height_);
  // The caller's picture, not the working copy: earlier strokes do not colour later ones.
  const size_t at = static_cast<size_t>(y) * width_ + x;
  const int32_t r = planes_[0][at], g = planes_[1][at], b = planes_[2][at];
  const int32_t mode =
      set[kStrColourMode] >= 1 && set[kStrColourMode] <= 3 ? set[kStrColourMode] : 1;
  if (mode == 1) {
    colour_[0] = r, colour_[1] = g, colour_[2] = b;
  } else if (mode == 2) {
    colour_[0] = ramp.colour[0][r], colour_[1] = ramp.colour[1][g], colour_[2] = ramp.colour[2][b];
  } else {
    for (int k = 0; k < 3; ++k) colour_[k] = Low16(set[kStrFixedRGB + k]);
  }
  float h0 = 0, l0 = 0, s0 = 0;
  RGBtoHLS(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b), &h0, &l0, &s0);
  s0 *= 100.0f;
  const int32_t brightness = (r + g + b) / 3;

  const int32_t hj = set[kStrHueJitter], sj = set[kStrSatJitter], lj = set[kStrLightJitter];
  if (hj != 0 || sj != 0 || lj != 0) {
    float h = 0, l = 0, s = 0;
    RGBtoHLS(static_cast<float>(colour_[0]), static_cast<float>(colour_[1]),
             static_cast<float>(colour_[2]), &h, &l, &s);
    if (hj != 0) {
      h += static_cast<float>(Draw16() % 100 % hj);
      if (h < 0.0f) h += 360.0f;
      if (h > 360.0f) h -= 360.0f;
    }
    if (sj != 0)
      s = std::clamp(s * 100.0f + static_cast<float>(Draw16() % 100 % sj), -100.0f, 100.0f) /
          100.0f;
    if (lj != 0) l = std::clamp(l + static_cast<float>(Draw16() % 255 % lj), 0.0f, 255.0f);
    float out[3];
    HLStoRGB(h, l, s, &out[0], &out[1], &out[2]);
    for (int k = 0; k < 3; ++k) colour_[k] = static_cast<int32_t>(out[k]);
  }
  int32_t o = set[kStrOpacity];
  if (set[kStrOpacityJitter] != 0)
    o = static_cast<int32_t>(
        std::clamp<int64_t>(int64_t{o} + Draw16() % 100 % set[kStrOpacityJitter], 0, 100));

  const int32_t m = Count(set[kStrSizeCount]), n = Count(set[kStrAngleCount]);
  const int32_t sizeDraw = sizeMode_ == 3 ? plat::Random() : 0;
  const int32_t si = vmkpat::StrokeVariantIndex(sizeMode_, m, brightness, h0, s0, l0, sizeDraw);
  const int32_t angleDraw = rotationMode_ == 3 ? plat::Random() : 0;
  const int32_t ai =
      vmkpat::StrokeVariantIndex(rotationMode_, n, brightness, h0, s0, l0, angleDraw);
  // A fixed colour may lie outside a byte: the curve is read at its nearest entry.
  auto tone = [curve](int32_t c) { return int16_t{curve[std::clamp(c, 0, 255)]}; };
  // The mode less one in its low 16 bits, wrapping as it always has, without overflowing.
  const auto placeMode = static_cast<int16_t>(static_cast<uint16_t>(set[kStrStrokeMode]) - 1u);
  Effects::PlaceBuf(placeMode, PercentToByte(o), Work(0), Work(1), Work(2),
                    sel, height_, width_, variants_[si][ai].get(), bh_, bw_, x - bw_ / 2,
                    y - bh_ / 2, tone(colour_[0]), tone(colour_[1]), tone(colour_[2]));
}

// The paper picture, read and contrasted once: every pass lays the same one. 1 ready, 0 no
// paper named or too small to lay, -1 refused or, with unreadable_ set, the named paper cannot
// be read.
int32_t StrokeRender::ReadPaper() {
  if (paperRead_) return 1;
  if (paperMissing_) return 0;
  const int32_t* h = par_.head.w;
  int32_t pw = 0, ph = 0;
  int16_t unused = 0;
  const int64_t tw = int64_t{width_} * h[kStrPaperWidth] / 100;
  const int64_t th = int64_t{height_} * h[kStrPaperHeight] / 100;
  if (!Named(par_.paper) || tw <= 5 || th <= 5) {
    paperMissing_ = true;
    return 0;
  }
  const fichier asNamed = par_.paper;
  SearchAlternateFic(&par_.paper);
  if (AS_GetImageDimension(&par_.paper, &pw, &ph, &unused) == -1 || pw <= 0 || ph <= 0) {
    unreadable_ = FicForUser(asNamed);
    return -1;
  }
  if (tw > kLargestSide || th > kLargestSide) return -1;
  tw_ = static_cast<int32_t>(tw);
  th_ = static_cast<int32_t>(th);
  paper_ = Buffer(PixelBytes(tw_, th_));
  if (!paper_) return -1;
  paper_.Clear();
  if (AS_GetResizedImage(&par_.paper, 0, 0, 0, pw - 1, ph - 1, tw_, th_, 0, 0, tw_, th_, 1,
                         paper_.get(), nullptr, nullptr, nullptr) == -1) {
    unreadable_ = FicForUser(asNamed);
    return -1;
  }
  // Every byte of the paper's pixels takes the contrast, red, green and blue alike.
  if (h[kStrPaperContrast] != 0)
    Effects::AdjContrast(0, 255, paper_.get(), th_, tw_, 0, 0, tw_, th_, 4, nullptr,
                         Low16(h[kStrPaperContrast]), 0, 0);
  paperRead_ = true;
  return 1;
}

// The paper goes on after every set, one that drew nothing included, so eight times in a
// rendering: its relief deepens with each pass, and stored renderings show it so.
int32_t StrokeRender::LayPaper() {
  const int32_t* h = par_.head.w;
  const int32_t opacity = std::clamp(h[kStrPaperOpacity], 0, 100);
  if (opacity == 0 || h[kStrPaperWidth] <= 5 || h[kStrPaperHeight] <= 5) return 0;
  const int32_t ready = ReadPaper();
  if (ready <= 0) return ready;
  Effects::LoadTexture(Low16(h[kStrPaperMode] - 1), PercentToByte(opacity), Work(0), Work(1),
                       Work(2), nullptr, paper_.get(), 1, nullptr, height_, width_, 0, 0, width_,
                       height_, tw_, th_, Low16(h[kStrPaperA]), Low16(h[kStrPaperB]));
  return 0;
}

int32_t StrokeRender::ShowSelection() {
  const bool selective = Selective(current_[kStrTolerance]);
  if (selective && MakeSelection(current_) < 0) return -1;
  const int planes = one_ ? 1 : 3;
  for (int32_t y = area_.top; y < area_.bottom; ++y) {
    const size_t row = static_cast<size_t>(y) * width_ + area_.left;
    const auto n = static_cast<size_t>(area_.right - area_.left);
    for (int k = 0; k < planes; ++k) {
      if (selective) {
        std::memcpy(out_[k] + row, selection_.get() + row, n);
      } else {
        std::memset(out_[k] + row, 255, n);
      }
    }
  }
  return 0;
}

void StrokeRender::BlendBack(int16_t blendMode, int16_t opacity, const uint8_t* mask) {
  if (!one_) {
    for (int k = 0; k < 3; ++k)
      vmkrec::BlendEffect(out_[k], Work(k), mask, width_, area_, blendMode, opacity);
    return;
  }
  // One plane takes the mean of the three working planes.
  for (int32_t y = area_.top; y < area_.bottom; ++y)
    for (int32_t x = area_.left; x < area_.right; ++x) {
      const size_t i = static_cast<size_t>(y) * width_ + x;
      work_[0][i] = static_cast<uint8_t>((work_[0][i] + work_[1][i] + work_[2][i]) / 3);
    }
  vmkrec::BlendEffect(out_[0], Work(0), mask, width_, area_, blendMode, opacity);
}

int32_t StrokeRender::Run(int16_t showSelection, int16_t blendMode, int16_t opacity,
                          const uint8_t* mask) {
  if (!MakeWorkingCopy()) return -1;
  FillWorkingCopy(blendMode, opacity);
  for (int32_t k = 0; k < kStrokSets; ++k)
    if (RunSet(k) < 0 || LayPaper() < 0) return -1;
  if (showSelection == 1) return ShowSelection();
  BlendBack(blendMode, opacity, mask);
  return 0;
}

}  // namespace

MiscStrok::MiscStrok() : par_(1, plat::PlainSource()) {
  if (!par_) return;
  par_.Clear();
  Init_StrokPar(par_.get());
}

void MiscStrok::SetStrokPar(const StrokPar* record) {
  if (par_ && record != nullptr) Copy_StrokPar(record, par_.get());
}

void MiscStrok::GetStrokPar(StrokPar* record) const {
  if (par_ && record != nullptr) Copy_StrokPar(par_.get(), record);
}

int32_t MiscStrok::FillBuf(int16_t apply, int16_t showSelection, int16_t source, int16_t planeCount,
                           int16_t blendMode, int16_t opacity, int32_t width, int32_t height,
                           int32_t left, int32_t top, int32_t right, int32_t bottom,
                           uint8_t* plane0, uint8_t* plane1, uint8_t* plane2, const uint8_t* mask) {
  unreadable_.clear();
  const bool one = planeCount == 1;
  if (!vmkrec::PlanesGiven(width, height, !one, plane0, plane1, plane2)) return -1;
  const vmkrec::EngineArea area = vmkrec::ClampArea(left, top, right, bottom, width, height, false);
  if (source == 1) vmkrec::PreparePlaneSource(1, planeCount, width, height, plane0, plane1, plane2);
  // Without its record copy the engine has nothing to draw from.
  if (!par_) return -1;
  par_.get()->head.w[kStrHeadWidth] = width;
  par_.get()->head.w[kStrHeadHeight] = height;
  if (apply == 0) return 0;
  uint8_t* planes[3] = {plane0, plane1, plane2};
  StrokeRender render(*par_.get(), width, height, area, planes, one);
  const int32_t result = render.Run(showSelection, blendMode, opacity, mask);
  unreadable_ = render.unreadable();
  return result;
}

int32_t RunStrokRow(const EngineRowCall& c) {
  return RunEngineOnce<MiscStrok>([&](MiscStrok& e) { e.SetStrokPar(&c.Record<StrokPar>()); },
                                  [&](MiscStrok& e) {
                                    const int32_t r = e.FillBuf(
                                        1, 0, 0, c.n, c.mode, c.opacity, c.w, c.h, 0, 0, c.aw,
                                        c.ah, c.planes[0], c.planes[1], c.planes[2], c.mask);
                                    c.TellUnreadable(e.UnreadableFile());
                                    return r;
                                  });
}
